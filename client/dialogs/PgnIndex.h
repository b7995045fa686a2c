#pragma once

// The games of one PGN file as the PGN viewer lists them: where each game's
// text lies in the file and the two names its list text "N. White vs Black"
// shows. Only the places and the names are kept, each distinct name once, so
// a game costs about 16 bytes; a game's text is read again when it is
// opened. Files may be larger than 4 GiB.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/String.h"

namespace Zorlin {
class CFile;
}

class CPgnIndex {
public:
    // The list's rows are numbered in an int.
    static constexpr int kMaxGames = INT32_MAX - 1;
    // Longest game text ReadGame hands out.
    static constexpr uint64_t kMaxGameText = 256u << 20;
    // Called after every game with the number read so far; false stops the
    // reading there, the games read so far kept.
    using Progress = std::function<bool(int gamesRead)>;
    // Asked before each block of the file is read, so a long stretch (text
    // that holds no game) can keep a window answering; false stops the
    // reading as the progress does, the game it was in dropped.
    using Pace = std::function<bool()>;

    CPgnIndex();
    ~CPgnIndex();
    CPgnIndex(const CPgnIndex&) = delete;
    CPgnIndex& operator=(const CPgnIndex&) = delete;

    // Reads the file from its current position to its end, or until the
    // progress stops it; returns the number of games. A game that a failed
    // read cut short is not listed.
    int Build(Zorlin::CFile& file, const Progress& progress = Progress(), const Pace& pace = Pace());
    // False when Build stopped before the file's end for want of data: a
    // read failed, or the list could hold no more (not when the progress
    // stopped it). The games listed are whole; later ones are
    // missing.
    bool IsComplete() const { return m_complete; }

    int GetCount() const { return m_count; }
    // "N. White vs Black" of the n-th game; empty out of range.
    Zorlin::CString GetLabel(int n) const;
    // The n-th game's text, read again from the file Build read. False for
    // an index out of range, a game longer than kMaxGameText or a file that
    // changed.
    bool ReadGame(Zorlin::CFile& file, int n, Zorlin::CString& text) const;
    // Bytes the index holds for its games and names.
    size_t GetMemoryUse() const;

    // "N. White vs Black", "unknown" in place of a missing name.
    static Zorlin::CString MakeLabel(int number, const Zorlin::CString& white, const Zorlin::CString& black);

private:
    struct SGame {
        uint64_t offset; // the game's text runs to the next game's offset
        uint32_t white;  // names in the pool
        uint32_t black;
    };
    class CNamePool;

    void Clear();
    // False when no room is left.
    bool Add(uint64_t offset, const Zorlin::CString& white, const Zorlin::CString& black);
    const SGame& At(int n) const;
    uint64_t EndOf(int n) const;

    static constexpr int kChunkBits = 14;
    static constexpr int kChunkGames = 1 << kChunkBits;
    // Fixed-size chunks: growing never copies the games already listed,
    // and holds at most one chunk unused.
    std::vector<std::unique_ptr<SGame[]>> m_chunks;
    std::unique_ptr<CNamePool> m_names;
    int m_count = 0;
    uint64_t m_end = 0; // where the last game's text ends
    bool m_complete = true;
};
