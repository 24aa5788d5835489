// The named length units a model file may declare, as 3MF spells them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trimeo::scene {

struct LengthUnit {
    std::string_view name;   // "millimeter", as a 3MF model's `unit` attribute writes it
    std::string_view symbol; // "mm"
    double meters;           // length of one unit
};

// The unit with this 3MF name (exact, case-sensitive); null for any other text.
const LengthUnit* lengthUnitNamed(std::string_view name);

// The named unit whose length matches `metersPerUnit` to within one part in a million
// (USD's 0.01 is the centimetre); null when none does.
const LengthUnit* lengthUnitFor(double metersPerUnit);

// What the figures are shown in: a named unit's symbol, or "units" when the file said
// nothing or gave a length no unit has.
std::string unitSymbol(std::optional<double> metersPerUnit);

} // namespace trimeo::scene
