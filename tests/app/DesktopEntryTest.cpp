// The installed desktop entry: well formed, and its MimeType list is exactly the
// readable content types, so file managers offer every type the open dialog offers.
#include "DesktopEntry.h"
#include "loading/ThreeDDocument.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

namespace {
std::map<std::string, std::string> keys(const std::string& entry, const char* group = "[Desktop Entry]") {
    std::map<std::string, std::string> result;
    std::istringstream lines(entry);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, group);
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        const auto equals = line.find('=');
        EXPECT_NE(equals, std::string::npos) << line;
        EXPECT_TRUE(result.emplace(line.substr(0, equals), line.substr(equals + 1)).second) << "repeated " << line;
    }
    return result;
}
} // namespace

TEST(DesktopEntry, ListsEveryReadableTypeAndOpensFiles) {
    const auto entry = keys(trimeo::desktopEntry());
    std::string expected;
    for (const auto& type : trimeo::ThreeDDocument::readableContentTypes()) {
        ASSERT_FALSE(type.mimeType.empty()) << type.identifier;
        expected += type.mimeType + ';';
    }
    EXPECT_EQ(entry.at("MimeType"), expected);
    EXPECT_EQ(entry.at("Type"), "Application");
    EXPECT_EQ(entry.at("Name"), "Trimeo");
    EXPECT_EQ(entry.at("Exec"), "trimeo %F");
    EXPECT_EQ(entry.at("Icon"), "trimeo");
    EXPECT_EQ(entry.at("Categories").back(), ';');
}

// Every type the entry claims is given its extensions, so the system can recognise it.
TEST(DesktopEntry, MimePackageNamesEachTypesExtensions) {
    const std::string xml = trimeo::mimeInfo();
    for (const auto& type : trimeo::ThreeDDocument::readableContentTypes()) {
        const auto start = xml.find("<mime-type type=\"" + type.mimeType + "\">");
        ASSERT_NE(start, std::string::npos) << type.mimeType;
        const std::string block = xml.substr(start, xml.find("</mime-type>", start) - start);
        EXPECT_NE(block.find("<comment>" + type.description + "</comment>"), std::string::npos) << block;
        for (const auto& extension : type.extensions)
            EXPECT_NE(block.find("<glob pattern=\"*." + extension + "\"/>"), std::string::npos) << block;
    }
}

// File managers hand the thumbnailer a URI, an output path and a size; it claims what it
// can draw, which is every offered type but VDB.
TEST(DesktopEntry, ThumbnailerClaimsTheDrawableTypes) {
    const auto entry = keys(trimeo::thumbnailerEntry(), "[Thumbnailer Entry]");
    EXPECT_EQ(entry.at("TryExec"), "trimeo");
    EXPECT_EQ(entry.at("Exec"), "trimeo --thumbnail %i %o %s");
    std::string expected;
    for (const auto& type : trimeo::ThreeDDocument::readableContentTypes())
        if (type.identifier != "org.openvdb.vdb") expected += type.mimeType + ';';
    EXPECT_EQ(entry.at("MimeType"), expected);
    EXPECT_EQ(entry.size(), 3u);
}

// Software centres read what the package opens from the metainfo: the same types as the
// desktop entry, and the release being installed.
TEST(DesktopEntry, MetainfoProvidesTheReadableTypesAndTheRelease) {
    const std::string xml = trimeo::appStreamMetainfo("2.3.4", "2031-01-02");
    EXPECT_NE(xml.find("<id>example.trimeo.Trimeo</id>"), std::string::npos);
    EXPECT_NE(xml.find("<launchable type=\"desktop-id\">trimeo.desktop</launchable>"), std::string::npos);
    EXPECT_NE(xml.find("<release version=\"2.3.4\" date=\"2031-01-02\">"), std::string::npos);
    std::string listed;
    for (std::size_t at = 0; (at = xml.find("<mediatype>", at)) != std::string::npos; at += 11)
        listed += xml.substr(at + 11, xml.find("</mediatype>", at) - at - 11) + ';';
    EXPECT_EQ(listed, keys(trimeo::desktopEntry()).at("MimeType"));
}

TEST(DesktopEntry, BuiltFilesAreTheGeneratedTexts) {
    const auto read = [](const char* path) {
        std::ifstream in(path, std::ios::binary);
        EXPECT_TRUE(in) << path;
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    EXPECT_EQ(read(TRIMEO_DESKTOP_FILE), trimeo::desktopEntry());
    EXPECT_EQ(read(TRIMEO_MIME_FILE), trimeo::mimeInfo());
    EXPECT_EQ(read(TRIMEO_THUMBNAILER_FILE), trimeo::thumbnailerEntry());
    EXPECT_EQ(read(TRIMEO_METAINFO_FILE), trimeo::appStreamMetainfo(TRIMEO_VERSION, TRIMEO_RELEASE_DATE));
}
