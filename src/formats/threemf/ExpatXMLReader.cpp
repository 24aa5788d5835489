#include "ExpatXMLReader.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace trimeo::threemf {
namespace {

struct ParserFree {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

struct Adapter {
    XMLEventHandler& handler;
    std::vector<XMLAttribute> attributes;

    static void onStart(void* self, const char* name, const char** raw) {
        auto& adapter = *static_cast<Adapter*>(self);
        adapter.attributes.clear();
        for (const char** a = raw; a[0]; a += 2) adapter.attributes.push_back({a[0], a[1]});
        adapter.handler.startElement(name, adapter.attributes);
    }
    static void onEnd(void* self, const char* name) { static_cast<Adapter*>(self)->handler.endElement(name); }
};

} // namespace

bool readXMLWithExpat(std::span<const std::uint8_t> document, XMLEventHandler& handler) {
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree> parser(XML_ParserCreate(nullptr));
    if (!parser) return false;
    Adapter adapter{handler, {}};
    XML_SetUserData(parser.get(), &adapter);
    XML_SetElementHandler(parser.get(), &Adapter::onStart, &Adapter::onEnd);
    // expat takes an int length: feed larger documents in pieces.
    constexpr std::size_t kPiece = std::size_t(1) << 30;
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(kPiece, document.size() - offset);
        const bool last = offset + length == document.size();
        const char* bytes = reinterpret_cast<const char*>(document.data()) + offset;
        if (XML_Parse(parser.get(), bytes, int(length), last) != XML_STATUS_OK) return false;
        offset += length;
    } while (offset < document.size());
    return true;
}

} // namespace trimeo::threemf
