// The plain XML reader against expat on arbitrary bytes: whenever the plain reader accepts
// a document, expat must read it to its end too, with the same events in the same order.
// And the plain reader on the document arriving in pieces (their size taken from the first
// byte) from another thread must decide as it does on the whole, with the same events.
#include "formats/threemf/ArrivingDocument.h"
#include "formats/threemf/ExpatXMLReader.h"
#include "formats/threemf/PlainXMLReader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace {

class Transcript final : public trimeo::threemf::XMLEventHandler {
public:
    void startElement(std::string_view name, std::span<const trimeo::threemf::XMLAttribute> attributes) override {
        text.append(1, '\1').append(name);
        for (const auto& a : attributes) text.append(1, '\2').append(a.name).append(1, '\3').append(a.value);
    }
    void endElement(std::string_view name) override { text.append(1, '\4').append(name); }
    std::string text;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Transcript plain;
    const bool accepted = trimeo::threemf::readPlainXML({data, size}, plain);

    const std::size_t piece = size ? 1 + data[0] % 64 : 1;
    trimeo::threemf::ArrivingDocument arriving;
    Transcript inPieces;
    bool acceptedInPieces = false;
    {
        std::jthread producer([&] {
            arriving.start(data);
            for (std::size_t told = 0; told < size;) arriving.publish(told = std::min(size, told + piece));
            arriving.finish(size);
        });
        acceptedInPieces = trimeo::threemf::readPlainXML(arriving, inPieces);
    }
    if (acceptedInPieces != accepted) __builtin_trap();
    if (!accepted) return 0;
    if (inPieces.text != plain.text) __builtin_trap();

    Transcript expat;
    if (!trimeo::threemf::readXMLWithExpat({data, size}, expat)) __builtin_trap();
    if (plain.text != expat.text) __builtin_trap();
    return 0;
}
