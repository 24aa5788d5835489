// Little-endian reads over a byte span that never step past its end: every read reports
// failure instead, and a failed cursor stays failed.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace trimeo::alembic {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const { return ok_; }
    std::size_t remaining() const { return ok_ ? bytes_.size() - at_ : 0; }
    bool atEnd() const { return remaining() == 0; }

    template <class T>
    bool read(T& out) {
        if (!take(sizeof(T))) return false;
        std::memcpy(&out, bytes_.data() + at_ - sizeof(T), sizeof(T));
        return true;
    }
    // An unsigned value stored in 1, 2 or 4 bytes.
    bool readSized(int width, std::uint32_t& out);
    // `size` bytes as text; the size is checked before anything is allocated.
    bool readText(std::uint64_t size, std::string& out);

private:
    bool take(std::uint64_t n) {
        if (!ok_ || n > bytes_.size() - at_) return ok_ = false;
        at_ += std::size_t(n);
        return true;
    }
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

inline bool ByteCursor::readSized(int width, std::uint32_t& out) {
    if (width == 1) { std::uint8_t v; if (!read(v)) return false; out = v; return true; }
    if (width == 2) { std::uint16_t v; if (!read(v)) return false; out = v; return true; }
    return read(out);
}

inline bool ByteCursor::readText(std::uint64_t size, std::string& out) {
    if (!take(size)) return false;
    out.assign(reinterpret_cast<const char*>(bytes_.data() + at_ - size), std::size_t(size));
    return true;
}

} // namespace trimeo::alembic
