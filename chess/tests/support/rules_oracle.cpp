#include "rules_oracle.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace RulesOracle {

namespace {

const char kChessJs[] = ROOKWELL_ORACLE "/chess.js";

bool ParseLine(const std::string& line, std::vector<SGame>& out)
{
    if (line.size() < 1)
        return true;
    std::string rest = line.size() > 2 ? line.substr(2) : std::string();
    switch (line[0]) {
    case 'G':
        out.emplace_back();
        out.back().fen = rest;
        return true;
    case 'S': {
        if (out.empty())
            return false;
        SPosition p;
        int a = 0, b = 0, c = 0;
        if (std::sscanf(rest.c_str(), "%d %d %d", &a, &b, &c) != 3)
            return false;
        p.inCheck = a != 0;
        p.checkmate = b != 0;
        p.stalemate = c != 0;
        out.back().positions.push_back(p);
        return true;
    }
    case 'L': {
        if (out.empty() || out.back().positions.empty())
            return false;
        std::istringstream words(rest);
        std::string word;
        while (words >> word) {
            size_t eq = word.find('=');
            if (eq == std::string::npos)
                return false;
            out.back().positions.back().moves.push_back({ word.substr(0, eq), word.substr(eq + 1) });
        }
        return true;
    }
    case 'C':
        if (out.empty() || out.back().positions.empty())
            return false;
        out.back().positions.back().played = rest;
        return true;
    case 'E':
        return !out.empty();
    default:
        return false;
    }
}

} // namespace

std::string Missing()
{
    if (std::system("node --version >/dev/null 2>&1") != 0)
        return "node is not installed";
    if (access((std::string(kChessJs) + "/package.json").c_str(), R_OK) != 0)
        return std::string("chess.js is not installed at ") + kChessJs;
    return std::string();
}

namespace {

// Runs the oracle script in a mode on the input lines and hands each line it
// prints to the parser; false when node fails or a line is not understood.
template <class Parse>
bool RunScript(const char* mode, unsigned seed, int games, int maxPlies, const std::vector<std::string>& input,
    Parse parse)
{
    char inputPath[] = "/tmp/rules-oracle-XXXXXX";
    int fd = mkstemp(inputPath);
    if (fd < 0)
        return false;
    close(fd);
    {
        std::ofstream file(inputPath);
        for (const std::string& line : input)
            file << line << "\n";
    }
    std::ostringstream command;
    command << "node '" << ROOKWELL_SOURCE << "/chess/tests/support/rules_oracle.js' '" << kChessJs << "' " << seed
            << " " << games << " " << maxPlies << " " << mode << " < '" << inputPath << "'";
    FILE* pipe = popen(command.str().c_str(), "r");
    bool ok = pipe != nullptr;
    if (pipe) {
        std::string line;
        char buffer[4096];
        while (ok && std::fgets(buffer, sizeof(buffer), pipe)) {
            line += buffer;
            if (line.empty() || line.back() != '\n')
                continue;
            line.pop_back();
            ok = parse(line);
            line.clear();
        }
        ok = pclose(pipe) == 0 && ok;
    }
    unlink(inputPath);
    return ok;
}

bool ParseRepetitionLine(const std::string& line, std::vector<SRepetitionGame>& out)
{
    if (line.size() < 2)
        return false;
    std::istringstream words(line.substr(2));
    if (line[0] == 'G') {
        out.emplace_back();
        std::string lan;
        while (words >> lan)
            out.back().lans.push_back(lan);
        return true;
    }
    return line[0] == 'R' && !out.empty() && static_cast<bool>(words >> out.back().firstDraw);
}

} // namespace

bool Run(unsigned seed, int games, int maxPlies, const std::vector<std::string>& fens, std::vector<SGame>& out)
{
    bool ok = RunScript("rules", seed, games, maxPlies, fens,
        [&out](const std::string& line) { return ParseLine(line, out); });
    return ok && !out.empty();
}

bool Repetitions(unsigned seed, int games, int maxPlies, const std::vector<std::string>& lines,
    std::vector<SRepetitionGame>& out)
{
    bool ok = RunScript("repetition", seed, games, maxPlies, lines,
        [&out](const std::string& line) { return ParseRepetitionLine(line, out); });
    return ok && !out.empty();
}

} // namespace RulesOracle
