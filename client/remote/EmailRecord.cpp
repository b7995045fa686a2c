#include "client/remote/EmailRecord.h"

#include <chrono>
#include <cstring>
#include <cstdio>
#include <random>
#include <vector>

#include "chess/ChessBoard.h"
#include "chess/Move.h"
#include "client/core/GameFileRules.h"
#include "client/core/ProfileArchive.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/NameText.h"
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
const char* const kPrefix = "email ";
const char* const kExtension = ".rwg";
// Copies read for a turn that does not name its game: far more games than
// anyone plays at once.
const int kMaxCopiesRead = 500;
const int kMaxNameShown = 40;

CString Trimmed(CString text)
{
    text.Trim();
    return text;
}

int ColourOfPly(size_t ply)
{
    return ply % 2 == 0 ? WHITE : BLACK;
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

int PliesOr(const CConfig& record, const char* key, int otherwise)
{
    const CString text = Trimmed(record.GetValueOr(key, ""));
    if (text.IsEmpty() || text.GetLength() > 5)
        return otherwise;
    int value = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return otherwise;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

CString OpponentId(const CConfig& record, int localColour)
{
    return Trimmed(record.GetValueOr(localColour == WHITE ? ".Black.ID" : ".White.ID", ""));
}

CString Decimal(int value)
{
    CString text;
    text.Append(value);
    return text;
}

// The keys of the copies in the active games folder, first's first.
Zorlin::CArray<CString> CopyKeys(CDrive& user, const CString& first)
{
    Zorlin::CArray<CString> keys;
    if (!Path(first).IsEmpty())
        keys.Add(first);
    Zorlin::CArray<CString> names;
    {
        Zorlin::CAutoDirectory inside(user, kFolder);
        if (!inside)
            return keys;
        user.ListDirectory(names, false);
    }
    for (int i = 0; i < names.GetCount() && keys.GetCount() < kMaxCopiesRead; ++i) {
        const CString key = KeyOfFile(*names.GetAt(i));
        if (!key.IsEmpty() && !Zorlin::KeysEqualNoCase(key, first))
            keys.Add(key);
    }
    return keys;
}

} // namespace

bool IsKnownId(const CString& id)
{
    const CString text = Trimmed(id);
    return text != "0" && IsProfileId(text);
}

CString Path(const CString& key)
{
    const CString id = Trimmed(key);
    if (!IsKnownId(id))
        return CString();
    return CString(kFolder) + kPrefix + id + kExtension;
}

CString KeyOfFile(const CString& fileName)
{
    const int prefix = int(strlen(kPrefix)), extension = int(strlen(kExtension));
    if (fileName.GetLength() <= prefix + extension ||
        !Zorlin::KeysEqualNoCase(fileName.Mid(0, prefix - 1), kPrefix) ||
        !Zorlin::KeysEqualNoCase(fileName.Mid(fileName.GetLength() - extension), kExtension))
        return CString();
    const CString key = fileName.Mid(prefix, fileName.GetLength() - extension - 1);
    return IsKnownId(key) && key == Trimmed(key) ? key : CString();
}

bool Keep(CDrive& user, const CString& key, const CConfig& saved)
{
    const CString path = Path(key);
    if (path.IsEmpty())
        return false;
    user.MakeDirectory(CURL(kFolder));
    return saved.Write(user, CURL(path), true);
}

void Forget(CDrive& user, const CString& key)
{
    const CString path = Path(key);
    if (path.IsEmpty() || !user.Exists(CURL(path)))
        return;
    CURL full(path);
    user.GetFullPath(full, nullptr);
    std::remove(CString(full).GetText());
}

bool Find(CDrive& user, const CString& key, CConfig& out)
{
    const CString path = Path(key);
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
    return IsKnownId(id) ? id : CString();
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

void MarkKnown(CConfig& saved, int localColour, int received, int sent)
{
    saved.GetValue(".EmailCopy.local") = localColour == BLACK ? "black" : "white";
    saved.GetValue(".EmailCopy.received") = Decimal(received);
    saved.GetValue(".EmailCopy.sent") = Decimal(sent);
}

int ReceivedPlies(const CConfig& record)
{
    return PliesOr(record, ".EmailCopy.received", 0);
}

int SentPlies(const CConfig& record)
{
    return PliesOr(record, ".EmailCopy.sent", int(ReplayMoves(record).size()));
}

int LocalColour(const CConfig& record, const CString& own)
{
    const CString local = Trimmed(record.GetValueOr(".EmailCopy.local", ""));
    if (Zorlin::KeysEqualNoCase(local, "black"))
        return BLACK;
    if (Zorlin::KeysEqualNoCase(local, "white"))
        return WHITE;
    const int side =
        EmailTurn::DecideLocalSide(record.GetValueOr(".White.ID", ""), record.GetValueOr(".Black.ID", ""), own);
    return side == BLACK ? BLACK : WHITE;
}

EFit Compare(const CConfig* record, const EmailTurn::STurn& turn, int localColour, const CString& sender,
             const CString& own)
{
    std::vector<CMove> ours;
    size_t known = 0;
    if (record) {
        if (LocalColour(*record, own) != localColour)
            return EFit::kOtherSender;
        const CString opponent = OpponentId(*record, localColour);
        if (IsKnownId(opponent) && !Zorlin::KeysEqualNoCase(opponent, Trimmed(sender)))
            return EFit::kOtherSender;
        ours = ReplayMoves(*record);
        const int received = ReceivedPlies(*record), sent = SentPlies(*record);
        known = size_t(received > sent ? received : sent);
        if (known > ours.size())
            known = ours.size();
    }
    // Moves the user made after the last turn left are the user's alone:
    // a turn cannot know them.
    const std::vector<CMove> theirs = ReplayMoves(turn.game);
    const size_t n = theirs.size();
    for (size_t i = 0; i < n && i < known; ++i)
        if (!SameMove(ours[i], theirs[i]))
            return EFit::kRewritten;
    if (n < known)
        return SentPlies(*record) > int(n) ? EFit::kStale : EFit::kOlder;
    if (n > known + 1)
        return EFit::kAddsMoves;
    if (n == known + 1 && ColourOfPly(known) == localColour)
        return EFit::kOwnMove;
    return record ? EFit::kContinues : EFit::kNoRecord;
}

SMatch Match(CDrive& user, const EmailTurn::STurn& turn, int localColour, const CString& sender, const CString& own)
{
    SMatch match;
    const CString gameId = GameId(turn.game);
    if (!gameId.IsEmpty()) {
        if (Find(user, gameId, match.record))
            match.key = gameId;
        else if (Find(user, sender, match.record) && Zorlin::KeysEqualNoCase(GameId(match.record), gameId))
            match.key = Trimmed(sender);
        else
            match.record.Clear();
        match.fit = Compare(match.key.IsEmpty() ? nullptr : &match.record, turn, localColour, sender, own);
        return match;
    }
    // The sender's games first, under the name copies had before they were
    // named by game.
    SMatch senders;
    const Zorlin::CArray<CString> keys = CopyKeys(user, sender);
    for (int i = 0; i < keys.GetCount(); ++i) {
        CConfig record;
        if (!Find(user, *keys.GetAt(i), record))
            continue;
        // A game with someone else or with the sides the other way round,
        // or a started game that has had its answer.
        if (LocalColour(record, own) != localColour)
            continue;
        const CString opponent = OpponentId(record, localColour);
        if (IsKnownId(opponent) ? !Zorlin::KeysEqualNoCase(opponent, Trimmed(sender)) : ReceivedPlies(record) > 0)
            continue;
        const EFit fit = Compare(&record, turn, localColour, sender, own);
        if (fit == EFit::kContinues) {
            match.fit = fit;
            match.key = *keys.GetAt(i);
            match.record = record;
            return match;
        }
        // A refusal tells of the sender's game.
        if (IsKnownId(opponent) && senders.key.IsEmpty()) {
            senders.fit = fit;
            senders.key = *keys.GetAt(i);
            senders.record = record;
        }
    }
    // A game from its start opens beside the others.
    match.fit = Compare(nullptr, turn, localColour, sender, own);
    return match.fit == EFit::kNoRecord || senders.key.IsEmpty() ? match : senders;
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
    case EFit::kOlder:
        return CString("It is older than a turn you have already opened in the game you are playing with ") + who +
               ".";
    case EFit::kAddsMoves:
        return "It holds moves that you have neither received nor sent: a turn adds only your opponent's one move.";
    case EFit::kOwnMove: return "The turn's newest move is one of yours, not your opponent's.";
    case EFit::kOtherSender:
        return CString("It was not sent by your opponent in the game you are playing with ") + who + ".";
    default: return CString();
    }
}

CString OpponentName(const CConfig& record, const CString& own)
{
    const int local = LocalColour(record, own);
    CString name = Zorlin::CutCharacters(record.GetValueOr(local == WHITE ? ".Black.name" : ".White.name", ""),
                                         kMaxNameShown);
    name.Trim();
    return name;
}

CString Caption(CDrive& user, const CString& fileName, const CString& own)
{
    const CString key = KeyOfFile(fileName);
    CConfig record;
    if (key.IsEmpty() || !Find(user, key, record))
        return CString();
    CString caption = OpponentName(record, own);
    if (caption.IsEmpty())
        caption = "Email game";
    caption.AppendFormat(", move %i", int(ReplayMoves(record).size()) / 2 + 1);
    return caption;
}

} // namespace EmailRecord
