#include "CrateReader.h"

#include "CrateSections.h"
#include "CrateValues.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

namespace trimeo::usd {
namespace {

// A prim, or a variant (read as a prim and turned into one when the tree is built).
struct PrimEntry {
    Prim prim;
    bool isVariant = false;
    std::string set, variant;            // for a variant: from its path element "{set=variant}"
    std::vector<std::uint32_t> children; // path indices of child prims and variants
    std::vector<std::string> order;      // primChildren
};

class StageAssembly {
public:
    explicit StageAssembly(const CrateLayout& layout) : layout_(layout) {}

    Stage run() {
        // Prims and variants first, then their links, then properties: a file need not list a
        // parent before its children, nor a prim before its properties.
        for (const CrateEntry& crateEntry : layout_.entries) {
            const auto type = CrateEntryType(crateEntry.type);
            if (type == CrateEntryType::pseudoRoot) pseudoRoot(crateEntry);
            else if (type == CrateEntryType::prim || type == CrateEntryType::variant) prim(crateEntry, type);
        }
        for (const CrateEntry& crateEntry : layout_.entries) link(crateEntry.path);
        for (const CrateEntry& crateEntry : layout_.entries) {
            const auto type = CrateEntryType(crateEntry.type);
            if (type == CrateEntryType::attribute) attribute(crateEntry);
            else if (type == CrateEntryType::relationship) relationship(crateEntry);
        }
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
    std::optional<double> firstNumber(const CrateField& f) const {
        Value v = unpackValue(layout_, f.valueRep);
        if (v.numbers.empty()) return std::nullopt;
        return v.numbers.front();
    }

    void pseudoRoot(const CrateEntry& crateEntry) {
        for (const CrateField* f : layout_.fieldsOf(crateEntry.fieldSet)) {
            const std::string& name = token(f->token);
            if (name == "upAxis") {
                std::string axis = firstText(*f);
                if (!axis.empty()) stage_.upAxis = axis;
            } else if (name == "primChildren") {
                rootOrder_ = unpackValue(layout_, f->valueRep).texts;
            } else if (name == "defaultPrim") {
                stage_.defaultPrim = firstText(*f);
            } else if (name == "metersPerUnit") {
                stage_.metersPerUnit = firstNumber(*f);
            } else if (name == "subLayers") {
                stage_.subLayers = unpackStrings(layout_, f->valueRep);
            }
        }
    }

    void prim(const CrateEntry& crateEntry, CrateEntryType type) {
        const CratePath& path = layout_.paths[crateEntry.path];
        if (path.parent < 0 || path.isProperty || prims_.count(crateEntry.path)) return;
        PrimEntry entry;
        const std::string& element = token(path.token);
        if (type == CrateEntryType::variant) {
            // "{set=variant}"
            const auto eq = element.find('=');
            if (!element.starts_with('{') || !element.ends_with('}') || eq == std::string::npos) return;
            entry.isVariant = true;
            entry.set = element.substr(1, eq - 1);
            entry.variant = element.substr(eq + 1, element.size() - eq - 2);
        } else {
            entry.prim.name = element;
        }
        Prim& p = entry.prim;
        for (const CrateField* f : layout_.fieldsOf(crateEntry.fieldSet)) {
            const std::string& name = token(f->token);
            if (name == "typeName") p.typeName = firstText(*f);
            else if (name == "primChildren") entry.order = unpackValue(layout_, f->valueRep).texts;
            else if (name == "specifier") {
                const double s = firstNumber(*f).value_or(0);
                p.specifier = s == 1 ? Specifier::over : s == 2 ? Specifier::klass : Specifier::def;
            } else if (name == "references") p.references = unpackArcs(layout_, f->valueRep);
            else if (name == "payload") p.payloads = unpackArcs(layout_, f->valueRep);
            else if (name == "inheritPaths") p.inherits = unpackArcs(layout_, f->valueRep);
            else if (name == "specializes") p.specializes = unpackArcs(layout_, f->valueRep);
            else if (name == "variantSelection") p.variantSelections = unpackVariantSelection(layout_, f->valueRep);
            else if (name == "active") p.active = firstNumber(*f).value_or(1) != 0;
            else if (name == "instanceable") p.instanceable = firstNumber(*f).value_or(0) != 0;
            else if (name == "kind") p.kind = firstText(*f);
        }
        prims_.emplace(crateEntry.path, std::move(entry));
    }

    void link(std::uint32_t index) {
        if (!prims_.count(index) || linked_.count(index)) return;
        linked_.insert(index);
        const auto parent = std::uint32_t(layout_.paths[index].parent);
        if (layout_.paths[parent].parent < 0) {
            if (!prims_.at(index).isVariant) roots_.push_back(index);
            return;
        }
        auto owner = prims_.find(parent);
        if (owner != prims_.end()) owner->second.children.push_back(index); // else an orphan
    }

    PrimEntry* ownerOf(const CratePath& path) {
        if (!path.isProperty || path.parent < 0) return nullptr;
        auto owner = prims_.find(std::uint32_t(path.parent));
        return owner == prims_.end() ? nullptr : &owner->second;
    }

    void attribute(const CrateEntry& crateEntry) {
        const CratePath& path = layout_.paths[crateEntry.path];
        PrimEntry* owner = ownerOf(path);
        if (!owner) return;
        Attribute attr;
        bool hasDefault = false;
        for (const CrateField* f : layout_.fieldsOf(crateEntry.fieldSet)) {
            const std::string& name = token(f->token);
            if (name == "typeName") attr.typeName = firstText(*f);
            else if (name == "interpolation") attr.interpolation = firstText(*f);
            else if (name == "connectionPaths") attr.connections = unpackPaths(layout_, f->valueRep);
            else if (name == "timeSamples") {
                attr.value = unpackValue(layout_, f->valueRep);
                hasDefault = true; // a sampled value is what the first frame shows
            } else if (name == "default" && !hasDefault) {
                attr.value = unpackValue(layout_, f->valueRep);
            }
        }
        owner->prim.attributes[token(path.token)] = std::move(attr);
    }

    void relationship(const CrateEntry& crateEntry) {
        const CratePath& path = layout_.paths[crateEntry.path];
        PrimEntry* owner = ownerOf(path);
        if (!owner) return;
        auto& targets = owner->prim.relationships[token(path.token)];
        for (const CrateField* f : layout_.fieldsOf(crateEntry.fieldSet))
            if (token(f->token) == "targetPaths") targets = unpackPaths(layout_, f->valueRep);
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
        for (std::uint32_t child : std::vector<std::uint32_t>(entry.children)) {
            const bool isVariant = prims_[child].isVariant;
            const std::string set = prims_[child].set, name = prims_[child].variant;
            Prim c = take(child);
            if (!isVariant) {
                p.children.push_back(std::move(c));
                continue;
            }
            p.variantSets[set][name] = variantFrom(std::move(c));
        }
        return p;
    }

    const CrateLayout& layout_;
    Stage stage_;
    std::map<std::uint32_t, PrimEntry> prims_;
    std::set<std::uint32_t> linked_;
    std::vector<std::uint32_t> roots_;
    std::vector<std::string> rootOrder_;
};

} // namespace

Stage readCrate(std::span<const std::uint8_t> bytes) {
    const CrateLayout layout = readCrateLayout(bytes);
    return StageAssembly(layout).run();
}

} // namespace trimeo::usd
