#include "Composition.h"

#include "PathMap.h"

#include "formats/common/LoaderError.h"

#include <algorithm>
#include <set>
#include <type_traits>

namespace trimeo::usd {
namespace {

enum class ArcKind { local, inherit, variant, reference, payload, specialize };

// A layer and everything it sublayers, strongest first.
struct LayerStack {
    std::string identity;
    std::vector<std::shared_ptr<const Layer>> layers;
};

// One layer's opinions about one prim: the prim as that layer writes it, or one of its variants.
struct Authored {
    const Layer* layer = nullptr;
    const Prim* prim = nullptr;
    const Variant* variant = nullptr;

    const std::map<std::string, Attribute>& attributes() const { return prim ? prim->attributes : variant->attributes; }
    const std::map<std::string, std::vector<std::string>>& relationships() const {
        return prim ? prim->relationships : variant->relationships;
    }
    const std::vector<Prim>& children() const { return prim ? prim->children : variant->children; }
    const std::vector<Arc>& arcs(ArcKind kind) const {
        const auto& r = prim ? prim->references : variant->references;
        const auto& p = prim ? prim->payloads : variant->payloads;
        const auto& i = prim ? prim->inherits : variant->inherits;
        const auto& s = prim ? prim->specializes : variant->specializes;
        return kind == ArcKind::inherit ? i : kind == ArcKind::reference ? r : kind == ArcKind::payload ? p : s;
    }
};

// A source of opinions for one prim, with the sources its arcs add below it; a prim's
// opinions, strongest first, are the tree in pre-order.
struct Node {
    const LayerStack* stack = nullptr;
    ArcKind kind = ArcKind::local;
    bool ancestral = false; // reached through an arc of an ancestor prim
    std::string path;       // the prim's path in the stack's namespace
    PathMap map;            // from the stack's namespace to that of the index's root
    std::vector<Authored> authored;
    std::vector<Node> children;
    std::set<std::string> variantSetsDone;

    bool empty() const {
        return authored.empty() && std::all_of(children.begin(), children.end(), [](const Node& c) { return c.empty(); });
    }
};

// Whether a composed prim is drawn: defined, active, and of a purpose that is shown.
bool isDrawn(const Prim& p) {
    if (p.specifier != Specifier::def || p.active == false) return false;
    if (const Attribute* purpose = p.attribute("purpose"); purpose && !purpose->value.texts.empty()) {
        const std::string& shown = purpose->value.texts.front();
        if (shown == "guide" || shown == "proxy") return false;
    }
    return true;
}

template <class Owner> bool hasArcs(const Owner& o) {
    if (!o.references.empty() || !o.payloads.empty() || !o.inherits.empty() || !o.specializes.empty()) return true;
    for (const Prim& c : o.children)
        if (hasArcs(c)) return true;
    if constexpr (std::is_same_v<Owner, Prim>)
        if (!o.variantSets.empty()) return true;
    return false;
}

void pruneAlone(std::vector<Prim>& prims, const std::string& layer, int depth) {
    std::erase_if(prims, [&](const Prim& p) { return !isDrawn(p) || depth > kMaxNestingDepth; });
    for (Prim& p : prims) {
        for (auto& [name, attr] : p.attributes) attr.layer = layer;
        pruneAlone(p.children, layer, depth + 1);
    }
}

// Sources of one prim's index, as "stack<path>".
using Sites = std::set<std::string>;

bool hasOpinion(const Attribute& a) {
    return !a.value.numbers.empty() || !a.value.texts.empty() || !a.connections.empty();
}

std::string parentOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

class Composer {
public:
    Composer(LayerFiles& files, const CompositionLimits& limits) : files_(files), limits_(limits) {}

    ComposedStage run(const std::shared_ptr<const Layer>& model) {
        ComposedStage out;
        const LayerStack* root = stackFor(model);
        out.stage.upAxis = model->stage.upAxis;
        out.stage.metersPerUnit = model->stage.metersPerUnit;
        out.stage.defaultPrim = model->stage.defaultPrim;
        std::vector<const std::vector<Prim>*> levels;
        for (const auto& layer : root->layers) levels.push_back(&layer->stage.rootPrims);
        for (const std::string& name : namesOf(levels)) {
            std::vector<std::string> chain;
            Sites visited;
            Node tree = indexAt(root, "/" + name, ArcKind::local, chain, 0, visited);
            variantPass(tree, chain, 0, visited);
            if (auto p = composePrim(tree, name, 1)) out.stage.rootPrims.push_back(std::move(*p));
        }
        out.notes = std::move(notes_);
        return out;
    }

private:
    // Child names in the order the strongest opinions list them.
    static std::vector<std::string> namesOf(const std::vector<const std::vector<Prim>*>& levels) {
        std::vector<std::string> names;
        std::set<std::string> seen;
        for (const auto* level : levels)
            for (const Prim& p : *level)
                if (seen.insert(p.name).second) names.push_back(p.name);
        return names;
    }

    void step() {
        if (++steps_ > limits_.maxSteps)
            throw LoaderError::parseError("the stage's composition takes more than " + std::to_string(limits_.maxSteps) +
                                          " steps");
    }

    const LayerStack* stackFor(const std::shared_ptr<const Layer>& top) {
        auto& slot = stacks_[top->identity];
        if (slot) return slot.get();
        slot = std::make_unique<LayerStack>();
        slot->identity = top->identity;
        std::set<std::string> seen;
        addSublayers(*slot, top, seen, 0);
        return slot.get();
    }

    void addSublayers(LayerStack& stack, const std::shared_ptr<const Layer>& layer, std::set<std::string>& seen,
                      int depth) {
        if (!seen.insert(layer->identity).second) {
            notes_.push_back("subLayer cycle at " + layer->identity);
            return;
        }
        if (depth > limits_.maxArcDepth) {
            throw LoaderError::parseError("subLayers nest more than " + std::to_string(limits_.maxArcDepth) + " deep");
        }
        stack.layers.push_back(layer);
        for (const std::string& sub : layer->stage.subLayers)
            if (auto read = files_.open(*layer, sub)) addSublayers(stack, read, seen, depth + 1);
    }

    std::vector<Authored> authoredAt(const LayerStack& stack, const std::string& path) {
        std::vector<Authored> out;
        for (const auto& layer : stack.layers) {
            const std::vector<Prim>* level = &layer->stage.rootPrims;
            const Prim* found = nullptr;
            std::size_t start = 1;
            while (start <= path.size()) {
                std::size_t end = path.find('/', start);
                if (end == std::string::npos) end = path.size();
                const std::string name = path.substr(start, end - start);
                auto it = std::find_if(level->begin(), level->end(), [&](const Prim& p) { return p.name == name; });
                found = it == level->end() ? nullptr : &*it;
                if (!found) break;
                level = &found->children;
                start = end + 1;
            }
            if (found) out.push_back({layer.get(), found, nullptr});
        }
        return out;
    }

    // The same sources, one level down: each layer's child of that name.
    Node childOf(const Node& parent, const std::string& name) {
        step();
        Node c;
        c.stack = parent.stack;
        c.kind = parent.kind;
        c.ancestral = parent.ancestral;
        c.path = parent.path + "/" + name;
        c.map = parent.map;
        for (const Authored& s : parent.authored)
            for (const Prim& p : s.children())
                if (p.name == name) c.authored.push_back({s.layer, &p, nullptr});
        for (const Node& pc : parent.children) {
            Node cc = childOf(pc, name);
            cc.ancestral = true;
            if (!cc.empty()) c.children.push_back(std::move(cc));
        }
        return c;
    }

    // childOf for every child name at once, reading each layer's children once.
    std::map<std::string, Node> childrenOf(const Node& parent) {
        std::map<std::string, Node> out;
        const auto slot = [&](const std::string& name) -> Node& {
            Node& c = out[name];
            if (!c.stack) {
                step();
                c.stack = parent.stack;
                c.kind = parent.kind;
                c.ancestral = parent.ancestral;
                c.path = parent.path + "/" + name;
                c.map = parent.map;
            }
            return c;
        };
        for (const Authored& s : parent.authored)
            for (const Prim& p : s.children()) slot(p.name).authored.push_back({s.layer, &p, nullptr});
        for (const Node& pc : parent.children)
            for (auto& [name, cc] : childrenOf(pc)) {
                cc.ancestral = true;
                slot(name).children.push_back(std::move(cc));
            }
        return out;
    }

    static std::string siteOf(const LayerStack* stack, const std::string& path) { return stack->identity + "<" + path + ">"; }

    // Drops below `n` every source already in the index (its opinions are there, stronger),
    // and records the others.
    static void absorb(Node& n, Sites& visited) {
        std::erase_if(n.children, [&](const Node& c) { return visited.count(siteOf(c.stack, c.path)) > 0; });
        for (Node& c : n.children) {
            visited.insert(siteOf(c.stack, c.path));
            absorb(c, visited);
        }
    }

    // The index of an ancestor prim, built once per site.
    const Node& ancestorIndex(const LayerStack* stack, const std::string& path, std::vector<std::string>& chain,
                              int depth) {
        const std::string site = siteOf(stack, path);
        if (auto known = ancestors_.find(site); known != ancestors_.end()) return known->second;
        Sites visited;
        Node above = indexAt(stack, path, ArcKind::local, chain, depth, visited);
        // An ancestor's variants are settled within its own opinions.
        variantPass(above, chain, depth, visited);
        // A build cut short by a cycle inside may have stored its part first; this one is whole.
        Node& slot = ancestors_[site];
        slot = std::move(above);
        return slot;
    }

    // All opinions about `path` in `stack`: its ancestors' arcs mapped down, then its own.
    // A source already in this prim's index (`visited`) is not added again.
    Node indexAt(const LayerStack* stack, const std::string& path, ArcKind kind, std::vector<std::string>& chain,
                 int depth, Sites& visited) {
        const std::string site = siteOf(stack, path);
        if (std::find(chain.begin(), chain.end(), site) != chain.end()) {
            notes_.push_back("arc cycle at " + site);
            return {};
        }
        if (!visited.insert(site).second) return {};
        if (depth > limits_.maxArcDepth)
            throw LoaderError::parseError("arcs nest more than " + std::to_string(limits_.maxArcDepth) + " deep");
        chain.push_back(site);
        Node n;
        const std::string parent = parentOf(path);
        if (parent == "/") {
            step();
            n.stack = stack;
            n.path = path;
            n.authored = authoredAt(*stack, path);
        } else {
            n = childOf(ancestorIndex(stack, parent, chain, depth), path.substr(parent.size() + 1));
            absorb(n, visited);
        }
        n.kind = kind;
        n.ancestral = false;
        addArcs(n, chain, depth, visited);
        chain.pop_back();
        return n;
    }

    static void remap(Node& n, const PathMap& outer) {
        n.map = n.map.then(outer);
        for (Node& c : n.children) remap(c, outer);
    }

    static int rank(const Node& n) { return int(n.kind) * 2 + (n.ancestral ? 1 : 0); }

    void sortChildren(Node& n) {
        std::stable_sort(n.children.begin(), n.children.end(), [](const Node& a, const Node& b) { return rank(a) < rank(b); });
    }

    // Adds the arcs authored on this node's layers (and, below, on its ancestral sources').
    void addArcs(Node& n, std::vector<std::string>& chain, int depth, Sites& visited) {
        for (Node& c : n.children) addArcs(c, chain, depth, visited);
        for (ArcKind kind : {ArcKind::inherit, ArcKind::reference, ArcKind::payload, ArcKind::specialize}) {
            for (const Authored& written : n.authored) {
                for (const Arc& arc : written.arcs(kind)) {
                    const LayerStack* target = n.stack;
                    if (!arc.assetPath.empty() && (kind == ArcKind::reference || kind == ArcKind::payload)) {
                        auto layer = files_.open(*written.layer, arc.assetPath);
                        if (!layer) continue; // the reason is with the layer files
                        target = stackFor(layer);
                    }
                    std::string path = arc.primPath;
                    if (path.empty()) {
                        const std::string& fallback = target->layers.front()->stage.defaultPrim;
                        if (fallback.empty()) {
                            notes_.push_back(target->identity + " names no defaultPrim");
                            continue;
                        }
                        path = fallback.starts_with('/') ? fallback : "/" + fallback;
                    }
                    if (!path.starts_with('/') || path.find('{') != std::string::npos) {
                        notes_.push_back("unsupported target path " + path);
                        continue;
                    }
                    if (visited.count(siteOf(target, path))) continue;
                    Node added = indexAt(target, path, kind, chain, depth + 1, visited);
                    if (added.empty()) {
                        notes_.push_back("nothing at " + siteOf(target, path));
                        continue;
                    }
                    // The target's namespace maps to where the arc was authored.
                    const auto here = n.map(n.path);
                    remap(added, here ? PathMap{path, *here} : PathMap{"", ""});
                    n.children.push_back(std::move(added));
                }
            }
        }
        sortChildren(n);
    }

    // The strongest selection for a variant set anywhere in the tree.
    static const std::string* selection(const Node& n, const std::string& set) {
        for (const Authored& s : n.authored)
            if (s.prim)
                if (auto it = s.prim->variantSelections.find(set); it != s.prim->variantSelections.end()) return &it->second;
        for (const Node& c : n.children)
            if (auto found = selection(c, set)) return found;
        return nullptr;
    }

    // Adds one chosen variant somewhere in the tree; false once every variant set is settled.
    bool addOneVariant(Node& root, Node& n, std::vector<std::string>& chain, int depth, Sites& visited) {
        for (const Authored& written : n.authored) {
            if (!written.prim) continue;
            for (const auto& [set, variants] : written.prim->variantSets) {
                if (!n.variantSetsDone.insert(set).second) continue;
                const std::string* chosen = selection(root, set);
                if (!chosen || chosen->empty()) continue;
                step();
                Node v;
                v.stack = n.stack;
                v.kind = ArcKind::variant;
                v.path = n.path + "{" + set + "=" + *chosen + "}";
                v.map = n.map;
                for (const Authored& s : n.authored) {
                    if (!s.prim) continue;
                    auto vs = s.prim->variantSets.find(set);
                    if (vs == s.prim->variantSets.end()) continue;
                    if (auto it = vs->second.find(*chosen); it != vs->second.end()) v.authored.push_back({s.layer, nullptr, &it->second});
                }
                if (v.authored.empty() || !visited.insert(siteOf(v.stack, v.path)).second) continue;
                addArcs(v, chain, depth + 1, visited);
                n.children.push_back(std::move(v));
                sortChildren(n);
                return true;
            }
        }
        for (Node& c : n.children)
            if (addOneVariant(root, c, chain, depth, visited)) return true;
        return false;
    }

    void variantPass(Node& root, std::vector<std::string>& chain, int depth, Sites& visited) {
        while (addOneVariant(root, root, chain, depth, visited)) {
        }
    }

    static void collectSites(const Node& n, Sites& out) {
        out.insert(siteOf(n.stack, n.path));
        for (const Node& c : n.children) collectSites(c, out);
    }

    struct Opinion {
        const Authored* written;
        const Node* node;
        const Authored* operator->() const { return written; }
    };

    static void flatten(const Node& n, std::vector<Opinion>& out) {
        for (const Authored& s : n.authored) out.push_back({&s, &n});
        for (const Node& c : n.children) flatten(c, out);
    }

    // Target paths in the composed namespace; those the arc does not map are dropped.
    static std::vector<std::string> mapped(const std::vector<std::string>& targets, const Node& from) {
        std::vector<std::string> out;
        for (const std::string& t : targets)
            if (auto m = from.map(t)) out.push_back(std::move(*m));
        return out;
    }

    std::optional<Prim> composePrim(Node& tree, const std::string& name, int depth) {
        std::vector<Opinion> opinions;
        flatten(tree, opinions);
        if (opinions.empty() || depth > kMaxNestingDepth) return std::nullopt;
        Prim out;
        out.name = name;
        std::optional<Specifier> specifier;
        for (const Opinion& s : opinions) {
            if (s->prim) {
                const Prim& p = *s->prim;
                if (out.typeName.empty()) out.typeName = p.typeName;
                if (!specifier && p.specifier != Specifier::over) specifier = p.specifier;
                if (!out.active) out.active = p.active;
                if (!out.instanceable) out.instanceable = p.instanceable;
                if (out.kind.empty()) out.kind = p.kind;
                for (const auto& [set, choice] : p.variantSelections) out.variantSelections.emplace(set, choice);
            }
            for (const auto& [key, attr] : s->attributes()) {
                auto [it, added] = out.attributes.emplace(key, attr);
                Attribute& slot = it->second;
                if (added) {
                    slot.connections = mapped(attr.connections, *s.node);
                    slot.layer = s->layer->identity;
                    continue;
                }
                if (slot.typeName.empty()) slot.typeName = attr.typeName;
                if (slot.interpolation.empty()) slot.interpolation = attr.interpolation;
                if (!hasOpinion(slot) && hasOpinion(attr)) {
                    slot.value = attr.value;
                    slot.connections = mapped(attr.connections, *s.node);
                    slot.layer = s->layer->identity;
                }
            }
            for (const auto& [key, targets] : s->relationships())
                if (!out.relationships.count(key)) out.relationships.emplace(key, mapped(targets, *s.node));
        }
        out.specifier = specifier.value_or(Specifier::over);
        if (!isDrawn(out)) return std::nullopt;
        // Arcs can repeat one layer's values many times over: the copies are bounded.
        for (const auto& [key, attr] : out.attributes) values_ += attr.value.numbers.size() + attr.value.texts.size();
        if (values_ > limits_.maxValues)
            throw LoaderError::parseError("the stage composes more than " + std::to_string(limits_.maxValues) +
                                          " attribute values");
        if (++prims_ > limits_.maxPrims)
            throw LoaderError::parseError("the stage composes more than " + std::to_string(limits_.maxPrims) + " prims");
        std::vector<const std::vector<Prim>*> levels;
        for (const Opinion& s : opinions) levels.push_back(&s->children());
        auto children = childrenOf(tree);
        for (const std::string& childName : namesOf(levels)) {
            std::vector<std::string> chain;
            Node& child = children.at(childName);
            Sites visited;
            collectSites(child, visited);
            addArcs(child, chain, 0, visited);
            variantPass(child, chain, 0, visited);
            if (auto c = composePrim(child, childName, depth + 1)) out.children.push_back(std::move(*c));
        }
        return out;
    }

    LayerFiles& files_;
    CompositionLimits limits_;
    std::map<std::string, std::unique_ptr<LayerStack>> stacks_;
    std::map<std::string, Node> ancestors_; // site -> index
    std::vector<std::string> notes_;
    std::size_t steps_ = 0, prims_ = 0, values_ = 0;
};

} // namespace

ComposedStage compose(const std::shared_ptr<const Layer>& model, LayerFiles& files, const CompositionLimits& limits) {
    return Composer(files, limits).run(model);
}

bool needsComposition(const Stage& stage) {
    if (!stage.subLayers.empty()) return true;
    for (const Prim& p : stage.rootPrims)
        if (hasArcs(p)) return true;
    return false;
}

Stage composeAlone(Layer& model) {
    pruneAlone(model.stage.rootPrims, model.identity, 1);
    return std::move(model.stage);
}

} // namespace trimeo::usd
