// The loader's errors. LoaderError is what readers throw for a file they cannot read;
// PlatformError wraps a failure of the system underneath (file I/O, the asset library)
// with a readable description.
#pragma once

#include <stdexcept>
#include <string>

namespace trimeo {

class LoaderError : public std::exception {
public:
    enum class Kind { unsupportedFormat, parseError, noGeometry };

    static LoaderError unsupportedFormat(std::string payload) { return {Kind::unsupportedFormat, std::move(payload)}; }
    static LoaderError parseError(std::string payload) { return {Kind::parseError, std::move(payload)}; }
    // `reason` says why nothing was found, for logs and tests; the user sees the fixed text.
    static LoaderError noGeometry(std::string reason = {}) { return {Kind::noGeometry, std::move(reason)}; }

    Kind kind() const { return kind_; }
    const std::string& payload() const { return payload_; }
    // The text the user sees.
    const std::string& errorDescription() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

protected:
    LoaderError(Kind kind, std::string payload);

private:
    Kind kind_;
    std::string payload_;
    std::string description_;
};

class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& description) : std::runtime_error(description) {}
};

// The description shown to the user for any error a load can throw.
std::string describeError(const std::exception& error);

} // namespace trimeo
