#include "pgn_oracle.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <unistd.h>

namespace {

std::string OracleModule() { return std::string(ROOKWELL_ORACLE) + "/chess.js"; }
std::string OracleScript() { return std::string(ROOKWELL_SOURCE) + "/chess/tests/support/pgn_oracle.js"; }

// Single quotes for the shell; the paths come from the build, not from input.
std::string Quote(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

} // namespace

std::string OracleMissing()
{
    if (std::system("node --version >/dev/null 2>&1") != 0)
        return "node is not installed";
    if (ReadWholeFile(OracleModule() + "/package.json").empty())
        return "chess.js is not installed at " + OracleModule();
    return std::string();
}

bool RunOracle(const char* mode, const std::string& inputPath, std::vector<SOracleGame>& games, int step)
{
    games.clear();
    const std::string command = "node " + Quote(OracleScript()) + " " + Quote(OracleModule()) + " " + mode + " " +
                                Quote(inputPath) + " " + std::to_string(step) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    std::string output;
    char block[65536];
    size_t n;
    while ((n = fread(block, 1, sizeof block, pipe)) > 0)
        output.append(block, n);
    if (pclose(pipe) != 0)
        return false;

    std::istringstream lines(output);
    std::string line;
    bool open = false;
    while (std::getline(lines, line)) {
        if (line == "GAME") {
            games.emplace_back();
            games.back().finalFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
            open = true;
        } else if (open && line.compare(0, 2, "M ") == 0) {
            const size_t space = line.find(' ', 2);
            if (space == std::string::npos)
                return false;
            SOracleGame& game = games.back();
            game.sans.push_back(line.substr(2, space - 2));
            game.fens.push_back(line.substr(space + 1));
            game.plies = game.fens.size();
            game.finalFen = game.fens.back();
        } else if (open && line.compare(0, 2, "T ") == 0) {
            const size_t tab = line.find('\t', 2);
            if (tab == std::string::npos)
                return false;
            games.back().tags.emplace_back(line.substr(2, tab - 2), line.substr(tab + 1));
        } else if (open && line.compare(0, 2, "P ") == 0) {
            games.back().plies = size_t(std::stoul(line.substr(2)));
        } else if (open && line.compare(0, 2, "F ") == 0) {
            games.back().finalFen = line.substr(2);
        } else if (open && line == "END ok") {
            open = false;
        } else if (open && line.compare(0, 10, "END error ") == 0) {
            games.back().ok = false;
            games.back().badMove = line.substr(10);
            open = false;
        } else {
            return false;
        }
    }
    return !open;
}

void FillMemFile(Zorlin::CMemFile& file, const std::string& bytes)
{
    file.Open(Zorlin::CString("test.pgn"), Zorlin::CFile::kModeRead | Zorlin::CFile::kModeWrite |
                                                Zorlin::CFile::kModeCreate);
    if (!bytes.empty())
        file.Write(bytes.data(), unsigned(bytes.size()));
    file.Seek(0, Zorlin::CFile::kSeekStart);
}

std::string PgnTestFile(const char* name) { return std::string(ROOKWELL_TESTDATA) + "/pgn/" + name; }

std::string WriteTempFile(const std::string& bytes, const char* suffix)
{
    std::string path = "/tmp/rookwell-pgn-XXXXXX";
    path += suffix;
    std::vector<char> name(path.begin(), path.end());
    name.push_back(0);
    const int fd = mkstemps(name.data(), int(std::string(suffix).size()));
    if (fd < 0)
        return std::string();
    const bool written = write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    close(fd);
    return written ? std::string(name.data()) : std::string();
}
