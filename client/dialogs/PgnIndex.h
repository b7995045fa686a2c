#pragma once

// The games of one PGN file as the PGN viewer lists them: where each game's
// text lies in the file and its list text "N. White vs Black". Only the
// places are kept, not the texts, so a file of a hundred thousand games
// costs a few megabytes; a game is read again when it is opened.

#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

class CPgnIndex {
public:
    // Called after every game with the number read so far; false stops the
    // reading there, the games read so far kept.
    using Progress = std::function<bool(int gamesRead)>;

    // Reads the file from its current position to its end, or until the
    // progress stops it; returns the number of games.
    int Build(Zorlin::CFile& file, const Progress& progress = Progress());

    int GetCount() const { return int(m_games.size()); }
    const Zorlin::CString& GetLabel(int n) const { return m_games[size_t(n)].label; }
    // The n-th game's text, read again from the file Build read. False for
    // an index out of range or a file that changed.
    bool ReadGame(Zorlin::CFile& file, int n, Zorlin::CString& text) const;

    // "N. White vs Black", "unknown" in place of a missing name.
    static Zorlin::CString MakeLabel(int number, const Zorlin::CString& white, const Zorlin::CString& black);

private:
    struct SGame {
        uint32_t offset;
        uint32_t length;
        Zorlin::CString label;
    };
    std::vector<SGame> m_games;
};
