#pragma once

#include <string>
#include <utility>
#include <vector>

#include "foundation/MemFile.h"
#include "testsupport/TempFiles.h"

// One game as chess.js saw it.
struct SOracleGame {
    // Filled for games described ply by ply.
    std::vector<std::string> sans; // SAN of each ply, with chess.js's check marks
    std::vector<std::string> fens; // FEN after each ply (en passant after every double step)
    // Filled for every game.
    std::vector<std::pair<std::string, std::string>> tags; // in chess.js's order
    size_t plies = 0;
    std::string finalFen;
    bool ok = true;
    std::string badMove; // the move chess.js refused, when not ok
};

// Empty when node and chess.js can be run, else why not.
std::string OracleMissing();

// Runs tests/support/pgn_oracle.js in the given mode ("games" on a PGN
// file, where every step-th game is described ply by ply; "moves" on a
// file of coordinate-move lines, all described). False when it could not
// run or its output made no sense.
bool RunOracle(const char* mode, const std::string& inputPath, std::vector<SOracleGame>& games, int step = 1);

// A memory file holding exactly these bytes, positioned at 0.
void FillMemFile(Zorlin::CMemFile& file, const std::string& bytes);

// The whole file, or empty when it cannot be read.
using RookwellTest::ReadWholeFile;

// Path of a file in the shared PGN test data.
std::string PgnTestFile(const char* name);

// Writes bytes to a fresh temporary file and returns its path.
std::string WriteTempFile(const std::string& bytes, const char* suffix);
