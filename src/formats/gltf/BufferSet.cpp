#include "BufferSet.h"

#include "formats/common/LoaderError.h"

#include <cctype>

namespace trimeo::gltf {
namespace {

// "scheme:" before any '/' (RFC 3986): not a reference to a file beside the model.
bool hasScheme(std::string_view uri) {
    const std::size_t colon = uri.find(':');
    if (colon == std::string_view::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(uri[0]))) return false;
    for (char c : uri.substr(1, colon - 1))
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    return true;
}

} // namespace

BufferSet::BufferSet(const JSONDocument& document, bool isBinary, std::optional<std::span<const std::uint8_t>> glbBinary,
                     RelatedFiles& related, DecodeBudget& budget)
    : document_(document), isBinary_(isBinary), glbBinary_(glbBinary), related_(related), budget_(budget),
      entries_(arrayOfObjects(member(document.root(), "buffers")).value_or(std::span<const JSON>())) {}

const BinaryBuffer* BufferSet::buffer(std::size_t index) {
    auto known = resolved_.find(index);
    if (known == resolved_.end()) {
        known = resolved_.emplace(index, resolve(index)).first;
        if (known->second) budget_.addBuffer(known->second->size());
    }
    return known->second ? &*known->second : nullptr;
}

std::optional<BinaryBuffer> BufferSet::resolve(std::size_t index) {
    if (isBinary_ && index == 0) {
        if (!glbBinary_) return std::nullopt;
        return BinaryBuffer::fromBytes(*glbBinary_);
    }
    if (index >= entries_.size()) return std::nullopt;
    const JSON* uriValue = member(entries_[index], "uri");
    const auto uri = uriValue ? document_.text(*uriValue) : std::nullopt;
    if (!uri) return std::nullopt;

    // "data:<media type>;base64,<text>"; the media type is not checked.
    if (uri->starts_with("data:")) {
        constexpr std::string_view marker = ";base64,";
        const std::size_t at = uri->find(marker);
        if (at == std::string_view::npos) return std::nullopt;
        return BinaryBuffer::fromBase64(uri->substr(at + marker.size()));
    }

    // Other schemes ("Data:", "http:", "file:") name nothing beside the model; without a
    // location there is nowhere to look. Either way the buffer stays absent.
    if (hasScheme(*uri) || !related_.hasLocation()) return std::nullopt;
    const std::string reference = percentDecode(*uri);
    std::string why;
    auto bytes = related_.read(reference, why);
    if (!bytes) throw LoaderError::parseError("glTF buffer '" + reference + "' could not be read: " + why);
    files_.push_back(*bytes);
    return BinaryBuffer::fromBytes(**bytes);
}

} // namespace trimeo::gltf
