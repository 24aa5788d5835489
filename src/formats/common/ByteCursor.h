// Little-endian reads over a byte span that never step past its end.
//
// ByteCursor reports: every read returns false instead of reading out of bounds, and a
// failed cursor stays failed, so a chain of reads needs one check at its end.
// StrictByteCursor<Error> is the same cursor for parsers that give up on the first bad
// offset: it throws Error("offset outside the file") or Error("data runs past the end").
#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <type_traits>

namespace trimeo {

class ByteCursor {
public:
    // A start beyond the end gives a failed cursor.
    explicit ByteCursor(std::span<const std::uint8_t> bytes, std::uint64_t at = 0) : bytes_(bytes) { seek(at); }

    bool ok() const { return ok_; }
    std::size_t tell() const { return at_; }
    std::size_t remaining() const { return ok_ ? bytes_.size() - at_ : 0; }
    bool atEnd() const { return remaining() == 0; }

    bool seek(std::uint64_t at) {
        if (!ok_ || at > bytes_.size()) return ok_ = false;
        at_ = std::size_t(at);
        return true;
    }
    // The next `n` bytes, without copying.
    bool take(std::uint64_t n, std::span<const std::uint8_t>& out) {
        if (!ok_ || n > bytes_.size() - at_) return ok_ = false;
        out = bytes_.subspan(at_, std::size_t(n));
        at_ += std::size_t(n);
        return true;
    }
    template <class T>
    bool read(T& out) {
        static_assert(std::is_trivially_copyable_v<T>);
        std::span<const std::uint8_t> b;
        if (!take(sizeof(T), b)) return false;
        std::memcpy(&out, b.data(), sizeof(T));
        return true;
    }
    // An unsigned value stored in 1, 2 or 4 bytes.
    bool readSized(int width, std::uint32_t& out) {
        if (width == 1) return widen<std::uint8_t>(out);
        if (width == 2) return widen<std::uint16_t>(out);
        return read(out);
    }
    // `size` bytes as text; the size is checked before anything is allocated.
    bool readText(std::uint64_t size, std::string& out) {
        std::span<const std::uint8_t> b;
        if (!take(size, b)) return false;
        out.assign(reinterpret_cast<const char*>(b.data()), b.size());
        return true;
    }

private:
    template <class Small>
    bool widen(std::uint32_t& out) {
        Small v;
        if (!read(v)) return false;
        out = v;
        return true;
    }
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

template <class Error>
class StrictByteCursor {
public:
    explicit StrictByteCursor(std::span<const std::uint8_t> bytes, std::uint64_t at = 0) : in_(bytes) { seek(at); }

    std::size_t tell() const { return in_.tell(); }
    std::size_t remaining() const { return in_.remaining(); }
    void seek(std::uint64_t at) {
        if (!in_.seek(at)) throw Error("offset outside the file");
    }
    std::span<const std::uint8_t> take(std::uint64_t n) {
        std::span<const std::uint8_t> out;
        if (!in_.take(n, out)) throw Error("data runs past the end");
        return out;
    }
    template <class T>
    T read() {
        T v;
        if (!in_.read(v)) throw Error("data runs past the end");
        return v;
    }

private:
    ByteCursor in_;
};

} // namespace trimeo
