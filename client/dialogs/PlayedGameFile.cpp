#include "client/dialogs/PlayedGameFile.h"

#include "foundation/AtomicFile.h"
#include "foundation/Drive.h"

using namespace Zorlin;

namespace {

const char kFolder[] = "/played games/";
const int kMaxNameLength = 40;

CString PlainName(const CString& name)
{
    CString out;
    for (int i = 0; i < name.GetLength() && out.GetLength() < kMaxNameLength; ++i) {
        char c = name[i];
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                     c == '-' || c == '_';
        if (plain)
            out.Append(c);
    }
    out.Trim();
    return out.IsEmpty() ? CString("unknown") : out;
}

} // namespace

CString MakePlayedGameName(const CString& white, const CString& black, time_t when)
{
    struct tm local = {};
    localtime_r(&when, &local);
    CString name;
    name.AppendFormat("%04d-%02d-%02d %02d%02d%02d ", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                      local.tm_hour, local.tm_min, local.tm_sec);
    name.Append(PlainName(white));
    name.Append(" vs ");
    name.Append(PlainName(black));
    return name;
}

bool WritePlayedGame(CDrive& userDrive, const CString& name, const CString& pgn)
{
    userDrive.MakeDirectory(CURL(kFolder));
    CString file;
    for (int copy = 1; copy < 100; ++copy) {
        file = CString(kFolder, name.GetText());
        if (copy > 1)
            file.AppendFormat(" (%d)", copy);
        file.Append(".pgn");
        if (!userDrive.Exists(CURL(file)))
            break;
    }
    CURL diskPath(file);
    userDrive.GetFullPath(diskPath, "");
    CAtomicFile out;
    return out.Open(diskPath) && out.Write(pgn.GetText(), size_t(pgn.GetLength())) && out.Commit();
}
