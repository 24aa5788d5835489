// The element events the model reader takes from an XML document, in document order, with
// names exactly as written (no namespace processing) and attribute values as an XML
// processor reports them (references expanded, white space normalised).
#pragma once

#include <span>
#include <string_view>

namespace trimeo::threemf {

struct XMLAttribute {
    std::string_view name;
    std::string_view value;
};

// Views passed to a handler are valid only during the call.
class XMLEventHandler {
public:
    // Attributes in the order written. An empty element gives a start and an end.
    virtual void startElement(std::string_view name, std::span<const XMLAttribute> attributes) = 0;
    virtual void endElement(std::string_view name) = 0;

protected:
    ~XMLEventHandler() = default;
};

} // namespace trimeo::threemf
