#include "InfoCommand.h"

#include "formats/common/FileMapping.h"
#include "loading/ModelFile.h"
#include "scene/LengthUnit.h"
#include "viewport/ModelStatistics.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <vector>

namespace trimeo {
namespace {

void writeJSONString(std::ostream& out, const std::string& s) {
    out << '"';
    for (unsigned char c : s) {
        switch (c) {
        case '"': out << "\\\""; break;
        case '\\': out << "\\\\"; break;
        case '\n': out << "\\n"; break;
        case '\t': out << "\\t"; break;
        case '\r': out << "\\r"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out << buf;
            } else {
                out << c;
            }
        }
    }
    out << '"';
}

void writeNumber(std::ostream& out, double v) {
    if (std::isfinite(v)) out << v;
    else out << "null"; // JSON has no infinities: an empty model's box
}

void writeVector(std::ostream& out, scene::Vector3 v) {
    out << '[';
    writeNumber(out, v.x);
    out << ',';
    writeNumber(out, v.y);
    out << ',';
    writeNumber(out, v.z);
    out << ']';
}

// Size, area and volume in the file's own units, named as 3MF names them.
void writeFigures(std::ostream& out, const scene::Scene& scene) {
    const MeshFigures figures = measureMeshes(takeInventory(*scene.rootNode).instances);
    const scene::LengthUnit* unit = scene.metersPerUnit ? scene::lengthUnitFor(*scene.metersPerUnit) : nullptr;
    out << ",\"dimensions\":";
    writeVector(out, figures.box.isEmpty() ? scene::Vector3() : figures.box.max - figures.box.min);
    out << ",\"units\":";
    writeJSONString(out, unit ? std::string(unit->name) : std::string("units"));
    if (scene.metersPerUnit) {
        out << ",\"metersPerUnit\":";
        writeNumber(out, *scene.metersPerUnit);
    }
    out << ",\"surfaceArea\":";
    writeNumber(out, figures.surfaceArea);
    out << ",\"volume\":";
    if (figures.volume) writeNumber(out, *figures.volume);
    else out << "null";
    out << ",\"watertight\":" << (figures.watertight ? "true" : "false");
}

} // namespace

void writeLoadSummary(std::ostream& out, const std::string& route, const ModelLoader::LoadResult& result) {
    std::size_t nodes = 0, vertices = 0, triangles = 0;
    std::vector<std::string> names;
    result.scene->rootNode->enumerateChildNodes([&](const scene::Node::Ptr& n) {
        ++nodes;
        if (n->name) names.push_back(*n->name);
        if (n->geometry) {
            vertices += n->geometry->vertexCount();
            triangles += n->geometry->validTriangleCount();
        }
    });
    out.precision(9);
    out << "{\"route\":";
    writeJSONString(out, route);
    out << ",\"nodes\":" << nodes << ",\"vertices\":" << vertices << ",\"triangles\":" << triangles;
    out << ",\"nodeNames\":[";
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i) out << ',';
        writeJSONString(out, names[i]);
    }
    out << "],\"animations\":[";
    bool first = true;
    for (const auto& entry : result.animations) {
        if (!first) out << ',';
        first = false;
        writeJSONString(out, entry.first);
    }
    out << "],\"hasAnimations\":" << (result.hasAnimations ? "true" : "false");
    scene::BoundingBox box = result.scene->rootNode->boundingBox();
    out << ",\"boundingBox\":{\"min\":";
    writeVector(out, box.min);
    out << ",\"max\":";
    writeVector(out, box.max);
    out << '}';
    writeFigures(out, *result.scene);
    out << "}\n";
}

int runInfoCommand(const std::string& path) {
    try {
        const ModelFile file = ModelFile::open(path);
        ModelLoader::LoadResult result = ModelLoader::load(file.bytes(), std::filesystem::path(path));
        releaseFileBytes(file.bytes()); // the figures below need only the scene
        auto route = ModelLoader::routeFor(ModelLoader::fileExtension(path));
        writeLoadSummary(std::cout, ModelLoader::routeName(route), result);
        return 0;
    } catch (const FileOpenError&) {
        std::cerr << "Cannot read file " << path << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << describeError(e) << '\n';
        return 1;
    }
}

} // namespace trimeo
