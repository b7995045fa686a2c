#include "client/remote/EmailTurn.h"

#include "chess/ChessBoard.h"
#include "chess/Move.h"
#include "client/core/ProfileArchive.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"

using Zorlin::CArchiveDrive;
using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace EmailTurn {

namespace {

CString Trimmed(CString text)
{
    text.Trim();
    return text;
}

bool AddMember(CArchiveDrive& archive, CMemFile& file, const char* name)
{
    return file.Seek(0, CFile::kSeekStart) && archive.AddFile(file, name, true);
}

bool AddConfig(CArchiveDrive& archive, const CConfig& config, const char* name)
{
    CMemFile file;
    file.Open(CString(name), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    return config.Write(file, true) && AddMember(archive, file, name);
}

int CountMoves(CConfig& game)
{
    int n = 0;
    game.PushAbsolutePrefix("moves");
    while (n <= kMaxPlies && game.FrameExists(n))
        ++n;
    game.PopPrefix();
    return n;
}

// Everything under frame of source, with the frame's name taken off.
void TakeFrame(const CConfig& source, const char* frame, CConfig& out)
{
    const CString prefix = CString(frame) + ".";
    source.ForEachValue([&](const CString& key, const CString& value) {
        if (key.GetLength() > prefix.GetLength() && Zorlin::KeysEqualNoCase(key.Mid(0, prefix.GetLength() - 1), prefix))
            out.GetValue(CString(".") + key.Mid(prefix.GetLength())) = value;
    });
}

} // namespace

namespace {

// A key of frame n of the moves, empty when there is none.
CString SavedValue(CConfig& game, int n, const char* key)
{
    CString text;
    game.PushAbsolutePrefix("moves");
    if (game.FrameExists(n)) {
        game.PushPrefix(n);
        text = game.GetValueOr(key, "");
        game.PopPrefix();
    }
    game.PopPrefix();
    return text;
}

} // namespace

CString SavedMove(CConfig& game, int n)
{
    return SavedValue(game, n, "Move");
}

CString SavedTime(CConfig& game, int n)
{
    return SavedValue(game, n, "Time");
}

CString FileName(int halfMoves, int userColour, bool invitation)
{
    const int n = invitation ? 0 : ((halfMoves - 1) >> 1) + 1;
    CString name;
    name.AppendFormat("move %i (%s).rwf", n, invitation || userColour == BLACK ? "black" : "white");
    return name;
}

int AnswerNumber(int halfMovesBeforeNewest)
{
    return (halfMovesBeforeNewest + 1) / 2 + 1;
}

CString AppendQuoted(const CString& message, int width)
{
    CString out;
    int start = 0;
    const int length = message.GetLength();
    while (start <= length) {
        int end = start;
        while (end < length && message[end] != '\n')
            ++end;
        CString line("> ");
        int word = start;
        while (word < end) {
            int after = word;
            while (after < end && message[after] != ' ')
                ++after;
            if (after > word || word < end) {
                const int wordLength = after - word;
                if (line.GetLength() + wordLength + 1 > width) {
                    out += line;
                    out += "\n";
                    line = "> ";
                }
                line.Append(message.GetText() + word, wordLength);
                line += " ";
            }
            word = after + 1;
        }
        out += line;
        out += "\n";
        if (end >= length)
            break;
        start = end + 1;
    }
    return out;
}

int DecideLocalSide(const CString& white, const CString& black, const CString& own)
{
    if (Zorlin::KeysEqualNoCase(white, black))
        return -1;
    if (Zorlin::KeysEqualNoCase(own, white))
        return WHITE;
    if (Zorlin::KeysEqualNoCase(own, black))
        return BLACK;
    if (Trimmed(white) == "0")
        return WHITE;
    if (Trimmed(black) == "0")
        return BLACK;
    return -1;
}

int StartColour(int choice, unsigned draw)
{
    if (choice == 0 || choice == 1)
        return choice;
    // An odd draw plays White.
    return int(~draw & 1u);
}

bool IsAcceptDraw(const CString& move)
{
    return Zorlin::KeysEqualNoCase(Trimmed(move), "accept draw");
}

bool IsPlayedMove(const CString& move)
{
    const CString text = Trimmed(move);
    return !text.IsEmpty() && !IsAcceptDraw(text) && !Zorlin::KeysEqualNoCase(text, "you start");
}

bool IsPlayerId(const CString& id)
{
    const CString text = Trimmed(id);
    return text.IsEmpty() || text == "0" || IsProfileId(text);
}

CConfig MakeMoveConfig(const STurn& turn)
{
    CConfig config;
    config.GetValue("move") = turn.move;
    config.GetValue("offerdraw") = turn.offerDraw ? "yes" : "no";
    config.GetValue("resign") = turn.resign ? "yes" : "no";
    config.GetValue("from") = turn.from;
    config.GetValue("id") = turn.id;
    config.PushAbsolutePrefix("game");
    config.Merge(turn.game);
    config.PopPrefix();
    return config;
}

bool Write(CFile& host, const STurn& turn, CFile* profile)
{
    CArchiveDrive archive;
    if (!archive.Create(&host, "email", false, 8192))
        return false;
    CConfig manifest;
    manifest.GetValue("contents.major") = "Rookwell";
    manifest.GetValue("contents.minor") = "Email";
    manifest.GetValue("description") = "A move sent by email";
    bool ok = AddConfig(archive, manifest, "contents.cfg");
    ok = ok && archive.MakeDirectories("contents") && archive.ChangeDirectory(CURL("contents"));
    if (ok && profile) {
        ok = profile->Seek(0, CFile::kSeekStart);
        CMemFile copy(*profile, 8192);
        ok = ok && AddMember(archive, copy, "Profile.rwf");
    }
    if (ok) {
        CMemFile message;
        message.Open(CString("message.txt"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
        ok = (turn.message.IsEmpty() || message.Write(turn.message.GetText(), unsigned(turn.message.GetLength()))) &&
             AddMember(archive, message, "message.txt");
    }
    ok = ok && AddConfig(archive, MakeMoveConfig(turn), "move.cfg");
    return archive.Finish(false) && ok;
}

bool Read(CDrive& contents, STurn& out, CString& why)
{
    CConfig config;
    {
        CAutoPointer<CFile> file = contents.OpenFile(CURL("move.cfg"), CFile::kModeRead);
        if (!file || !file->IsOpen() || file->IsNull()) {
            why = "The turn holds no move.";
            return false;
        }
        // A long game is not a damaged one: the user is told which it is.
        if (file->GetSize() > kMaxMoveConfig) {
            why = "The turn is too long: it holds more moves than a game can.";
            return false;
        }
        if (!config.Read(*file)) {
            why = "The turn's move is damaged.";
            return false;
        }
    }
    out.move = config.GetValueOr("move", "");
    out.offerDraw = CConfig::IsTrue(Trimmed(config.GetValueOr("offerdraw", "")));
    out.resign = CConfig::IsTrue(Trimmed(config.GetValueOr("resign", "")));
    out.from = config.GetValueOr("from", "");
    out.id = config.GetValueOr("id", "");
    out.game.Clear();
    TakeFrame(config, "game", out.game);
    out.message = "";
    if (contents.Exists(CURL("message.txt"))) {
        CAutoPointer<CFile> file = contents.OpenFile(CURL("message.txt"), CFile::kModeRead);
        if (file && file->IsOpen() && !file->IsNull()) {
            if (file->GetSize() > kMaxMessage) {
                why = "The turn's message is too long.";
                return false;
            }
            out.message = CString(*file);
            if (uint32_t(out.message.GetLength()) != file->GetSize()) {
                why = "The turn's message is damaged.";
                return false;
            }
        }
    }
    return Check(out, why);
}

bool Check(STurn& turn, CString& why)
{
    if (!IsPlayerId(turn.game.GetValueOr(".White.ID", "")) || !IsPlayerId(turn.game.GetValueOr(".Black.ID", "")) ||
        !IsProfileId(Trimmed(turn.id))) {
        why = "The turn names a player by an id that is not a plain profile id.";
        return false;
    }
    if (Trimmed(turn.move).GetLength() > 32) {
        why = "The turn's move is not a move.";
        return false;
    }
    const int count = CountMoves(turn.game);
    if (count > kMaxPlies) {
        why = "The turn is too long: it holds more moves than a game can.";
        return false;
    }
    CChessBoard board;
    board.SetupStartPosition();
    for (int n = 0; n < count; ++n) {
        CMove move;
        if (!board.ParseSan(SavedMove(turn.game, n), move, true)) {
            why = "";
            why.AppendFormat("Move %i of the turn is not legal.", n / 2 + 1);
            return false;
        }
        if (n == count - 1 && IsPlayedMove(turn.move)) {
            CMove named;
            if (!board.ParseSan(Trimmed(turn.move), named, true) || !named.SameSquares(move) ||
                named.m_promotion != move.m_promotion) {
                why = "The turn's move is not the last move of its game.";
                return false;
            }
        }
        board.MakeMove(move, 0.0);
    }
    if (IsPlayedMove(turn.move) && count == 0) {
        why = "The turn's move is not the last move of its game.";
        return false;
    }
    turn.plies = count;
    return true;
}

int NewestMover(const STurn& turn)
{
    if (!IsPlayedMove(turn.move) || turn.plies < 1)
        return -1;
    return (turn.plies - 1) % 2 == 0 ? WHITE : BLACK;
}

bool CheckSender(const STurn& turn, int localColour, CString& why)
{
    if (NewestMover(turn) != localColour)
        return true;
    why = "The turn's newest move is one of yours, not your opponent's.";
    return false;
}

CString TakeBackRefusal(int ply, int receivedPly, int localColour, int sideToMove, const CString& moveText)
{
    // The user's acceptance of a draw is taken back as a whole: the game
    // goes on from the position it ended in.
    if (IsAcceptDraw(moveText))
        return "";
    // The newest move must be the user's: made after the turn arrived, by
    // the side that is no longer to move.
    if (!IsPlayedMove(moveText) || ply < 1 || ply <= receivedPly || sideToMove == localColour)
        return "Can not take back opponent's move in an Email game.";
    return "";
}

void RecordDrawOffer(CConfig& settings, int colour, int ply)
{
    settings.GetValue("drawoffer.colour") = colour == BLACK ? "black" : "white";
    settings.GetValue("drawoffer.ply") = "";
    settings.GetValue("drawoffer.ply").Append(ply);
}

bool WasDrawOffered(const CConfig& savedGame, int colour, int ply)
{
    const CString by = Trimmed(savedGame.GetValueOr(".game.drawoffer.colour", ""));
    CString at = Trimmed(savedGame.GetValueOr(".game.drawoffer.ply", ""));
    CString expected;
    expected.Append(ply);
    return Zorlin::KeysEqualNoCase(by, colour == BLACK ? "black" : "white") && at == expected;
}

} // namespace EmailTurn
