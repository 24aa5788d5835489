#include "LengthUnit.h"

#include <array>
#include <cmath>

namespace trimeo::scene {
namespace {

constexpr std::array<LengthUnit, 6> kUnits{{
    {"micron", "µm", 1e-6},
    {"millimeter", "mm", 1e-3},
    {"centimeter", "cm", 1e-2},
    {"inch", "in", 0.0254},
    {"foot", "ft", 0.3048},
    {"meter", "m", 1.0},
}};

} // namespace

const LengthUnit* lengthUnitNamed(std::string_view name) {
    for (const LengthUnit& unit : kUnits)
        if (unit.name == name) return &unit;
    return nullptr;
}

const LengthUnit* lengthUnitFor(double metersPerUnit) {
    for (const LengthUnit& unit : kUnits)
        if (std::abs(metersPerUnit - unit.meters) <= unit.meters * 1e-6) return &unit;
    return nullptr;
}

std::string unitSymbol(std::optional<double> metersPerUnit) {
    const LengthUnit* unit = metersPerUnit ? lengthUnitFor(*metersPerUnit) : nullptr;
    return unit ? std::string(unit->symbol) : std::string("units");
}

} // namespace trimeo::scene
