#include "SceneTransfer.h"

#include "AssetImport.h"
#include "formats/common/LoaderError.h"

#include <cstring>
#include <type_traits>
#include <unordered_map>

namespace trimeo {
namespace {
using namespace scene;
constexpr std::uint32_t kMagic = 0x534D5254; // "TRMS"

struct Writer {
    std::vector<std::uint8_t>& out;
    template <class T> void pod(const T& v) {
        static_assert(std::is_trivially_copyable_v<T>);
        auto* p = reinterpret_cast<const std::uint8_t*>(&v);
        out.insert(out.end(), p, p + sizeof(T));
    }
    template <class T> void array(const std::vector<T>& v) {
        pod<std::uint64_t>(v.size());
        auto* p = reinterpret_cast<const std::uint8_t*>(v.data());
        out.insert(out.end(), p, p + v.size() * sizeof(T));
    }
    void text(const std::string& s) { array(std::vector<char>(s.begin(), s.end())); }
    void vec(Vector3 v) { pod(v.x), pod(v.y), pod(v.z); }
    void quat(Quaternion q) { pod(q.x), pod(q.y), pod(q.z), pod(q.w); }
};

struct Reader {
    std::span<const std::uint8_t> in;
    std::size_t at = 0;
    [[noreturn]] static void corrupt() { throw PlatformError("The model reader returned a damaged scene"); }
    void need(std::size_t n) const {
        if (n > in.size() - at) corrupt();
    }
    template <class T> T pod() {
        need(sizeof(T));
        T v;
        std::memcpy(&v, in.data() + at, sizeof(T));
        at += sizeof(T);
        return v;
    }
    template <class T> std::vector<T> array() {
        auto n = pod<std::uint64_t>();
        if (n > (in.size() - at) / sizeof(T)) corrupt();
        std::vector<T> v(n);
        if (n) std::memcpy(v.data(), in.data() + at, n * sizeof(T));
        at += n * sizeof(T);
        return v;
    }
    std::string text() {
        auto c = array<char>();
        return {c.begin(), c.end()};
    }
    Vector3 vec() {
        double x = pod<double>(), y = pod<double>(), z = pod<double>();
        return {x, y, z};
    }
    Quaternion quat() {
        double x = pod<double>(), y = pod<double>(), z = pod<double>(), w = pod<double>();
        return {x, y, z, w};
    }
    std::uint32_t count(std::size_t minBytesEach) {
        auto n = pod<std::uint32_t>();
        if (minBytesEach && n > (in.size() - at) / minBytesEach) corrupt();
        return n;
    }
};

void writeMaterial(Writer& w, const Material& m) {
    w.pod<std::uint8_t>(m.name.has_value());
    if (m.name) w.text(*m.name);
    w.pod<std::uint8_t>(std::uint8_t(m.diffuse.contents.index()));
    if (const Color* c = m.diffuse.color()) w.pod(*c);
    if (const Image* i = m.diffuse.image()) w.text(i->path), w.array(i->encoded);
    w.pod<std::uint8_t>(std::uint8_t(m.lightingModel));
    w.pod<std::uint8_t>(m.isDoubleSided);
    w.pod<std::uint8_t>(std::uint8_t(m.fillMode));
    w.pod(m.metalness), w.pod(m.roughness);
}

Material readMaterial(Reader& r) {
    Material m;
    if (r.pod<std::uint8_t>()) m.name = r.text();
    switch (r.pod<std::uint8_t>()) {
    case 0: break;
    case 1: m.diffuse.contents = r.pod<Color>(); break;
    case 2: {
        Image image;
        image.path = r.text();
        image.encoded = r.array<std::uint8_t>();
        m.diffuse.contents = std::move(image);
        break;
    }
    default: Reader::corrupt();
    }
    m.lightingModel = r.pod<std::uint8_t>() ? LightingModel::physicallyBased : LightingModel::blinn;
    m.isDoubleSided = r.pod<std::uint8_t>() != 0;
    m.fillMode = r.pod<std::uint8_t>() ? FillMode::lines : FillMode::fill;
    m.metalness = r.pod<float>();
    m.roughness = r.pod<float>();
    return m;
}

template <class Key, class F> void writeKeys(Writer& w, const std::vector<Key>& keys, F value) {
    w.pod<std::uint64_t>(keys.size());
    for (const Key& k : keys) w.pod(k.time), value(k.value);
}

} // namespace

void encodeAssetRead(const AssetRead& read, std::vector<std::uint8_t>& out) {
    Writer w{out};
    w.pod(kMagic);
    w.pod<std::uint64_t>(read.count);
    w.text(read.error);
    w.pod<std::uint8_t>(read.scene != nullptr);
    if (!read.scene) return;

    // Tables of the shared objects first, then the nodes in pre-order with child counts.
    std::vector<const Node*> nodes;
    read.scene->rootNode->enumerateChildNodes([&](const Node::Ptr& n) { nodes.push_back(n.get()); });
    std::unordered_map<const Geometry*, std::uint32_t> geometryIndex;
    std::unordered_map<const Animation*, std::uint32_t> animationIndex;
    std::vector<const Geometry*> geometries;
    std::vector<const Animation*> animations;
    for (const Node* n : nodes) {
        if (n->geometry && geometryIndex.emplace(n->geometry.get(), geometries.size()).second)
            geometries.push_back(n->geometry.get());
        for (const auto& [key, a] : n->animations())
            if (a && animationIndex.emplace(a.get(), animations.size()).second) animations.push_back(a.get());
    }

    w.pod<std::uint32_t>(geometries.size());
    for (const Geometry* g : geometries) {
        w.pod<std::uint32_t>(g->sources.size());
        for (const GeometrySource& s : g->sources)
            w.pod<std::uint8_t>(std::uint8_t(s.semantic)), w.pod<std::int32_t>(s.componentsPerVector), w.array(s.data);
        w.pod<std::uint32_t>(g->elements.size());
        for (const GeometryElement& e : g->elements) w.array(e.indices);
        w.pod<std::uint32_t>(g->materials.size());
        for (const Material& m : g->materials) writeMaterial(w, m);
        w.pod<std::uint8_t>(g->skin.has_value());
        if (g->skin) {
            w.pod<std::uint32_t>(g->skin->jointNames.size());
            for (std::size_t j = 0; j < g->skin->jointNames.size(); ++j) {
                w.text(g->skin->jointNames[j]);
                const Matrix4 m = j < g->skin->inverseBindMatrices.size() ? g->skin->inverseBindMatrices[j] : Matrix4{};
                for (double v : m.m) w.pod(v);
            }
        }
    }
    w.pod<std::uint32_t>(animations.size());
    for (const Animation* a : animations) {
        writeKeys(w, a->translation, [&](Vector3 v) { w.vec(v); });
        writeKeys(w, a->rotation, [&](Quaternion q) { w.quat(q); });
        writeKeys(w, a->scale, [&](Vector3 v) { w.vec(v); });
        w.pod(a->duration);
        w.pod<std::uint8_t>(a->repeats);
    }
    auto writeNode = [&](const Node& n) {
        w.pod<std::uint8_t>(n.name.has_value());
        if (n.name) w.text(*n.name);
        w.vec(n.position), w.vec(n.scale), w.quat(n.orientation);
        w.pod<std::int64_t>(n.geometry ? std::int64_t(geometryIndex.at(n.geometry.get())) : -1);
        w.pod<std::uint8_t>(n.camera.has_value());
        if (n.camera) w.pod(n.camera->fieldOfView), w.pod(n.camera->zNear), w.pod(n.camera->zFar);
        w.pod<std::uint8_t>(n.isPaused);
        w.pod<std::uint32_t>(n.animations().size());
        for (const auto& [key, a] : n.animations()) {
            w.text(key);
            w.pod<std::int64_t>(a ? std::int64_t(animationIndex.at(a.get())) : -1);
        }
        w.pod<std::uint32_t>(n.childNodes().size());
    };
    writeNode(*read.scene->rootNode);
    for (const Node* n : nodes) writeNode(*n);
}

AssetRead decodeAssetRead(std::span<const std::uint8_t> bytes) {
    Reader r{bytes};
    if (r.pod<std::uint32_t>() != kMagic) Reader::corrupt();
    AssetRead read;
    read.count = r.pod<std::uint64_t>();
    read.error = r.text();
    if (!r.pod<std::uint8_t>()) return read;

    std::vector<std::shared_ptr<Geometry>> geometries(r.count(12));
    for (auto& g : geometries) {
        g = std::make_shared<Geometry>();
        g->sources.resize(r.count(13));
        for (GeometrySource& s : g->sources) {
            auto semantic = r.pod<std::uint8_t>();
            if (semantic > std::uint8_t(Semantic::boneWeights)) Reader::corrupt();
            s.semantic = Semantic(semantic);
            s.componentsPerVector = r.pod<std::int32_t>();
            s.data = r.array<float>();
        }
        g->elements.resize(r.count(8));
        for (GeometryElement& e : g->elements) e.indices = r.array<std::uint32_t>();
        std::uint32_t materials = r.count(13);
        for (std::uint32_t i = 0; i < materials; ++i) g->materials.push_back(readMaterial(r));
        if (r.pod<std::uint8_t>()) {
            Skin& skin = g->skin.emplace();
            for (auto j = r.count(8 + 16 * sizeof(double)); j > 0; --j) {
                skin.jointNames.push_back(r.text());
                Matrix4 m;
                for (double& v : m.m) v = r.pod<double>();
                skin.inverseBindMatrices.push_back(m);
            }
        }
    }
    std::vector<std::shared_ptr<Animation>> animations(r.count(33));
    for (auto& a : animations) {
        a = std::make_shared<Animation>();
        for (auto n = r.pod<std::uint64_t>(); n > 0; --n) {
            double t = r.pod<double>();
            a->translation.push_back({t, r.vec()});
        }
        for (auto n = r.pod<std::uint64_t>(); n > 0; --n) {
            double t = r.pod<double>();
            a->rotation.push_back({t, r.quat()});
        }
        for (auto n = r.pod<std::uint64_t>(); n > 0; --n) {
            double t = r.pod<double>();
            a->scale.push_back({t, r.vec()});
        }
        a->duration = r.pod<double>();
        a->repeats = r.pod<std::uint8_t>() != 0;
    }
    auto readNode = [&](Node& n) {
        if (r.pod<std::uint8_t>()) n.name = r.text();
        n.position = r.vec();
        n.scale = r.vec();
        n.orientation = r.quat();
        auto g = r.pod<std::int64_t>();
        if (g >= 0) {
            if (std::uint64_t(g) >= geometries.size()) Reader::corrupt();
            n.geometry = geometries[std::size_t(g)];
        }
        if (r.pod<std::uint8_t>()) {
            Camera c;
            c.fieldOfView = r.pod<double>();
            c.zNear = r.pod<double>();
            c.zFar = r.pod<double>();
            n.camera = c;
        }
        n.isPaused = r.pod<std::uint8_t>() != 0;
        for (auto k = r.count(16); k > 0; --k) {
            std::string key = r.text();
            auto a = r.pod<std::int64_t>();
            if (a < 0 || std::uint64_t(a) >= animations.size()) Reader::corrupt();
            n.addAnimation(animations[std::size_t(a)], std::move(key));
        }
        return r.count(0);
    };
    read.scene = std::make_shared<Scene>();
    std::vector<std::pair<Node*, std::uint32_t>> open{{read.scene->rootNode.get(), readNode(*read.scene->rootNode)}};
    while (!open.empty()) {
        if (open.back().second == 0) {
            open.pop_back();
            continue;
        }
        --open.back().second;
        Node::Ptr child = Node::make();
        std::uint32_t children = readNode(*child);
        Node* raw = child.get();
        open.back().first->addChildNode(std::move(child));
        open.emplace_back(raw, children);
    }
    if (r.at != bytes.size()) Reader::corrupt();
    return read;
}

} // namespace trimeo
