// The bound on model XML held in memory: a main part past it is refused with a parseError
// before it is read in; component parts past what is left of it are skipped.
#include "formats/threemf/ThreeMFParser.h"

#include "ZipPackage.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using trimeo::LoaderError;
using trimeo::ThreeMFParser;
using trimeo::test::modelXML;
using trimeo::test::tetrahedronMesh;
using trimeo::test::ZipPackage;

namespace {

trimeo::threemf::ExtractionLimits oneMiBOfModel() {
    trimeo::threemf::ExtractionLimits limits;
    limits.maxModelBytes = 1 << 20;
    return limits;
}

// A valid model part of about `bytes`: one mesh, then blanks.
std::string paddedModel(std::size_t bytes, const std::string& extra = "") {
    std::string xml = modelXML({tetrahedronMesh()}, extra);
    xml.insert(xml.rfind("</model>"), std::string(bytes, ' '));
    return xml;
}

std::size_t meshCount(const trimeo::ReaderResult& r) { return r.scene->rootNode->childNodes().size(); }

} // namespace

TEST(ModelSizeLimit, RefusesAMainPartPastTheLimitAndLoadsItWithinTheDefault) {
    const auto package = ZipPackage().file("3D/3dmodel.model", paddedModel(2 << 20)).bytes();
    try {
        ThreeMFParser(oneMiBOfModel()).parse(package);
        ADD_FAILURE() << "a 2 MiB model part passed a 1 MiB limit";
    } catch (const LoaderError& e) {
        EXPECT_EQ(e.kind(), LoaderError::Kind::parseError);
        EXPECT_EQ(e.errorDescription(), "Parse error: 3MF model file is larger than 1 MiB");
    }
    EXPECT_TRUE(trimeo::test::temporaryDirectoryEntries().empty());

    EXPECT_EQ(meshCount(ThreeMFParser().parse(package)), 1u);
    EXPECT_EQ(meshCount(ThreeMFParser(oneMiBOfModel())
                            .parse(ZipPackage().file("3D/3dmodel.model", paddedModel(1 << 19)).bytes())),
              1u);
}

TEST(ModelSizeLimit, SkipsComponentsPastWhatIsLeft) {
    const std::string names = "<object id=\"9\" type=\"model\"><components>"
                              "<component objectid=\"1\" p:path=\"/3D/big.model\"/></components></object>";
    const auto package = ZipPackage()
                             .file("3D/3dmodel.model", paddedModel(0, names))
                             .file("3D/big.model", paddedModel(2 << 20))
                             .bytes();
    EXPECT_EQ(meshCount(ThreeMFParser(oneMiBOfModel()).parse(package)), 1u);
    EXPECT_EQ(meshCount(ThreeMFParser().parse(package)), 2u);
    EXPECT_TRUE(trimeo::test::temporaryDirectoryEntries().empty());
}
