#include "client/core/GameFileRules.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "chess/ChessBoard.h"
#include "client/core/Game.h"
#include "client/core/Player.h"

using Zorlin::CString;
using Zorlin::KeysEqualNoCase;

namespace {

// The index of the last c in text, or -1.
int LastIndexOf(const CString& text, const char* any)
{
    for (int i = text.GetLength() - 1; i >= 0; --i)
        if (std::strchr(any, text[i]))
            return i;
    return -1;
}

CString From(const CString& text, int index)
{
    CString out;
    out.Append(text.GetText() + index, text.GetLength() - index);
    return out;
}

bool IsUnsafeInFileName(unsigned char c)
{
    return c < 0x20 || c == 0x7f || std::strchr("/\\:*?\"<>|", c) != nullptr;
}

void AppendSafe(CString& out, const CString& name)
{
    for (int i = 0; i < name.GetLength(); ++i) {
        unsigned char c = (unsigned char)name[i];
        out.Append(IsUnsafeInFileName(c) ? '_' : char(c));
    }
}

} // namespace

ESavedGameKind ClassifySavedGame(const CString& type)
{
    if (KeysEqualNoCase(type, "AIGame"))
        return ESavedGameKind::kComputer;
    if (KeysEqualNoCase(type, "NetworkGame"))
        return ESavedGameKind::kNetwork;
    if (KeysEqualNoCase(type, "EmailGame"))
        return ESavedGameKind::kEmail;
    if (KeysEqualNoCase(type, "PGNGame") || KeysEqualNoCase(type, "GridmoorGame"))
        return ESavedGameKind::kViewed;
    return ESavedGameKind::kUnknown;
}

bool IsThereButNoPlainFile(const CString& path)
{
    struct stat info;
    return !path.IsEmpty() && stat(path.GetText(), &info) == 0 && !S_ISREG(info.st_mode);
}

CString FileExtension(const CString& name)
{
    int dot = LastIndexOf(name, ".");
    return dot < 0 ? CString() : From(name, dot);
}

EDroppedFile ClassifyDroppedFile(const CString& name)
{
    CString extension = FileExtension(name);
    if (KeysEqualNoCase(extension, ".pgn"))
        return EDroppedFile::kPgn;
    if (KeysEqualNoCase(extension, ".rwg"))
        return EDroppedFile::kSavedGame;
    if (KeysEqualNoCase(extension, ".rwf"))
        return EDroppedFile::kTransport;
    return EDroppedFile::kRefused;
}

bool OpensOnBoard(const CString& name)
{
    const EDroppedFile kind = ClassifyDroppedFile(name);
    return kind == EDroppedFile::kPgn || kind == EDroppedFile::kSavedGame;
}

CString ShortFileName(const CString& path)
{
    return From(path, LastIndexOf(path, "/\\") + 1);
}

// ".pgn", ".tar", ".7z": a short run of letters and digits with a letter
// among them. "5.0" in "Me vs Engine 5.0" names a version, not a type.
bool HasExtension(const CString& name)
{
    const int dot = LastIndexOf(name, ".");
    if (dot < 0)
        return false;
    const int length = name.GetLength() - dot - 1;
    bool letter = false;
    for (int i = dot + 1; i < name.GetLength(); ++i) {
        const unsigned char c = (unsigned char)name[i];
        if (!std::isalnum(c))
            return false;
        letter = letter || std::isalpha(c);
    }
    return length >= 1 && length <= 4 && letter;
}

CString WithDefaultExtension(const CString& path, const char* extension)
{
    CString name = ShortFileName(path);
    if (name.IsEmpty() || !extension || !*extension || HasExtension(name))
        return path;
    return path + extension;
}

CString MakeSavedGameName(const CString& white, const CString& black, const char* extension)
{
    CString name;
    AppendSafe(name, white);
    name.Append(" vs ");
    AppendSafe(name, black);
    name.Append(extension);
    // A name may not start with dots: "..", or a hidden file.
    int dots = 0;
    while (dots < name.GetLength() && name[dots] == '.')
        ++dots;
    if (dots > 0)
        name = CString("_") + From(name, dots);
    return name;
}

CString MakeSavedGameName(CGame& game, const char* extension)
{
    CString names[2];
    for (int colour : {WHITE, BLACK}) {
        CPlayer* player = game.GetPlayer(colour);
        if (player && player->GetColour() == colour)
            names[colour == WHITE ? 0 : 1] = player->GetProperty("Name");
    }
    return MakeSavedGameName(names[0], names[1], extension);
}

SRestoredEnd JudgeRestoredGame(const CChessBoard& board)
{
    SRestoredEnd end;
    CString reason;
    if (board.GetGameState(board.GetSideToMove(), &reason) == STATE_DRAW) {
        end.result = RESULT_DRAW;
        end.status = reason;
    } else if (board.GetGameState(BLACK) == STATE_CHECKMATE) {
        end.result = RESULT_WHITE_WINS;
    } else if (board.GetGameState(WHITE) == STATE_CHECKMATE) {
        end.result = RESULT_BLACK_WINS;
    }
    return end;
}

namespace {

bool RealPath(const char* path, std::string& out)
{
    char resolved[PATH_MAX];
    if (!path || !*path || !realpath(path, resolved))
        return false;
    out = resolved;
    return true;
}

} // namespace

bool IsFileInFolder(const CString& path, const CString& folder)
{
    std::string file, dir;
    if (!RealPath(path.GetText(), file) || !RealPath(folder.GetText(), dir))
        return false;
    size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return false;
    std::string parent = slash == 0 ? std::string("/") : file.substr(0, slash);
    return parent == dir;
}
