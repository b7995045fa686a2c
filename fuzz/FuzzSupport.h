#pragma once

// What the reader targets share: a failed invariant stops the run, a small
// generator the input seeds decides the local user's doings, and the rules
// that say whether a move handed to the game is one the board allows.

#include <cstdint>
#include <cstdlib>

#include <string>
#include <utility>
#include <vector>

#include <cstring>

#include "chess/ChessBoard.h"
#include "client/core/ByteDevice.h"
#include "chess/Move.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/Array.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"

namespace FuzzSupport {

inline void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// The same choices for the same seed, so a finding replays.
class CChoices {
public:
    explicit CChoices(uint32_t seed) : m_state(seed * 2654435761u + 1) {}
    uint32_t Next(uint32_t below)
    {
        m_state = m_state * 1103515245u + 12345u;
        return below ? (m_state >> 8) % below : 0;
    }

private:
    uint32_t m_state;
};

// The wire, handed out in pieces the seed chooses; -1 once it is all read.
class CWireDevice : public CByteDevice {
public:
    CWireDevice(const uint8_t* data, size_t size, CChoices& choices) : m_data(data), m_size(size), m_choices(choices) {}
    int Read(char* buffer, int size) override
    {
        if (m_pos >= m_size)
            return -1;
        size_t n = 1 + m_choices.Next(uint32_t(size));
        if (n > m_size - m_pos)
            n = m_size - m_pos;
        std::memcpy(buffer, m_data + m_pos, n);
        m_pos += n;
        return int(n);
    }
    int ReadError(char*, int) override { return -1; }
    bool Write(const char*, int) override { return true; }
    void CloseInput() override {}
    void WaitReadable(int) override {}
    bool HasEnded() const override { return m_pos >= m_size; }
    void Release() override {}

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    CChoices& m_choices;
};

// The move is one of the legal moves of the side to move. The list names a
// promotion once, without the piece: a promotion must name one a pawn may
// become, and a plain move none.
inline bool IsLegalHere(const CChessBoard& board, const CMove& move)
{
    Zorlin::CArray<CMove> legal;
    board.GetLegalMoves(legal);
    for (int i = 0; i < legal.GetCount(); ++i) {
        const CMove& candidate = *legal.GetAt(i);
        if (!candidate.SameSquares(move))
            continue;
        const bool promotes = board.GetPieceAt(move.m_from).m_type == PIECE_PAWN &&
                              (move.m_to.y == 0 || move.m_to.y == 7);
        if (!promotes)
            return move.m_promotion == PIECE_NONE;
        return move.m_promotion >= PIECE_ROOK && move.m_promotion <= PIECE_QUEEN;
    }
    return false;
}

// A legal move of the side to move picked by choice; false when there is none.
inline bool PickMove(const CChessBoard& board, CChoices& choices, CMove& out)
{
    Zorlin::CArray<CMove> legal;
    if (board.GetLegalMoves(legal) <= 0)
        return false;
    out = *legal.GetAt(int(choices.Next(uint32_t(legal.GetCount()))));
    return true;
}

// Archives are compressed, so mutations seldom reach what they hold. An
// input that starts with kMembers is instead the members' bytes, split at
// kSplit, which our own writer packs under names (folder, then file; an
// empty name skips the part) before the reader opens them.
const char kMembers = 'M';
const char* const kSplit = "\n=====\n";

inline std::vector<std::string> SplitMembers(const uint8_t* data, size_t size)
{
    std::vector<std::string> parts;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string split(kSplit);
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(split, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + split.size();
    }
}

// An archive called archiveName in memory, at its start, with each part
// under its name.
inline Zorlin::CMemFile* PackMembers(const char* archiveName, const std::vector<std::string>& parts,
                                     const std::vector<std::pair<const char*, const char*>>& names)
{
    using namespace Zorlin;
    CMemFile* host = new CMemFile();
    host->Open(CString("packed"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    CArchiveDrive archive;
    Check(archive.Create(host, archiveName, false));
    const char* folder = "";
    for (size_t i = 0; i < parts.size() && i < names.size(); ++i) {
        if (std::string(names[i].first) != folder) {
            folder = names[i].first;
            Check(archive.ChangeDirectory(CURL("/")));
            if (*folder) {
                Check(archive.MakeDirectories(folder));
                Check(archive.ChangeDirectory(CURL(folder)));
            }
        }
        CMemFile member;
        member.Open(CString(names[i].second), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        if (!parts[i].empty())
            member.Write(parts[i].data(), unsigned(parts[i].size()));
        member.Seek(0, CFile::kSeekStart);
        Check(archive.AddFile(member, names[i].second, true));
    }
    Check(archive.Finish(false));
    host->Seek(0, CFile::kSeekStart);
    return host;
}

} // namespace FuzzSupport
