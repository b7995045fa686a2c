// Reads arbitrary bytes as a PGN file, both ways the client does: every game
// listed (tags and move text) and every game loaded onto a board. Every
// game must end up within the caps, and both readers must move on.
#include "chess/ChessBoard.h"
#include "chess/Pgn.h"
#include "foundation/AssocArray.h"
#include "foundation/MemFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Zorlin;

namespace {

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_pgn: %s\n", what);
    std::abort();
}

void Fill(CMemFile& file, const uint8_t* data, size_t size)
{
    file.Open(CString("fuzz.pgn"), CFile::kModeRead | CFile::kModeWrite);
    if (size > 0)
        file.Write(data, unsigned(size));
    file.Seek(0, CFile::kSeekStart);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (8u << 20))
        return 0;
    CMemFile file;
    Fill(file, data, size);
    CAssocArray<CString> tags;
    CString error, moveText;
    size_t games = 0;
    while (ReadPgnGame(file, tags, error, moveText)) {
        if (moveText.GetLength() > kPgnMaxMoveText)
            Fail("move text past its cap");
        if (++games > size + 1)
            Fail("the listing does not move on");
    }

    CMemFile again;
    Fill(again, data, size);
    CChessBoard board;
    size_t loaded = 0;
    for (;;) {
        const uint32_t before = again.GetPosition();
        board.LoadPgnGame(again, tags, error);
        if (board.GetPly() > kPgnMaxPlies)
            Fail("a game longer than the cap was played");
        if (again.GetPosition() <= before)
            break;
        if (++loaded > size + 1)
            Fail("the loader does not move on");
    }
    return 0;
}
