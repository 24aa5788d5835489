#include "LoaderError.h"

#include <new>
#include <stdexcept>

namespace trimeo {

LoaderError::LoaderError(Kind kind, std::string payload) : kind_(kind), payload_(std::move(payload)) {
    switch (kind_) {
    case Kind::unsupportedFormat: description_ = "Unsupported format: " + payload_; break;
    case Kind::parseError: description_ = "Parse error: " + payload_; break;
    case Kind::noGeometry: description_ = "No geometry found in file"; break;
    }
}

std::string describeError(const std::exception& error) {
    if (auto* e = dynamic_cast<const LoaderError*>(&error)) return e->errorDescription();
    // A size no allocation could meet ends the same way as memory running out.
    if (dynamic_cast<const std::bad_alloc*>(&error) || dynamic_cast<const std::length_error*>(&error))
        return "Not enough memory to load this model";
    return error.what();
}

} // namespace trimeo
