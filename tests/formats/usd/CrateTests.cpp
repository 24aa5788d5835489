#include "formats/usd/CrateCompression.h"
#include "formats/usd/CrateReader.h"
#include "formats/usd/UsdFormatError.h"
#include "formats/usd/UsdReader.h"
#include "formats/usd/UsdaParser.h"
#include "loading/ModelLoader.h"

#include "../threemf/ZipPackage.h"
#include "CrateWriter.h"
#include "UsdFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <lz4.h>

using trimeo::ModelLoader;
using trimeo::scene::Node;
using trimeo::test::CrateWriteOptions;
using trimeo::test::writeCrate;
using trimeo::usd::parseUsda;
using trimeo::usd::Stage;

namespace {

const CrateWriteOptions kSampledTranslate{{"xformOp:translate"}};

std::shared_ptr<trimeo::scene::Scene> load(const std::vector<std::uint8_t>& bytes, const char* name) {
    return ModelLoader::load(bytes, std::filesystem::path(name)).scene;
}

void expectSameNode(const Node& a, const Node& b, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(a.name, b.name);
    const auto ma = a.transform(), mb = b.transform();
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(ma.m[i], mb.m[i], 1e-6) << "matrix entry " << i;
    ASSERT_EQ(bool(a.geometry), bool(b.geometry));
    if (a.geometry) {
        ASSERT_EQ(a.geometry->sources.size(), b.geometry->sources.size());
        for (std::size_t s = 0; s < a.geometry->sources.size(); ++s)
            EXPECT_EQ(a.geometry->sources[s].data, b.geometry->sources[s].data) << "source " << s;
        ASSERT_EQ(a.geometry->elements.size(), b.geometry->elements.size());
        EXPECT_EQ(a.geometry->elements[0].indices, b.geometry->elements[0].indices);
        const auto* ca = a.geometry->firstMaterial()->diffuse.color();
        const auto* cb = b.geometry->firstMaterial()->diffuse.color();
        ASSERT_EQ(bool(ca), bool(cb));
        if (ca) {
            EXPECT_EQ(*ca, *cb);
        }
    }
    ASSERT_EQ(a.childNodes().size(), b.childNodes().size());
    for (std::size_t i = 0; i < a.childNodes().size(); ++i)
        expectSameNode(*a.childNodes()[i], *b.childNodes()[i], where + "/" + a.childNodes()[i]->name.value_or("?"));
}

TEST(Crate, TheThreeFormsOfAStageGiveTheSameScene) {
    for (const char* text : {trimeo::test::kTwoMeshStage, trimeo::test::kRichStage}) {
        const auto usda = trimeo::test::bytes(text);
        const auto usdc = writeCrate(parseUsda(text), kSampledTranslate);
        const std::string crate(usdc.begin(), usdc.end());
        const auto fromText = load(usda, "stage.usda");
        ASSERT_TRUE(fromText);
        ASSERT_FALSE(fromText->rootNode->childNodes().empty());
        const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> forms = {
            {"stage.usdc", usdc},
            {"stage.usd", usdc},
            {"stage.usdz", trimeo::test::ZipPackage().file("stage.usdc", crate, false).bytes()},
            {"text.usdz", trimeo::test::ZipPackage().file("stage.usda", text).bytes()},
        };
        for (const auto& [name, bytes] : forms) {
            const auto scene = load(bytes, name);
            ASSERT_TRUE(scene) << name;
            expectSameNode(*fromText->rootNode, *scene->rootNode, name);
        }
    }
}

TEST(Crate, ReadsTheRichStageAsWritten) {
    // Independent of the text route: the values that go through the crate's special codings.
    const auto stage = trimeo::usd::readCrate(writeCrate(parseUsda(trimeo::test::kRichStage), kSampledTranslate));
    EXPECT_EQ(stage.upAxis, "Z");
    ASSERT_EQ(stage.rootPrims.size(), 2u);
    EXPECT_EQ(stage.rootPrims[0].specifier, trimeo::usd::Specifier::klass);
    const auto& root = stage.rootPrims[1];
    ASSERT_EQ(root.children.size(), 4u);
    EXPECT_EQ(root.children[2].specifier, trimeo::usd::Specifier::over);
    EXPECT_EQ(root.attribute("xformOp:translate")->value.numbers, (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(root.attribute("xformOp:scale")->value.numbers, (std::vector<double>{0.5, 2, 1.5}));
    const auto& orient = root.attribute("xformOp:orient")->value.numbers;
    ASSERT_EQ(orient.size(), 4u);
    EXPECT_FLOAT_EQ(float(orient[0]), 0.9238795f); // real part first, as in text
    const auto& fan = root.children[0];
    EXPECT_EQ(fan.attribute("widths")->value.numbers, (std::vector<double>{0.5, 0.25, 0.5, 1.75}));
    EXPECT_EQ(fan.attribute("creaseSharpnesses")->value.numbers, (std::vector<double>{1, 2, 300, -4000}));
    EXPECT_EQ(fan.attribute("note")->value.texts, std::vector<std::string>{"made by hand"});
    EXPECT_EQ(fan.attribute("normals")->interpolation, "faceVarying");
    EXPECT_EQ(fan.attribute("xformOp:transform")->value.numbers[12], 2.25);
}

TEST(Crate, OlderVersionsWithThirtyTwoBitCountsReadTheSame) {
    const auto stage = parseUsda(trimeo::test::kRichStage);
    const auto modern = trimeo::test::readUsd(writeCrate(stage), "usdc");
    CrateWriteOptions old;
    old.minor = 6;
    const auto older = trimeo::test::readUsd(writeCrate(stage, old), "usdc");
    ASSERT_TRUE(modern.scene && older.scene) << modern.error << older.error;
    EXPECT_EQ(modern.count, 2u);
    EXPECT_EQ(older.count, 2u);
    expectSameNode(*modern.scene->rootNode, *older.scene->rootNode, "0.6");
}

TEST(CrateCompression, IntegerCodingRoundTripsEveryDeltaWidth) {
    std::vector<std::uint32_t> values = {0, 1, 2, 3, 4, 200, 100, 40000, 5, 0xffffffffu, 7, 7, 7};
    for (std::uint32_t i = 0; i < 50; ++i) values.push_back(i * 3);
    const auto encoded = trimeo::test::encodeIntegers32(values);
    EXPECT_EQ(trimeo::usd::decodeIntegers32(encoded, values.size()), values);
    // Asking for more values than the codes hold is refused, not read past the end.
    EXPECT_THROW(trimeo::usd::decodeIntegers32(encoded, values.size() * 40), trimeo::usd::UsdFormatError);
}

TEST(CrateCompression, SixtyFourBitCodingUsesWiderDeltas) {
    // common delta 1; codes: common, 16-bit, 32-bit, 64-bit.
    std::vector<std::uint8_t> data;
    auto put = [&data](auto v) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&v);
        data.insert(data.end(), p, p + sizeof v);
    };
    put(std::int64_t(1));
    put(std::uint8_t(0b11'10'01'00));
    put(std::int16_t(-2));
    put(std::int32_t(100000));
    put(std::int64_t(1) << 40);
    EXPECT_EQ(trimeo::usd::decodeIntegers64(data, 4),
              (std::vector<std::uint64_t>{1, std::uint64_t(-1), 99999, 99999 + (std::uint64_t(1) << 40)}));
}

TEST(CrateCompression, ReadsChunkedLz4AndRefusesDamagedBlocks) {
    const std::string a(300, 'a'), b = "bcdefg";
    std::vector<std::uint8_t> packed{2};
    for (const std::string& part : {a, b}) {
        std::vector<char> block(LZ4_compressBound(int(part.size())));
        const std::int32_t n = LZ4_compress_default(part.data(), block.data(), int(part.size()), int(block.size()));
        const auto* size = reinterpret_cast<const std::uint8_t*>(&n);
        packed.insert(packed.end(), size, size + 4);
        packed.insert(packed.end(), block.begin(), block.begin() + n);
    }
    const auto out = trimeo::usd::decompressChunks(packed, 1000);
    EXPECT_EQ(std::string(out.begin(), out.end()), a + b);
    EXPECT_THROW(trimeo::usd::decompressChunks(packed, 100), trimeo::usd::UsdFormatError); // output bound
    auto cut = packed;
    cut.resize(cut.size() - 3);
    EXPECT_THROW(trimeo::usd::decompressChunks(cut, 1000), trimeo::usd::UsdFormatError);
    EXPECT_THROW(trimeo::usd::decompressChunks({}, 1000), trimeo::usd::UsdFormatError);
}

TEST(Crate, TruncatedAndDamagedFilesFailWithoutCrashing) {
    const auto good = writeCrate(parseUsda(trimeo::test::kRichStage), kSampledTranslate);
    ASSERT_EQ(trimeo::test::readUsd(good, "usdc").count, 2u);
    // The table of contents sits at the end: every cut loses it.
    for (std::size_t n = 0; n < good.size(); n += 7) {
        const auto read = trimeo::test::readUsd(std::span(good.data(), n), "usdc");
        EXPECT_FALSE(read.scene) << "cut at " << n;
        EXPECT_FALSE(read.error.empty()) << "cut at " << n;
    }
    // A flipped byte anywhere may still read, but must never escape as a crash or exception.
    for (std::size_t i = 0; i < good.size(); ++i)
        for (std::uint8_t flip : {std::uint8_t(0x01), std::uint8_t(0x80), std::uint8_t(0xff)}) {
            auto bad = good;
            bad[i] ^= flip;
            const auto read = trimeo::test::readUsd(bad, "usdc");
            EXPECT_TRUE(read.scene || !read.error.empty()) << "byte " << i;
        }
    auto oldVersion = good;
    oldVersion[9] = 3;
    EXPECT_EQ(trimeo::test::readUsd(oldVersion, "usdc").error, "unsupported crate version");
}

TEST(Crate, CompositionFieldsVariantsAndRelationshipsReadAsTheTextStatesThem) {
    const Stage text = parseUsda(R"(#usda 1.0
(
    defaultPrim = "Asset"
    metersPerUnit = 0.01
    subLayers = [@a.usda@, @sub/b.usdc@]
)
def Xform "Asset" (
    prepend references = [@x.usda@</X/Y>, </Local>, @whole.usda@]
    payload = @p.usdz@
    inherits = </_class_Asset>
    specializes = [</Base>, </Other>]
    variants = { string look = "red"  string lod = "high" }
    active = false
    instanceable = true
    kind = "component"
)
{
    variantSet "look" = {
        "red" ( prepend references = @red.usda@ ) {
            color3f[] primvars:displayColor = [(1, 0, 0)]
            rel material:binding = </Looks/Red>
            def Mesh "OnlyRed" { }
        }
        "blue" { }
    }
    rel targets = [</A>, </B.prop>]
    color3f inputs:diffuseColor.connect = </Looks/Tex.outputs:rgb>
    def Xform "Child" { }
}
)");
    const Stage crate = trimeo::usd::readCrate(writeCrate(text));
    EXPECT_EQ(crate.defaultPrim, "Asset");
    EXPECT_EQ(crate.metersPerUnit, 0.01);
    EXPECT_EQ(crate.subLayers, text.subLayers);
    const auto& a = crate.rootPrims.at(0);
    const auto& t = text.rootPrims.at(0);
    EXPECT_EQ(a.references, t.references);
    EXPECT_EQ(a.references.at(1).assetPath, "");
    EXPECT_EQ(a.references.at(1).primPath, "/Local");
    EXPECT_EQ(a.references.at(2).primPath, "");
    EXPECT_EQ(a.payloads, t.payloads);
    EXPECT_EQ(a.inherits, t.inherits);
    EXPECT_EQ(a.specializes, t.specializes);
    EXPECT_EQ(a.variantSelections, t.variantSelections);
    EXPECT_EQ(a.active, false);
    EXPECT_EQ(a.instanceable, true);
    EXPECT_EQ(a.kind, "component");
    EXPECT_EQ(a.relationships, t.relationships);
    EXPECT_EQ(a.attribute("inputs:diffuseColor")->connections, std::vector<std::string>{"/Looks/Tex.outputs:rgb"});
    ASSERT_EQ(a.children.size(), 1u); // the variant's prim stays in the variant
    ASSERT_EQ(a.variantSets.at("look").size(), 2u);
    const auto& red = a.variantSets.at("look").at("red");
    EXPECT_EQ(red.references, t.variantSets.at("look").at("red").references);
    EXPECT_EQ(red.attributes.at("primvars:displayColor").value.numbers, (std::vector<double>{1, 0, 0}));
    EXPECT_EQ(red.relationships.at("material:binding"), std::vector<std::string>{"/Looks/Red"});
    EXPECT_EQ(red.children.at(0).name, "OnlyRed");
    // Before 0.8.0 a payload carries no layer offset.
    const Stage old = trimeo::usd::readCrate(writeCrate(text, CrateWriteOptions{{}, 7}));
    EXPECT_EQ(old.rootPrims.at(0).payloads, t.payloads);
    EXPECT_EQ(old.rootPrims.at(0).references, t.references);
}

} // namespace
