// The length unit of a 3MF model part: its root `model` element's `unit` attribute.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace trimeo::threemf {

// Metres per unit of the part's coordinates. A model without `unit` is in millimetres, as
// the format says; an unknown unit name, or a part whose root element is not a model (or
// cannot be read), gives nothing. Reads only as far as the root element's start tag.
std::optional<double> modelMetersPerUnit(std::span<const std::uint8_t> modelPart);

} // namespace trimeo::threemf
