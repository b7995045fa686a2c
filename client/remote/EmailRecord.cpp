#include "client/remote/EmailRecord.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "chess/ChessBoard.h"
#include "chess/Move.h"
#include "client/core/GameFileRules.h"
#include "client/core/ProfileArchive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace EmailRecord {

namespace {

const char* const kFolder = "/active games/";

CString Trimmed(CString text)
{
    text.Trim();
    return text;
}

// The moves of a saved game as made from the start, up to the first that
// is not legal there.
std::vector<CMove> ReplayMoves(const CConfig& saved)
{
    CConfig game = saved;
    std::vector<CMove> moves;
    CChessBoard board;
    board.SetupStartPosition();
    game.PushAbsolutePrefix("moves");
    for (int n = 0; n <= EmailTurn::kMaxPlies && game.FrameExists(n); ++n) {
        game.PushPrefix(n);
        const CString text = game.GetValueOr("Move", "");
        game.PopPrefix();
        CMove move;
        if (!board.ParseSan(text, move, true) || !board.MakeMove(move, 0.0))
            break;
        moves.push_back(move);
    }
    game.PopPrefix();
    return moves;
}

bool SameMove(const CMove& a, const CMove& b)
{
    return a.SameSquares(b) && a.m_promotion == b.m_promotion;
}

} // namespace

CString Path(const CString& opponentId)
{
    // "0" stands for an opponent not known yet: no record of its own.
    const CString id = Trimmed(opponentId);
    if (!IsProfileId(id) || id == "0")
        return CString();
    return CString(kFolder) + "email " + id + ".rwg";
}

bool Keep(CDrive& user, const CString& opponentId, const CConfig& saved)
{
    const CString path = Path(opponentId);
    if (path.IsEmpty())
        return false;
    user.MakeDirectory(CURL(kFolder));
    return saved.Write(user, CURL(path), true);
}

void Forget(CDrive& user, const CString& opponentId)
{
    const CString path = Path(opponentId);
    if (path.IsEmpty() || !user.Exists(CURL(path)))
        return;
    CURL full(path);
    user.GetFullPath(full, nullptr);
    std::remove(CString(full).GetText());
}

bool Find(CDrive& user, const CString& opponentId, CConfig& out)
{
    const CString path = Path(opponentId);
    if (path.IsEmpty() || !user.Exists(CURL(path)))
        return false;
    CAutoPointer<CFile> file = user.OpenFile(CURL(path), CFile::kModeRead);
    if (!file || file->IsNull() || !file->IsOpen() || file->GetSize() > kMaxSavedGameBytes)
        return false;
    out.Clear();
    return out.Read(*file);
}

CString GameId(const CConfig& saved)
{
    const CString id = Trimmed(saved.GetValueOr(".game.gameid", ""));
    return IsProfileId(id) ? id : CString();
}

CString NewGameId()
{
    std::random_device device;
    const uint64_t now = uint64_t(std::chrono::system_clock::now().time_since_epoch().count());
    std::mt19937_64 generator(now ^ (uint64_t(device()) << 32 | device()));
    CString id;
    id.AppendFormat("%016llX", static_cast<unsigned long long>(generator()));
    return id;
}

EFit Compare(const CConfig& record, const EmailTurn::STurn& turn)
{
    const CString kept = GameId(record), received = GameId(turn.game);
    if (!kept.IsEmpty() && !received.IsEmpty() && !Zorlin::KeysEqualNoCase(kept, received))
        return EFit::kOtherGame;
    const std::vector<CMove> ours = ReplayMoves(record);
    const std::vector<CMove> theirs = ReplayMoves(turn.game);
    // The sender's newest move is new to us; every move before it must be
    // one we know, in our order.
    const size_t earlier = theirs.size() - (EmailTurn::NewestMover(turn) >= 0 && !theirs.empty() ? 1 : 0);
    const size_t common = earlier < ours.size() ? earlier : ours.size();
    for (size_t i = 0; i < common; ++i)
        if (!SameMove(ours[i], theirs[i]))
            return EFit::kRewritten;
    if (earlier > ours.size())
        return EFit::kRewritten;
    return earlier < ours.size() ? EFit::kStale : EFit::kContinues;
}

CString Refusal(EFit fit, const CString& name)
{
    CString who = Trimmed(name);
    if (who.IsEmpty())
        who = "this opponent";
    switch (fit) {
    case EFit::kRewritten:
        return CString("Its earlier moves differ from the game you are playing with ") + who + ".";
    case EFit::kStale:
        return CString("It is older than the game you are playing with ") + who +
               ": your answer to it has already been sent.";
    default: return CString();
    }
}

} // namespace EmailRecord
