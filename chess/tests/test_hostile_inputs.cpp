// The hostile files of scripts/gen-hostile, made smaller (--scale) but still
// large enough that a quadratic reader would show, fed to every reader the
// way the client reads them: each is refused or read within its caps.
// Timings live in scripts/bench-hostile; this runs under the sanitizers.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

const int kScale = 20;

class HostileInputs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/hostile-inputs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        s_folder = pattern;
        const std::string command = "python3 '" + std::string(ROOKWELL_SOURCE) + "/scripts/gen-hostile' '" +
                                    s_folder + "' --scale " + std::to_string(kScale) + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    static void TearDownTestSuite()
    {
        std::error_code error;
        std::filesystem::remove_all(s_folder, error);
    }

    static std::string File(const char* name) { return s_folder + "/" + name; }

    // Opened through blocks, as the viewer and the skin reader open files.
    struct SInput {
        explicit SInput(const std::string& path)
            : disk(new CWin32File(CString(path.c_str()), CFile::kModeRead)), file(disk, 16384, 2)
        {
            file.SetOwnsInner(true);
        }
        CWin32File* disk;
        CBufferedInputFile file;
    };

    static bool OpenArchive(const char* name, CArchiveDrive& archive)
    {
        CWin32File* host = new CWin32File(CString(File(name).c_str()), CFile::kModeRead);
        if (!host->IsOpen()) {
            delete host;
            return false;
        }
        return archive.Open(host, nullptr, true);
    }

    static std::string s_folder;
};

std::string HostileInputs::s_folder;

TEST_F(HostileInputs, PgnGamesPastTheLongestLegalGameAreCutAndManyGamesListed)
{
    SInput input(File("long-game.pgn"));
    ASSERT_TRUE(input.disk->IsOpen());
    CChessBoard board;
    CAssocArray<CString> tags;
    CString error;
    EXPECT_FALSE(board.LoadPgnGame(input.file, tags, error));
    EXPECT_EQ(board.GetPly(), kPgnMaxPlies);
    EXPECT_NE(std::string(error.GetText()).find("plies"), std::string::npos) << error.GetText();

    SInput listed(File("many-games.pgn"));
    CString moveText;
    int games = 0;
    while (ReadPgnGame(listed.file, tags, error, moveText))
        ++games;
    EXPECT_EQ(games, 500000 / kScale);
}

TEST_F(HostileInputs, SettingsOfManyKeysReadWholeAndPackageSettingsAreCapped)
{
    for (const char* name : {"many-keys.cfg", "same-hash.cfg"}) {
        SCOPED_TRACE(name);
        SInput input(File(name));
        CConfig store;
        ASSERT_TRUE(store.Read(input.file));
        EXPECT_GE(store.GetKeyCount(), 4096);
    }
    SInput info(File("big-info.cfg"));
    CConfig board;
    EXPECT_FALSE(board.ReadSmall(info.file)) << "a board's info.cfg is a few lines";
    EXPECT_EQ(board.GetKeyCount(), 0);
}

TEST_F(HostileInputs, PackagesAreCheckedBeforeAnythingIsWritten)
{
    char pattern[] = "/tmp/hostile-target-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string target = pattern;
    CDiskDrive disk(target.c_str());
    for (const char* name : {"bomb-one.rwf", "bomb-many.rwf"}) {
        SCOPED_TRACE(name);
        CArchiveDrive archive;
        ASSERT_TRUE(OpenArchive(name, archive));
        ASSERT_TRUE(archive.ChangeDirectory(CURL("/contents")));
        std::vector<SPackageEntry> entries;
        CString problem;
        ASSERT_TRUE(WalkPackage(archive, 32, entries, problem)) << problem.GetText();
        EXPECT_GE(DeclaredPackageBytes(entries), uint64_t(1) << 30);
        EXPECT_FALSE(CheckPackageRoom(entries, CString(target.c_str()), problem));
        EXPECT_NE(std::string(problem.GetText()).find("more than any package may hold"), std::string::npos);
    }
    {
        CArchiveDrive archive;
        ASSERT_TRUE(OpenArchive("many-files.rwf", archive));
        ASSERT_TRUE(archive.ChangeDirectory(CURL("/contents")));
        std::vector<SPackageEntry> entries;
        CString problem;
        ASSERT_TRUE(WalkPackage(archive, 32, entries, problem));
        EXPECT_EQ(entries.size(), size_t(65000 / kScale + 1));
        // Copied whole into one folder: each new name found without reading
        // the folder again.
        ASSERT_TRUE(CheckPackageRoom(entries, CString(target.c_str()), problem)) << problem.GetText();
        ASSERT_TRUE(disk.CopyTreeFrom(archive, true, false));
        size_t written = 0;
        for (const auto& entry : std::filesystem::directory_iterator(target + "/many"))
            written += entry.is_regular_file() ? 1 : 0;
        EXPECT_EQ(written, size_t(65000 / kScale));
    }
    {
        CArchiveDrive archive;
        ASSERT_TRUE(OpenArchive("two-folders.rwf", archive));
        CArray<CString> names;
        ASSERT_TRUE(archive.ChangeDirectory(CURL("/contents")));
        archive.ListDirectory(names, false);
        EXPECT_EQ(names.GetCount(), 2) << "the malformed package the installer refuses before asking";
    }
    std::error_code error;
    std::filesystem::remove_all(target, error);
}

TEST_F(HostileInputs, ATinyJpegClaimingAHugePictureIsRefusedAsATexture)
{
    if (!std::filesystem::exists(File("tiny-huge.jpg")))
        GTEST_SKIP() << "ImageMagick was missing when the files were made";
    EXPECT_LT(std::filesystem::file_size(File("tiny-huge.jpg")), 2048u);
    CWin32File file(CString(File("tiny-huge.jpg").c_str()), CFile::kModeRead);
    CImage texture;
    texture.SetLoadLimit(CImage::kMaxPictureSide);
    EXPECT_NE(texture.Load(file), CImage::ERR_NONE);
    EXPECT_FALSE(texture.HasPixels());
}

} // namespace
