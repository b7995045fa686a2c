// Opens arbitrary bytes as a received e-mail turn, as the client does: the
// archive, its manifest, the "contents" folder, the checked turn and the
// sender's profile in it. A turn that is taken holds only legal moves from
// the start, names players by plain ids, keeps its move and message within
// bounds and names as its move the newest one of its game; written again by
// our own writer it reads back the same. Judged against a kept game, it is
// taken only when it adds at most the sender's one move.
//
// Input: the turn file, or kMembers and its members (see FuzzSupport.h).

#include "FuzzSupport.h"

#include "client/core/ProfileArchive.h"
#include "client/remote/EmailRecord.h"
#include "client/remote/EmailTurn.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"

#include <cstddef>
#include <cstdint>

using namespace Zorlin;
using FuzzSupport::Check;

namespace {

CMemFile* HostOf(const void* data, size_t size)
{
    CMemFile* host = new CMemFile();
    host->Open(CString("turn"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (size > 0)
        host->Write(data, unsigned(size));
    host->Seek(0, CFile::kSeekStart);
    return host;
}

// The moves of a taken turn, played from the start; the board after them.
void CheckMoves(EmailTurn::STurn& turn, CChessBoard& board)
{
    Check(turn.plies >= 0 && turn.plies <= EmailTurn::kMaxPlies);
    board.SetupStartPosition();
    CMove last;
    for (int n = 0; n < turn.plies; ++n) {
        CMove move;
        Check(board.ParseSan(EmailTurn::SavedMove(turn.game, n), move, true));
        Check(FuzzSupport::IsLegalHere(board, move));
        Check(board.MakeMove(move, 0.0));
        last = move;
    }
    Check(board.GetPly() == turn.plies);
    if (!EmailTurn::IsPlayedMove(turn.move))
        return;
    // The move the client plays is the game's newest, from the position before it.
    Check(turn.plies > 0);
    CChessBoard before;
    before.SetupStartPosition();
    CMove ignored;
    for (int n = 0; n + 1 < turn.plies; ++n) {
        Check(before.ParseSan(EmailTurn::SavedMove(turn.game, n), ignored, true));
        before.MakeMove(ignored, 0.0);
    }
    CString text = turn.move;
    text.Trim();
    CMove named;
    Check(before.ParseSan(text, named, true));
    Check(named.SameSquares(last) && named.m_promotion == last.m_promotion);
}

// Our writer's copy of a taken turn is taken again, with the same moves.
void CheckRoundTrip(const EmailTurn::STurn& turn)
{
    CMemFile* host = new CMemFile();
    host->Open(CString("again"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    Check(EmailTurn::Write(*host, turn, nullptr));
    host->Seek(0, CFile::kSeekStart);
    CArchiveDrive archive;
    Check(archive.Open(host, nullptr, true));
    Check(archive.ChangeDirectory(CURL("contents")));
    EmailTurn::STurn again;
    CString why;
    Check(EmailTurn::Read(archive, again, why));
    Check(again.plies == turn.plies);
    Check(again.move == turn.move && again.resign == turn.resign && again.offerDraw == turn.offerDraw);
}

// The user's copy: White, 1.e4 e5 2.Nf3 sent, the opponent not known yet.
CConfig KeptGame()
{
    CConfig kept;
    kept.GetValue(".White.ID") = "me1";
    kept.GetValue(".Black.ID") = "0";
    const char* const moves[] = {"e4", "e5", "Nf3"};
    kept.PushAbsolutePrefix("Moves");
    for (int n = 0; n < 3; ++n) {
        kept.PushPrefix(n);
        kept.GetValue("Move") = moves[n];
        kept.PopPrefix();
    }
    kept.PopPrefix();
    EmailRecord::MarkKnown(kept, WHITE, 0, 3);
    return kept;
}

void CheckJudge(EmailTurn::STurn& turn)
{
    static const CConfig kept = KeptGame();
    // Without a copy only a game from its start is taken.
    if (EmailRecord::Compare(nullptr, turn, BLACK, turn.id, "") == EmailRecord::EFit::kNoRecord)
        Check(turn.plies <= 1);
    if (EmailRecord::Compare(&kept, turn, WHITE, turn.id, "") != EmailRecord::EFit::kContinues)
        return;
    Check(turn.plies == 3 || turn.plies == 4);
    CChessBoard ours, theirs;
    ours.SetupStartPosition();
    theirs.SetupStartPosition();
    CConfig game = kept;
    for (int n = 0; n < 3; ++n) {
        CMove a, b;
        Check(ours.ParseSan(EmailTurn::SavedMove(game, n), a, true));
        Check(theirs.ParseSan(EmailTurn::SavedMove(turn.game, n), b, true));
        Check(a.SameSquares(b) && a.m_promotion == b.m_promotion);
        ours.MakeMove(a, 0.0);
        theirs.MakeMove(b, 0.0);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > EmailTurn::kMaxTurnFile)
        return 0;
    CFile* host = nullptr;
    if (size > 0 && data[0] == FuzzSupport::kMembers) {
        // The manifest, then in "contents" the move, the message and the profile.
        host = FuzzSupport::PackMembers("email", FuzzSupport::SplitMembers(data + 1, size - 1),
                                        {{"", "contents.cfg"}, {"contents", "move.cfg"},
                                         {"contents", "message.txt"}, {"contents", "Profile.rwf"}});
    } else {
        host = HostOf(data, size);
    }
    CArchiveDrive archive;
    if (!archive.Open(host, nullptr, true))
        return 0;
    {
        // The client reads the manifest first; a turn says "email".
        CConfig manifest;
        CAutoPointer<CFile> file = archive.OpenFile(CURL("contents.cfg"), CFile::kModeRead);
        if (file && file->IsOpen() && !file->IsNull() && file->GetSize() <= 65536)
            manifest.Read(*file);
    }
    if (!archive.ChangeDirectory(CURL("contents")))
        return 0;

    EmailTurn::STurn turn;
    CString why;
    if (!EmailTurn::Read(archive, turn, why)) {
        Check(!why.IsEmpty());
        return 0;
    }
    Check(EmailTurn::IsPlayerId(turn.game.GetValueOr(".White.ID", "")));
    Check(EmailTurn::IsPlayerId(turn.game.GetValueOr(".Black.ID", "")));
    CString id = turn.id;
    id.Trim();
    Check(IsProfileId(id));
    Check(uint32_t(turn.message.GetLength()) <= EmailTurn::kMaxMessage);
    CChessBoard board;
    CheckMoves(turn, board);
    CheckRoundTrip(turn);
    CheckJudge(turn);

    // The sender's profile travels beside a taken turn.
    if (archive.Exists(CURL("Profile.rwf"))) {
        CAutoPointer<CFile> profile = archive.OpenFile(CURL("Profile.rwf"), CFile::kModeRead);
        if (profile && profile->IsOpen() && !profile->IsNull()) {
            CConfig read;
            CString profileId;
            if (ReadProfileArchive(*profile, read, profileId))
                Check(IsProfileId(profileId));
        }
    }
    return 0;
}
