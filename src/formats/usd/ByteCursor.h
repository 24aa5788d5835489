// Bounds-checked little-endian reads over a byte span. Every read past the end, and every
// seek outside the span, throws UsdFormatError instead of touching memory it should not.
#pragma once

#include "UsdFormatError.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace trimeo::usd {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes, std::size_t at = 0) : bytes_(bytes) { seek(at); }

    std::size_t tell() const { return pos_; }
    std::size_t remaining() const { return bytes_.size() - pos_; }
    void seek(std::uint64_t at) {
        if (at > bytes_.size()) throw UsdFormatError("offset outside the file");
        pos_ = static_cast<std::size_t>(at);
    }

    template <class T> T read() {
        static_assert(std::is_trivially_copyable_v<T>);
        T v;
        std::memcpy(&v, take(sizeof(T)).data(), sizeof(T));
        return v;
    }

    std::span<const std::uint8_t> take(std::uint64_t n) {
        if (n > remaining()) throw UsdFormatError("data runs past the end");
        auto out = bytes_.subspan(pos_, static_cast<std::size_t>(n));
        pos_ += static_cast<std::size_t>(n);
        return out;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

} // namespace trimeo::usd
