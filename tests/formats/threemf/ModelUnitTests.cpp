#include "formats/threemf/ModelUnit.h"
#include "formats/threemf/ThreeMFParser.h"

#include "ZipPackage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using trimeo::threemf::modelMetersPerUnit;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::optional<double> unitOf(const std::string& xml) { return modelMetersPerUnit(bytesOf(xml)); }

std::string modelWithUnit(const std::string& unit) {
    std::string xml = trimeo::test::modelXML({trimeo::test::tetrahedronMesh()});
    const std::string from = "unit=\"millimeter\"";
    return xml.replace(xml.find(from), from.size(), unit);
}

} // namespace

TEST(ModelUnit, EveryNamedUnitAndTheMillimetreDefault) {
    EXPECT_DOUBLE_EQ(*unitOf(modelWithUnit("unit=\"micron\"")), 1e-6);
    EXPECT_DOUBLE_EQ(*unitOf(modelWithUnit("unit=\"millimeter\"")), 0.001);
    EXPECT_DOUBLE_EQ(*unitOf(modelWithUnit("unit=\"centimeter\"")), 0.01);
    EXPECT_DOUBLE_EQ(*unitOf(modelWithUnit("unit=\"inch\"")), 0.0254);
    EXPECT_DOUBLE_EQ(*unitOf(modelWithUnit("unit=\"foot\"")), 0.3048);
    EXPECT_DOUBLE_EQ(*unitOf(modelWithUnit("unit=\"meter\"")), 1.0);
    EXPECT_DOUBLE_EQ(*unitOf(modelWithUnit("")), 0.001);
    EXPECT_DOUBLE_EQ(*unitOf("<MODEL unit=\"inch\"/>"), 0.0254);
}

TEST(ModelUnit, UnknownNamesOtherRootsAndBrokenTextGiveNothing) {
    EXPECT_FALSE(unitOf(modelWithUnit("unit=\"Inch\"")));
    EXPECT_FALSE(unitOf(modelWithUnit("unit=\"furlong\"")));
    EXPECT_FALSE(unitOf("<resources unit=\"inch\"/>"));
    EXPECT_FALSE(unitOf("<m:model unit=\"inch\"/>"));
    EXPECT_FALSE(unitOf("<model unit=\"inch"));
    EXPECT_FALSE(unitOf("not xml at all"));
    EXPECT_FALSE(unitOf(""));
    // A unit on an inner element is not the model's.
    EXPECT_DOUBLE_EQ(*unitOf("<model><resources unit=\"inch\"/></model>"), 0.001);
}

TEST(ModelUnit, ReachesTheLoadedScene) {
    const auto package = trimeo::test::ZipPackage().file("3D/3dmodel.model", modelWithUnit("unit=\"inch\"")).bytes();
    const trimeo::ReaderResult read = trimeo::ThreeMFParser().parse(package);
    ASSERT_TRUE(read.scene->metersPerUnit);
    EXPECT_DOUBLE_EQ(*read.scene->metersPerUnit, 0.0254);
}
