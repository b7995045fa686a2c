#pragma once

#include <string>
#include <vector>

// Random games played by chess.js, with what it says about every position.
namespace RulesOracle {

struct SLegalMove {
    std::string lan; // e2e4, e7e8q
    std::string san; // with chess.js's check and mate marks
};

struct SPosition {
    bool inCheck = false;
    bool checkmate = false;
    bool stalemate = false;
    std::vector<SLegalMove> moves; // sorted by lan
    std::string played;            // lan of the move made next, empty at the end
};

struct SGame {
    std::string fen;
    std::vector<SPosition> positions;
};

// Empty when node and chess.js can be run, else why not.
std::string Missing();

// Plays `games` seeded random games of at most maxPlies from each FEN.
bool Run(unsigned seed, int games, int maxPlies, const std::vector<std::string>& fens, std::vector<SGame>& out);

struct SRepetitionGame {
    std::vector<std::string> lans;
    int firstDraw = 0; // the first ply after which chess.js sees a threefold repetition; 0: none
};

// Plays each line (SAN moves from the start), then `games` seeded random
// games of at most maxPlies in which pieces often step back.
bool Repetitions(unsigned seed, int games, int maxPlies, const std::vector<std::string>& lines,
    std::vector<SRepetitionGame>& out);

} // namespace RulesOracle
