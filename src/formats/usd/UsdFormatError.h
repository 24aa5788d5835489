// Thrown inside the USD readers for bytes that do not form a readable layer; the reader's
// entry point turns it into a failed read, so it never leaves the folder.
#pragma once

#include <stdexcept>
#include <string>

namespace trimeo::usd {

class UsdFormatError : public std::runtime_error {
public:
    explicit UsdFormatError(const std::string& reason) : std::runtime_error(reason) {}
};

} // namespace trimeo::usd
