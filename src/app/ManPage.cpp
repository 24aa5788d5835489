#include "ManPage.h"

#include <sstream>
#include <vector>

namespace trimeo {
namespace {

// Text for roff: backslashes doubled, hyphens as the minus signs options use, and a line
// never starting with a control character.
std::string roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

// "  -h, --help    Show this help." -> term "-h, --help", text "Show this help."; a line
// indented further continues the previous entry's text.
struct Entry {
    std::string term, text;
};

std::string entries(const std::vector<std::string>& lines) {
    std::vector<Entry> list;
    for (const std::string& line : lines) {
        if (trimmed(line).empty()) continue;
        const bool continues = line.rfind("   ", 0) == 0 && !list.empty();
        if (continues) {
            list.back().text += ' ' + trimmed(line);
            continue;
        }
        const std::string body = trimmed(line);
        const auto gap = body.find("  ");
        list.push_back({gap == std::string::npos ? body : body.substr(0, gap),
                        gap == std::string::npos ? std::string() : trimmed(body.substr(gap))});
    }
    std::string out;
    for (const Entry& e : list) {
        // Option names bold, their value placeholders ("<OUT.png>") italic.
        std::string term;
        for (std::size_t i = 0; i < e.term.size();) {
            const auto open = e.term.find('<', i);
            const auto close = open == std::string::npos ? std::string::npos : e.term.find('>', open);
            if (close == std::string::npos) {
                term += "\\fB" + roff(e.term.substr(i)) + "\\fR";
                break;
            }
            if (open > i) term += "\\fB" + roff(e.term.substr(i, open - i)) + "\\fR";
            term += "\\fI" + roff(e.term.substr(open + 1, close - open - 1)) + "\\fR";
            i = close + 1;
        }
        out += ".TP\n" + term + "\n" + roff(e.text) + "\n";
    }
    return out;
}

} // namespace

std::string manPageFromHelp(const std::string& help, const std::string& version, const std::string& date) {
    std::vector<std::string> lines;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);) lines.push_back(line);

    std::string usage, description;
    std::vector<std::string> options, arguments;
    std::vector<std::string>* block = nullptr;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("Usage: ", 0) == 0) usage = line.substr(7);
        else if (line == "Options:") block = &options;
        else if (line == "Arguments:") block = &arguments;
        else if (block) block->push_back(line);
        else if (!trimmed(line).empty()) description += (description.empty() ? "" : " ") + trimmed(line);
    }
    const auto space = usage.find(' ');
    const std::string program = usage.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : usage.substr(space + 1);

    std::string page = ".TH TRIMEO 1 \"" + date + "\" \"Trimeo " + version + "\" \"User Commands\"\n";
    page += ".SH NAME\n" + program + " \\- view 3D model files\n";
    page += ".SH SYNOPSIS\n.B " + program + "\n" + roff(rest) + "\n";
    page += ".SH DESCRIPTION\n" + roff(description) + "\n";
    if (!options.empty()) page += ".SH OPTIONS\n" + entries(options);
    if (!arguments.empty()) page += ".SH ARGUMENTS\n" + entries(arguments);
    return page;
}

} // namespace trimeo
