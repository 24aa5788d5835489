// The plain reader against expat: on what it accepts, the same events; what it declines
// is either not well-formed (expat faults too) or outside its subset.
#include "formats/common/TemporaryFiles.h"
#include "formats/threemf/ExpatXMLReader.h"
#include "formats/threemf/PackageExtractor.h"
#include "formats/threemf/PackagePaths.h"
#include "formats/threemf/PlainXMLReader.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using trimeo::threemf::XMLAttribute;
using namespace std::string_literals;

namespace {

// Every event as one line, so that two readings compare as text.
class Transcript final : public trimeo::threemf::XMLEventHandler {
public:
    void startElement(std::string_view name, std::span<const XMLAttribute> attributes) override {
        text.append("<").append(name);
        for (const XMLAttribute& a : attributes) text.append(" [").append(a.name).append("]=[").append(a.value).append("]");
        text.append("\n");
    }
    void endElement(std::string_view name) override { text.append("</").append(name).append("\n"); }
    std::string text;
};

struct Readings {
    bool plainAccepted, expatAccepted;
    std::string plain, expat;
};

Readings readBoth(const std::string& document) {
    const std::vector<std::uint8_t> data = trimeo::test::bytes(document);
    Transcript plain, expat;
    const bool plainAccepted = trimeo::threemf::readPlainXML(data, plain);
    const bool expatAccepted = trimeo::threemf::readXMLWithExpat(data, expat);
    return {plainAccepted, expatAccepted, plain.text, expat.text};
}

void expectSameEvents(const std::string& document) {
    const Readings r = readBoth(document);
    EXPECT_TRUE(r.plainAccepted) << document;
    EXPECT_TRUE(r.expatAccepted) << document;
    EXPECT_EQ(r.plain, r.expat) << document;
}

} // namespace

TEST(PlainXMLReader, GivesExpatsEventsForPlainDocuments) {
    expectSameEvents("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<model unit=\"millimeter\" xml:lang=\"en-US\">\n"
                     " <resources><object id=\"1\"><mesh><vertices><vertex x=\"1.5\" y=\"-2\" z=\"3e1\" />"
                     "</vertices></mesh></object></resources>\n <build><item objectid=\"1\"/></build>\n</model>\n");
    expectSameEvents("\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8' standalone='yes' ?><m:model/>");
    expectSameEvents("<?xml version=\"1.0\"?><a/>");
    expectSameEvents("  <!-- before --><a  b = 'x\"y'  c=\"it's\"><b/><!-- - inside -->text</a  >\r\n<!--after-->  ");
    // References expand; tab, line feed, CR and CR LF each become one space, but not as references.
    expectSameEvents("<a v=\"&lt;&gt;&amp;&quot;&apos;\" w=\"1&#9;2&#x0A;3&#13;\" x=\"a\tb\nc\rd\r\ne\">"
                     "&amp; &#x10FFFF; &#65;</a>");
    // UTF-8 in values, text and comments; ']' and '>' where they are allowed.
    expectSameEvents("<a v=\"gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80 ]]> >\">\xE4\xB8\xAD ] ]] >"
                     "<!-- \xC3\xA9 < & ]]> --></a>");
    expectSameEvents("<_a-b.c:d e.f-g=\"\"></_a-b.c:d>");
}

TEST(PlainXMLReader, DeclinesWhatIsNotWellFormed) {
    const std::string documents[] = {
        "", "   ", "text", "<a>", "<a></b>", "<a/><b/>", "<a/>text", "<a", "<a b=\"1\"", "<a b=\"1\" b=\"2\"/>",
        "<a b=\"1\"c=\"2\"/>", "<a b=1/>", "<a b=\"<\"/>", "<a b=\"&x;\"/>", "<a b=\"&#0;\"/>", "<a b=\"&#xD800;\"/>",
        "<a b=\"&#x110000;\"/>", "<a b=\"&#;\"/>", "<a b=\"&amp\"/>", "<a>&unknown;</a>", "<a>]]></a>",
        "<a>\x01</a>", "<a>\0</a>"s, "<a>\xC3</a>", "<a>\xC0\x80</a>", "<a>\xED\xA0\x80</a>",
        "<a>\xEF\xBF\xBE</a>", "<a>\xF4\x90\x80\x80</a>", "<a><!-- -- --></a>", "<a><!-- ---></a>", "<a/ >",
        "< a/>", "<1a/>", "<a></a >x", " <?xml version=\"1.0\"?><a/>", "<?xml version=\"1.0\" standalone=\"maybe\"?><a/>",
        "<?xml version=\"1.0\"encoding=\"UTF-8\"?><a/>", "<a></a><!-- -->text",
    };
    for (const std::string& document : documents) {
        const Readings r = readBoth(document);
        EXPECT_FALSE(r.plainAccepted) << document;
        EXPECT_FALSE(r.expatAccepted) << document;
    }
}

TEST(PlainXMLReader, LeavesWhatLiesBeyondItsSubsetToExpat) {
    const std::string documents[] = {
        "<!DOCTYPE a [<!ENTITY e \"1\">]><a b=\"&e;\"/>",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a b=\"\xE9\"/>",
        "<?xml-stylesheet href=\"s.css\"?><a/>",
        "<a><?pi data?></a>",
        "<a><![CDATA[<x>]]></a>",
        "<\xC3\xA9l\xC3\xA9ment/>",
        "<a \xC3\xA9=\"1\"/>",
        "\xFF\xFE<\0a\0/\0>\0"s,
    };
    for (const std::string& document : documents) {
        const Readings r = readBoth(document);
        EXPECT_FALSE(r.plainAccepted) << document;
        EXPECT_TRUE(r.expatAccepted) << document;
    }
}

TEST(PlainXMLReader, ReadsTheModelPartsOfRealPackagesAsExpatDoes) {
    namespace fs = std::filesystem;
    std::size_t parts = 0;
    for (const auto& entry : fs::recursive_directory_iterator(trimeo::test::sharedFixtures())) {
        if (entry.path().extension() != ".3mf") continue;
        trimeo::TemporaryDirectory work;
        trimeo::threemf::extractPackage(entry.path(), work.path());
        for (const auto& file : fs::recursive_directory_iterator(work.path())) {
            if (file.path().extension() != ".model") continue;
            const std::vector<std::uint8_t> data = trimeo::threemf::readWholeFile(file.path());
            Transcript plain, expat;
            EXPECT_TRUE(trimeo::threemf::readPlainXML(data, plain)) << entry.path() << " " << file.path();
            EXPECT_TRUE(trimeo::threemf::readXMLWithExpat(data, expat));
            EXPECT_EQ(plain.text, expat.text) << entry.path();
            ++parts;
        }
    }
    EXPECT_GE(parts, 7u);
}
