#include "CrateReader.h"

#include "CrateSections.h"
#include "CrateValues.h"

#include <algorithm>
#include <map>

namespace trimeo::usd {
namespace {

struct PrimEntry {
    Prim prim;
    std::vector<std::uint32_t> children; // path indices
    std::vector<std::string> order;      // primChildren
};

class StageAssembly {
public:
    explicit StageAssembly(const CrateLayout& layout) : layout_(layout) {}

    Stage run() {
        for (const CrateSpec& specEntry : layout_.specs) {
            const auto type = CrateSpecType(specEntry.type);
            if (type == CrateSpecType::pseudoRoot) pseudoRoot(specEntry);
            else if (type == CrateSpecType::prim) prim(specEntry);
        }
        // Attributes after prims: a file need not list a prim before its properties.
        for (const CrateSpec& specEntry : layout_.specs)
            if (CrateSpecType(specEntry.type) == CrateSpecType::attribute) attribute(specEntry);
        orderBy(roots_, rootOrder_);
        for (std::uint32_t root : roots_) stage_.rootPrims.push_back(take(root));
        return std::move(stage_);
    }

private:
    const std::string& token(std::uint32_t i) const { return layout_.tokens[i]; }

    std::string firstText(const CrateField& f) const {
        Value v = unpackValue(layout_, f.valueRep);
        return v.texts.empty() ? std::string() : v.texts.front();
    }

    void pseudoRoot(const CrateSpec& specEntry) {
        for (const CrateField* f : layout_.fieldsOf(specEntry.fieldSet))
            if (token(f->token) == "upAxis") {
                std::string axis = firstText(*f);
                if (!axis.empty()) stage_.upAxis = axis;
            } else if (token(f->token) == "primChildren") {
                rootOrder_ = unpackValue(layout_, f->valueRep).texts;
            }
    }

    void prim(const CrateSpec& specEntry) {
        const CratePath& path = layout_.paths[specEntry.path];
        if (path.parent < 0 || path.isProperty || prims_.count(specEntry.path)) return;
        const auto parent = std::uint32_t(path.parent);
        const bool parentIsRoot = layout_.paths[parent].parent < 0;
        if (!parentIsRoot && !prims_.count(parent)) return; // under a variant, or an orphan
        PrimEntry entry;
        entry.prim.name = token(path.token);
        for (const CrateField* f : layout_.fieldsOf(specEntry.fieldSet)) {
            const std::string& name = token(f->token);
            if (name == "typeName") entry.prim.typeName = firstText(*f);
            else if (name == "primChildren") entry.order = unpackValue(layout_, f->valueRep).texts;
            else if (name == "specifier") {
                Value v = unpackValue(layout_, f->valueRep);
                const double s = v.numbers.empty() ? 0 : v.numbers.front();
                entry.prim.specifier = s == 1 ? Specifier::over : s == 2 ? Specifier::klass : Specifier::def;
            }
        }
        prims_.emplace(specEntry.path, std::move(entry));
        if (parentIsRoot) roots_.push_back(specEntry.path);
        else prims_[parent].children.push_back(specEntry.path);
    }

    void attribute(const CrateSpec& specEntry) {
        const CratePath& path = layout_.paths[specEntry.path];
        if (!path.isProperty || path.parent < 0) return;
        auto owner = prims_.find(std::uint32_t(path.parent));
        if (owner == prims_.end()) return;
        Attribute attr;
        bool hasDefault = false;
        for (const CrateField* f : layout_.fieldsOf(specEntry.fieldSet)) {
            const std::string& name = token(f->token);
            if (name == "typeName") attr.typeName = firstText(*f);
            else if (name == "interpolation") attr.interpolation = firstText(*f);
            else if (name == "timeSamples") {
                attr.value = unpackValue(layout_, f->valueRep);
                hasDefault = true; // a sampled value is what the first frame shows
            } else if (name == "default" && !hasDefault) {
                attr.value = unpackValue(layout_, f->valueRep);
            }
        }
        owner->second.prim.attributes[token(path.token)] = std::move(attr);
    }

    void orderBy(std::vector<std::uint32_t>& children, const std::vector<std::string>& order) {
        if (order.empty()) return;
        std::map<std::string, std::size_t> ranks;
        for (std::size_t i = 0; i < order.size(); ++i) ranks.emplace(order[i], i);
        auto rank = [&](std::uint32_t child) {
            auto it = ranks.find(prims_.at(child).prim.name);
            return it == ranks.end() ? order.size() : it->second;
        };
        std::stable_sort(children.begin(), children.end(), [&](auto a, auto b) { return rank(a) < rank(b); });
    }

    // Paths nest at most kMaxNestingDepth deep, which bounds this recursion.
    Prim take(std::uint32_t index) {
        PrimEntry& entry = prims_[index];
        orderBy(entry.children, entry.order);
        Prim p = std::move(entry.prim);
        for (std::uint32_t child : std::vector<std::uint32_t>(entry.children)) p.children.push_back(take(child));
        return p;
    }

    const CrateLayout& layout_;
    Stage stage_;
    std::map<std::uint32_t, PrimEntry> prims_;
    std::vector<std::uint32_t> roots_;
    std::vector<std::string> rootOrder_;
};

} // namespace

Stage readCrate(std::span<const std::uint8_t> bytes) {
    const CrateLayout layout = readCrateLayout(bytes);
    return StageAssembly(layout).run();
}

} // namespace trimeo::usd
