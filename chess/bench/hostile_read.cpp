// hostile_read: reads one file from outside the way the client does, for
// scripts/bench-hostile, and prints what came of it on one line. The
// benchmark script measures its time and peak memory.
//
//   hostile_read pgn FILE        every game loaded onto a board
//   hostile_read pgn-list FILE   every game's tags and move text listed
//   hostile_read config FILE     read as a settings file (whole, as user.cfg)
//   hostile_read small-config FILE   read as a package's info.cfg
//   hostile_read archive FILE    opened and every entry walked
//   hostile_read install FILE FOLDER   a package's contents/ checked and copied
//   hostile_read texture FILE    loaded as a board texture
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "chess/ChessBoard.h"
#include "chess/Pgn.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AssocArray.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/Image.h"
#include "foundation/PackageFiles.h"
#include "foundation/URL.h"
#include "foundation/Win32File.h"

using namespace Zorlin;

namespace {

int Pgn(CFile& file)
{
    CChessBoard board;
    CAssocArray<CString> tags;
    CString error, lastError;
    long games = 0, refused = 0, plies = 0;
    for (;;) {
        const uint32_t before = file.GetPosition();
        const bool ok = board.LoadPgnGame(file, tags, error);
        // False without a word: no game was left, only blank lines or
        // text outside any game.
        if ((!ok && error.IsEmpty()) || file.GetPosition() <= before)
            break;
        ++games;
        if (!ok) {
            ++refused;
            lastError = error;
        }
        plies += board.GetPly();
    }
    std::printf("games %ld refused %ld plies %ld%s%s\n", games, refused, plies,
                lastError.IsEmpty() ? "" : " last error ", lastError.GetText());
    return 0;
}

int PgnList(CFile& file)
{
    CAssocArray<CString> tags;
    CString error, moveText;
    long games = 0, bytes = 0;
    while (ReadPgnGame(file, tags, error, moveText)) {
        ++games;
        bytes += moveText.GetLength();
    }
    std::printf("games %ld move text %ld bytes\n", games, bytes);
    return 0;
}

int Config(CFile& file, bool small)
{
    CConfig store;
    const bool ok = small ? store.ReadSmall(file) : store.Read(file);
    std::printf("%s, %d keys\n", ok ? "read" : "refused", store.GetKeyCount());
    return 0;
}

void Walk(CArchiveDrive& archive, long& files, long& folders)
{
    CArray<CString> names;
    archive.ListDirectory(names, false);
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        if (archive.IsDirectory(CURL(name))) {
            ++folders;
            if (archive.ChangeDirectory(CURL(name))) {
                Walk(archive, files, folders);
                archive.ChangeDirectory(CURL(".."));
            }
        } else {
            ++files;
        }
    }
}

bool OpenArchive(const char* path, CArchiveDrive& archive)
{
    CWin32File* host = new CWin32File(CString(path), CFile::kModeRead);
    if (!host->IsOpen()) {
        delete host;
        return false;
    }
    return archive.Open(host, nullptr, true);
}

int Archive(const char* path)
{
    CArchiveDrive archive;
    if (!OpenArchive(path, archive)) {
        std::printf("refused\n");
        return 0;
    }
    long files = 0, folders = 0;
    Walk(archive, files, folders);
    std::printf("opened, %ld files in %ld folders\n", files, folders);
    return 0;
}

// What the installer does after the user said yes: walk, check the room,
// copy each file whole.
int Install(const char* path, const char* folder)
{
    CArchiveDrive archive;
    if (!OpenArchive(path, archive) || !archive.ChangeDirectory(CURL("/contents"))) {
        std::printf("refused: not a package\n");
        return 0;
    }
    // One folder under contents/, as the installer asks before its question.
    CArray<CString> top;
    archive.ListDirectory(top, false);
    if (top.GetCount() != 1 || !archive.IsDirectory(CURL(*top.GetAt(0)))) {
        std::printf("refused: %d entries under contents/, not one folder\n", top.GetCount());
        return 0;
    }
    std::vector<SPackageEntry> entries;
    CString problem;
    if (!WalkPackage(archive, 32, entries, problem)) {
        std::printf("refused: %s\n", problem.GetText());
        return 0;
    }
    CDiskDrive target(folder);
    if (!target.IsValid() || !CheckPackageRoom(entries, target.GetDiskPath(CURL("/")), problem)) {
        std::printf("refused: %s\n", problem.GetText());
        return 0;
    }
    long copied = 0, tooLong = 0, failed = 0;
    for (const SPackageEntry& entry : entries) {
        if (entry.folder) {
            failed += target.MakeDirectory(CURL(entry.path)) ? 0 : 1;
            continue;
        }
        switch (CopyPackageFile(archive, entry.path, target, entry.path, false, entry.size)) {
        case kPackageCopied: ++copied; break;
        case kPackageFileTooLong: ++tooLong; break;
        case kPackageCopyFailed: ++failed; break;
        }
    }
    std::printf("copied %ld, cut off %ld, failed %ld\n", copied, tooLong, failed);
    return 0;
}

int Texture(CFile& file)
{
    CImage picture;
    picture.SetLoadLimit(CImage::kMaxPictureSide);
    const int error = picture.Load(file);
    std::printf("%s %dx%d\n", error ? "refused" : "loaded", picture.GetWidth(), picture.GetHeight());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: hostile_read pgn|pgn-list|config|small-config|archive|texture FILE\n"
                             "       hostile_read install FILE FOLDER\n");
        return 2;
    }
    const std::string kind = argv[1];
    if (kind == "archive")
        return Archive(argv[2]);
    if (kind == "install")
        return argc > 3 ? Install(argv[2], argv[3]) : 2;
    // Read through blocks as the PGN viewer and the skin reader do.
    CWin32File* disk = new CWin32File(CString(argv[2]), CFile::kModeRead);
    CBufferedInputFile file(disk, 16384, 2);
    file.SetOwnsInner(true);
    if (!disk->IsOpen()) {
        std::fprintf(stderr, "hostile_read: cannot read %s\n", argv[2]);
        return 1;
    }
    if (kind == "pgn")
        return Pgn(file);
    if (kind == "pgn-list")
        return PgnList(file);
    if (kind == "config" || kind == "small-config")
        return Config(file, kind == "small-config");
    if (kind == "texture")
        return Texture(file);
    return 2;
}
