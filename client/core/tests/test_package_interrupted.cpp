// Installs cut short at every step on the disk. A child process installs a
// new version of an installed board, voice or engine ("Update contents of")
// and stops dead (_exit) before its Nth step: a file made, a folder made or
// removed, a link, a rename. The next start then mends what it left, and
// the item must be the old version or the new one, file for file, and read
// whole, never a mix of both.
//
// The stops are those of DiskSteps.h, wherever the client's own code
// touches the disk.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/defs.h>

#include "client/core/PackageInstaller.h"
#include "client/core/PackageRules.h"
#include "client/core/Prompt.h"
#include "client/core/Sound.h"
#include "client/core/Voice.h"
#include "client/core/VoicePlayer.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AtomicFolder.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/Win32File.h"
#include "support/FakeSoundBackEnd.h"
#include "support/PackageBuilder.h"
#include "testsupport/DiskSteps.h"

namespace fs = std::filesystem;
using PackageTest::SEntry;
using Zorlin::CString;

namespace {

const std::string kData = ROOKWELL_SOURCE "/data";

struct SNode {
    std::string bytes; // a file's; a link's destination
    char kind = 'f';   // 'f' file, 'd' folder, 'l' link
    bool executable = false;
    bool operator==(const SNode& other) const
    {
        return bytes == other.bytes && kind == other.kind && executable == other.executable;
    }
};
using Tree = std::map<std::string, SNode>;

// Every entry below folder, hidden ones included.
Tree ReadTree(const std::string& folder)
{
    Tree tree;
    if (!fs::is_directory(folder))
        return tree;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        SNode node;
        const std::string path = item.path().string();
        if (item.is_symlink()) {
            node.kind = 'l';
            node.bytes = fs::read_symlink(item.path()).string();
        } else if (item.is_directory()) {
            node.kind = 'd';
        } else {
            node.bytes = PackageTest::ReadFile(path);
            node.executable = PackageTest::IsExecutable(path);
        }
        tree[fs::relative(item.path(), folder).generic_string()] = node;
    }
    return tree;
}

// The first tree with the second's entries put over it: an update keeps
// the files its package does not hold.
Tree Overlay(Tree under, const Tree& over)
{
    for (const auto& entry : over)
        under[entry.first] = entry.second;
    return under;
}

std::string Describe(const Tree& tree, const Tree& old, const Tree& fresh)
{
    std::string text;
    for (const auto& entry : tree) {
        auto o = old.find(entry.first);
        auto n = fresh.find(entry.first);
        text += entry.first + (o != old.end() && o->second == entry.second ? " old" : "") +
                (n != fresh.end() && n->second == entry.second ? " new" : "") + "\n";
    }
    return text;
}

class CQuietHost : public CInstallHost {
public:
    wxWindow* GetParent() override { return nullptr; }
    std::unique_ptr<CInstallProgress> OpenProgress(int) override { return nullptr; }
    bool MayCloseForUpdate() override { return false; }
    bool StartUpdater(const CString&, CString&) override { return false; }
    void CloseForUpdate() override {}
};

class InterruptedInstall : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = PackageTest::MakeTempFolder("interrupted");
        ASSERT_FALSE(m_base.empty());
        m_program = m_base + "/program";
    }
    void TearDown() override { PackageTest::RemoveTree(m_base); }

    // A program folder whose kind folder holds old as name.
    void MakeProgram(const std::string& kind, const std::string& name, const std::string& old)
    {
        PackageTest::RemoveTree(m_program);
        for (const char* sub : {"engines", "boards", "voices"})
            fs::create_directories(m_program + "/" + sub);
        fs::copy(old, m_program + "/" + kind + "/" + name, fs::copy_options::recursive);
    }

    // Installs package over the installed item in a child process stopped
    // before its step (-1: never); whether it was stopped.
    bool InstallInChild(const std::string& package, long step)
    {
        fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            CScriptedPrompt prompt;
            prompt.Install();
            prompt.QueueButton(wxYES);
            prompt.QueueChoice(0); // Update contents of
            prompt.QueueButton(wxOK);
            Zorlin::CWin32File* file = new Zorlin::CWin32File(CString(package.c_str()), Zorlin::CFile::kModeRead);
            Zorlin::CArchiveDrive archive;
            if (!archive.Open(file, nullptr, true))
                _exit(2);
            Zorlin::CDiskDrive program(m_program.c_str());
            CQuietHost host;
            CPackageInstaller installer(host, program, "tester");
            DiskSteps::StopBefore(m_program, step, DiskSteps::ESyncs::kSkipped);
            const bool handled = installer.Install(archive, package.c_str());
            DiskSteps::NeverStop();
            _exit(handled && prompt.GetUnexpectedCount() == 0 && installer.GetFailed().empty() ? 0 : 3);
        }
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << "step " << step;
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        EXPECT_TRUE(code == 0 || code == DiskSteps::kStoppedStatus) << "step " << step << " ended with " << code;
        return code == DiskSteps::kStoppedStatus;
    }

    // What the client does first when it starts again.
    void Restart()
    {
        Zorlin::CDiskDrive program(m_program.c_str());
        EXPECT_EQ(MendInterruptedInstalls(program), CString());
    }

    // Installs the new version over the old one, stopped before every
    // stride-th step until a run finishes, then before every step around
    // the swap. Each time the item must be the old version or the new one
    // as a whole, and pass check.
    template <class Check>
    void StopAtSteps(const std::string& kind, const std::string& name, const std::string& oldFolder,
                     const std::string& newFolder, long stride, Check check)
    {
        std::vector<SEntry> entries = {PackageTest::Manifest("Rookwell Lite", kind, "A new version")};
        PackageTest::AddFolder(entries, newFolder, "contents/" + name + "/");
        const std::string package = m_base + "/" + kind + ".rwf";
        ASSERT_TRUE(PackageTest::WriteArchive(package, entries));
        MakeProgram(kind + "s", name, oldFolder);
        const std::string item = m_program + "/" + kind + "s/" + name;
        const Tree old = ReadTree(item);
        const Tree fresh = Overlay(old, ReadTree(newFolder));
        ASSERT_NE(old, fresh);

        m_keptOld = m_becameNew = m_itemMissing = 0;
        std::set<long> tried;
        // Whether the run stopped before step; the item checked after it.
        const auto run = [&](long step) {
            SCOPED_TRACE("stopped before step " + std::to_string(step));
            tried.insert(step);
            MakeProgram(kind + "s", name, oldFolder);
            const bool stopped = InstallInChild(package, step);
            m_itemMissing += fs::exists(item) ? 0 : 1;
            Restart();
            const Tree now = ReadTree(item);
            const bool isOld = now == old;
            const bool isNew = now == fresh;
            EXPECT_TRUE(isOld || isNew) << Describe(now, old, fresh);
            EXPECT_EQ(RookwellTest::ListFolder(m_program + "/" + kind + "s"), std::vector<std::string>{name})
                << "nothing is left beside the item";
            check(item);
            if (stopped)
                ++(isOld ? m_keptOld : m_becameNew);
            else
                EXPECT_TRUE(isNew) << "a finished install";
            return stopped && !HasFailure();
        };
        long finished = 0;
        while (finished < 5000 && run(finished))
            finished += stride;
        ASSERT_FALSE(HasFailure());
        ASSERT_LT(finished, 5000) << "the install never finished";
        m_steps = finished;
        for (long step = finished - stride + 1; step < finished; ++step) {
            if (step >= 0 && !run(step)) {
                m_steps = step;
                break;
            }
        }
        ASSERT_FALSE(HasFailure());
        // The last rename of the swap is followed by the old tree's
        // removal: a step for each of its entries and one for itself.
        const long swap = m_steps - long(old.size()) - 2;
        for (long step = swap - 2; step <= swap + 1; ++step) {
            if (step >= 0 && !tried.count(step)) {
                EXPECT_TRUE(run(step));
            }
        }
    }

    std::string m_base;
    std::string m_program;
    int m_keptOld = 0;
    int m_becameNew = 0;
    int m_itemMissing = 0; // runs that left only the old tree set aside
    long m_steps = 0;
};

// A board as the scene reads it: its info.cfg, and the board picture whose
// size it is measured against. Both real boards have even margins; an
// old info.cfg with a new picture draws the board shrunk into a corner.
void ExpectBoardReadsWhole(const std::string& folder)
{
    Zorlin::CConfig info;
    {
        Zorlin::CWin32File file((folder + "/info.cfg").c_str(), Zorlin::CFile::kModeRead);
        ASSERT_TRUE(file.IsOpen());
        ASSERT_TRUE(info.ReadSmall(file));
    }
    const std::string picture = PackageTest::ReadFile(folder + "/graphics/" +
                                                      info.GetValueOr("Board.Image", "").GetText());
    ASSERT_GE(picture.size(), 24u);
    ASSERT_EQ(picture.substr(1, 3), "PNG");
    const auto be32 = [&](size_t at) {
        return int((unsigned char)picture[at]) << 24 | int((unsigned char)picture[at + 1]) << 16 |
               int((unsigned char)picture[at + 2]) << 8 | int((unsigned char)picture[at + 3]);
    };
    const int width = be32(16);
    const int height = be32(20);
    const auto number = [&](const char* key) { return std::atoi(info.GetValueOr(key, "").GetText()); };
    EXPECT_EQ(number("Board.TopLeft.X"), width - number("Board.BottomRight.X"));
    EXPECT_EQ(number("Board.TopLeft.Y"), height - number("Board.BottomRight.Y"));
    for (const char* piece : {"Pieces.White.King.Image", "Pieces.Black.Pawn.Alpha", "Mouse.Point.Image"})
        EXPECT_TRUE(fs::is_regular_file(folder + "/graphics/" + info.GetValueOr(piece, "").GetText())) << piece;
}

TEST_F(InterruptedInstall, TheBoardInUseIsTheOldOrTheNewOneAfterAStopAtAnyStep)
{
    // The update of the issue: the same file names, another info.cfg and
    // other pictures; the user's own file stays in either version.
    const std::string old = m_base + "/old board";
    fs::copy(kData + "/boards/tournament", old, fs::copy_options::recursive);
    PackageTest::WriteFile(old + "/graphics/mine.txt", "the user's own notes");
    StopAtSteps("board", "tournament", old, kData + "/boards/large wood", 1, ExpectBoardReadsWhole);
    EXPECT_GT(m_keptOld, 40) << "every file of the package is a step before the swap";
    EXPECT_GT(m_becameNew, 40) << "the old tree is removed after the swap";
    EXPECT_EQ(m_itemMissing, 0) << "the swap is one step";
    const long swapping = m_steps;

    // The same on a disk that cannot swap two names at once: the old tree
    // is renamed aside first, and put back when the stop fell in between.
    DiskSteps::SetNoExchange(true);
    StopAtSteps("board", "tournament", old, kData + "/boards/large wood", 10, ExpectBoardReadsWhole);
    DiskSteps::SetNoExchange(false);
    EXPECT_EQ(m_steps, swapping + 1) << "one rename more";
    EXPECT_EQ(m_itemMissing, 1) << "one stop fell between the two renames";
    EXPECT_GT(m_keptOld, 8);
    EXPECT_GT(m_becameNew, 0);
}

TEST_F(InterruptedInstall, AVoiceIsTheOldOrTheNewOneAndSpeaksEveryWord)
{
    CFakeSoundBackEnd sounds;
    SetSoundBackEnd(&sounds);
    ASSERT_TRUE(InitSound());
    const auto speaksEveryWord = [](const std::string& folder) {
        Zorlin::CDiskDrive voices(fs::path(folder).parent_path().c_str());
        std::unique_ptr<CVoice> voice(LoadVoicePack(voices, "Clara"));
        ASSERT_TRUE(voice);
        for (const char* word : CVoice::kVocabulary)
            EXPECT_FALSE(voice->FindSample(word)->IsEmpty()) << word;
    };
    StopAtSteps("voice", "Clara", kData + "/voices/Clara", kData + "/voices/Edmund", 10, speaksEveryWord);
    EXPECT_GT(m_keptOld, 10);
    EXPECT_GT(m_becameNew, 0);
    CloseSound();
    SetSoundBackEnd(nullptr);
}

TEST_F(InterruptedInstall, AnEngineIsTheOldOrTheNewOneAndItsProgramRuns)
{
    const std::string old = m_base + "/old engine";
    PackageTest::WriteFile(old + "/info.cfg", "exe = \"start engine\"\ncommand = \"\"\n");
    PackageTest::WriteFile(old + "/start engine", "#!/bin/sh\nexit 0\n");
    PackageTest::WriteFile(old + "/about.htm", "<p>version 1</p>");
    fs::permissions(old + "/start engine", fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
    const std::string fresh = m_base + "/new engine";
    PackageTest::WriteFile(fresh + "/info.cfg", "exe = \"bin/run\"\ncommand = \"\"\nnosetdepth = yes\n");
    PackageTest::WriteFile(fresh + "/bin/run", "#!/bin/sh\nexit 0\n");
    PackageTest::WriteFile(fresh + "/about.htm", "<p>version 2</p>");
    fs::permissions(fresh + "/bin/run", fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);

    const auto programRuns = [](const std::string& folder) {
        const CString program = EngineProgramPath(CString(PackageTest::ReadFile(folder + "/info.cfg").c_str()));
        ASSERT_FALSE(program.IsEmpty());
        const std::string path = folder + "/" + program.GetText();
        EXPECT_TRUE(PackageTest::IsExecutable(path)) << path;
        EXPECT_EQ(system(("'" + path + "'").c_str()), 0) << path;
    };
    StopAtSteps("engine", "Wrapped", old, fresh, 1, programRuns);
    EXPECT_GT(m_keptOld, 3);
    EXPECT_GT(m_becameNew, 0);
}

} // namespace
