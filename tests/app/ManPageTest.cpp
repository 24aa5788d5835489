// The manual page made from --help: every section, every option with its value and its
// whole text, and nothing roff would misread.
#include "ManPage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Laid out as QCommandLineParser lays out help: wrapped descriptions continue indented.
const char* const kHelp = "Usage: trimeo [options] [FILE]\n"
                          "Trimeo, a viewer for 3D model files.\n"
                          "\n"
                          "Options:\n"
                          "  -h, --help              Show this help and exit.\n"
                          "  --render <OUT.png>      Load FILE, draw its first frame and write it to\n"
                          "                          OUT.png (no display needed).\n"
                          "  --size <WxH>            With --render: the image size.\n"
                          "\n"
                          "Arguments:\n"
                          "  FILE                    The model file; .stl, a\\b and 'quoted' names too.\n";

std::size_t at(const std::string& page, const std::string& text) {
    const std::size_t where = page.find(text);
    EXPECT_NE(where, std::string::npos) << "missing: " << text << "\n" << page;
    return where;
}

TEST(ManPage, HoldsEverySectionAndOptionOfTheHelpInOrder) {
    const std::string page = trimeo::manPageFromHelp(kHelp, "1.2.3", "2030-04-05");
    EXPECT_EQ(page.rfind(".TH TRIMEO 1 \"2030-04-05\" \"Trimeo 1.2.3\" \"User Commands\"\n", 0), 0u) << page;
    const std::size_t name = at(page, ".SH NAME\ntrimeo \\- view 3D model files\n");
    const std::size_t synopsis = at(page, ".SH SYNOPSIS\n.B trimeo\n[options] [FILE]\n");
    const std::size_t description = at(page, ".SH DESCRIPTION\nTrimeo, a viewer for 3D model files.\n");
    const std::size_t help = at(page, ".TP\n\\fB\\-h, \\-\\-help\\fR\nShow this help and exit.\n");
    const std::size_t render =
        at(page, ".TP\n\\fB\\-\\-render \\fR\\fIOUT.png\\fR\n"
                 "Load FILE, draw its first frame and write it to OUT.png (no display needed).\n");
    const std::size_t size = at(page, "\\fIWxH\\fR\nWith \\-\\-render: the image size.\n");
    const std::size_t file = at(page, ".SH ARGUMENTS\n.TP\n\\fBFILE\\fR\n");
    EXPECT_LT(name, synopsis);
    EXPECT_LT(synopsis, description);
    EXPECT_LT(description, help);
    EXPECT_LT(help, render);
    EXPECT_LT(render, size);
    EXPECT_LT(size, file);
    // A backslash is printed, not taken as an escape; no text line starts with a dot.
    at(page, "a\\eb");
    for (std::size_t line = 0; line < page.size(); line = page.find('\n', line) + 1) {
        if (page[line] != '.') continue;
        const std::string macro = page.substr(line, page.find_first_of(" \n", line) - line);
        EXPECT_TRUE(macro == ".TH" || macro == ".SH" || macro == ".TP" || macro == ".B") << macro;
        if (page.find('\n', line) == std::string::npos) break;
    }
}

} // namespace
