// The plain reader against expat: on what it accepts, the same events; what it declines
// is either not well-formed (expat faults too) or outside its subset.
#include "formats/common/TemporaryFiles.h"
#include "formats/threemf/ExpatXMLReader.h"
#include "formats/threemf/PackageExtractor.h"
#include "formats/threemf/PackagePaths.h"
#include "formats/threemf/PlainXMLReader.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

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

// The plain reader on `data` while another thread tells it `chunk` bytes at a time.
std::pair<bool, std::string> readArriving(const std::vector<std::uint8_t>& data, std::size_t chunk) {
    trimeo::threemf::ArrivingDocument arriving;
    Transcript transcript;
    bool accepted = false;
    {
        std::jthread producer([&] {
            arriving.start(data.data());
            for (std::size_t told = 0; told < data.size();) {
                told = std::min(data.size(), told + chunk);
                arriving.publish(told);
                std::this_thread::yield();
            }
            arriving.finish(data.size());
        });
        accepted = trimeo::threemf::readPlainXML(arriving, transcript);
    }
    return {accepted, transcript.text};
}

// Expat, the plain reader, and the plain reader on the document arriving in pieces (which
// must agree with it, whatever it decides).
Readings readBoth(const std::string& document) {
    const std::vector<std::uint8_t> data = trimeo::test::bytes(document);
    Transcript plain, expat;
    const bool plainAccepted = trimeo::threemf::readPlainXML(data, plain);
    const bool expatAccepted = trimeo::threemf::readXMLWithExpat(data, expat);
    for (std::size_t chunk : {std::size_t(1), std::size_t(3), std::size_t(64)}) {
        const auto [accepted, text] = readArriving(data, chunk);
        EXPECT_EQ(accepted, plainAccepted) << "in pieces of " << chunk << ": " << document;
        if (plainAccepted) {
            EXPECT_EQ(text, plain.text) << "in pieces of " << chunk;
        }
    }
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

TEST(PlainXMLReader, AnAbandonedDocumentGivesNoAnswer) {
    const std::vector<std::uint8_t> data = trimeo::test::bytes("<a><b/></a>");
    for (std::size_t told : {std::size_t(0), std::size_t(5), data.size()}) {
        trimeo::threemf::ArrivingDocument arriving;
        arriving.start(data.data());
        arriving.publish(told);
        if (told == data.size()) arriving.finish(told);
        arriving.abandon(); // even after finishing
        Transcript transcript;
        EXPECT_FALSE(trimeo::threemf::readPlainXML(arriving, transcript)) << told;
        EXPECT_FALSE(arriving.finishedWhole());
    }
    // Closing abandons what did not finish, and only that.
    trimeo::threemf::ArrivingDocument closed, finished;
    closed.close();
    finished.start(data.data());
    finished.finish(data.size());
    finished.close();
    EXPECT_FALSE(closed.finishedWhole());
    EXPECT_TRUE(finished.finishedWhole());
    Transcript transcript;
    EXPECT_FALSE(trimeo::threemf::readPlainXML(closed, transcript));
    EXPECT_TRUE(trimeo::threemf::readPlainXML(finished, transcript));
}
