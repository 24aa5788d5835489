#include "RunCommand.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace trimeo::test {

CommandOutcome runCommand(const std::string& commandLine, const std::filesystem::path& scratch) {
    const std::filesystem::path log = scratch / "stderr.txt";
    const std::string command = commandLine + " 2>" + shellQuoted(log.string());
    const int raw = std::system(command.c_str());
    CommandOutcome out;
    out.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    out.errors = text.str();
    in.close();
    std::filesystem::remove(log);
    return out;
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace trimeo::test
