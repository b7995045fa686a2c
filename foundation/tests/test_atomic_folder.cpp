// Folders replaced whole on a real disk: what the new tree keeps of the old
// one, that the old one is never written to, and how the leftovers of a swap
// cut short are mended. (Stops at every step of a real install are in the
// client's package tests.)

#include "foundation/AtomicFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/AtomicFile.h"
#include "testsupport/TempFiles.h"

namespace fs = std::filesystem;
using RookwellTest::ReadWholeFile;
using RookwellTest::WriteWholeFile;
using Zorlin::CAtomicFolder;
using Zorlin::CString;

namespace {

// Relative path -> what is there: a file's bytes, "<dir>" or "-> destination".
std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(item.path(), folder).generic_string();
        if (item.is_symlink())
            tree[name] = "-> " + fs::read_symlink(item.path()).string();
        else if (item.is_directory())
            tree[name] = "<dir>";
        else
            tree[name] = ReadWholeFile(item.path().string());
    }
    return tree;
}

mode_t Mode(const std::string& path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

bool Write(const std::string& path, const std::string& bytes)
{
    return Zorlin::WriteFileAtomically(CString(path.c_str()), bytes.data(), bytes.size());
}

class AtomicFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_base = RookwellTest::MakeTempFolder("atomic-folder");
        ASSERT_FALSE(m_base.empty());
        m_target = m_base + "/board";
        WriteWholeFile(m_target + "/info.cfg", "old info");
        WriteWholeFile(m_target + "/graphics/board.png", "old board");
        WriteWholeFile(m_target + "/graphics/mine.txt", "the user's");
        WriteWholeFile(m_target + "/locked/keep.txt", "kept");
        WriteWholeFile(m_target + "/run", "#!/bin/sh\n");
        ::chmod((m_target + "/run").c_str(), 0750);
        ::chmod((m_target + "/locked").c_str(), 0555);
        fs::create_symlink("info.cfg", m_target + "/settings");
    }
    void TearDown() override
    {
        ::chmod(m_base.c_str(), 0755);
        for (const auto& entry : fs::recursive_directory_iterator(m_base))
            if (entry.is_directory() && !entry.is_symlink())
                ::chmod(entry.path().c_str(), 0755);
        RookwellTest::RemoveTree(m_base);
    }

    std::string m_base;
    std::string m_target;
};

TEST_F(AtomicFolder, TheNewTreeReplacesTheOldWholeAndKeepsWhatItDoesNotReplace)
{
    const auto before = Snapshot(m_target);
    struct stat oldInfo;
    ASSERT_EQ(stat(m_target.c_str(), &oldInfo), 0);

    CAtomicFolder folder;
    ASSERT_TRUE(folder.Open(CString(m_target.c_str())));
    const std::string fresh = folder.GetNewFolder().GetText();
    EXPECT_EQ(fs::path(fresh).parent_path(), fs::path(m_base));
    EXPECT_TRUE(Zorlin::IsFolderSwapName(CString(fs::path(fresh).filename().c_str())));
    EXPECT_EQ(Snapshot(fresh), before) << "the new tree starts as a copy";

    ASSERT_TRUE(Write(fresh + "/info.cfg", "new info"));
    ASSERT_TRUE(Write(fresh + "/graphics/board.png", "new board"));
    ASSERT_TRUE(Write(fresh + "/graphics/added.png", "added"));
    EXPECT_EQ(Snapshot(m_target), before) << "the old tree never changes while the new one is built";

    ASSERT_TRUE(folder.Commit());
    auto after = before;
    after["info.cfg"] = "new info";
    after["graphics/board.png"] = "new board";
    after["graphics/added.png"] = "added";
    EXPECT_EQ(Snapshot(m_target), after);
    EXPECT_EQ(Mode(m_target + "/run"), 0750u);
    EXPECT_EQ(Mode(m_target + "/locked"), 0555u);
    EXPECT_EQ(RookwellTest::ListFolder(m_base), std::vector<std::string>{"board"}) << "the old tree is gone";
    struct stat newInfo;
    ASSERT_EQ(stat(m_target.c_str(), &newInfo), 0);
    EXPECT_NE(newInfo.st_ino, oldInfo.st_ino) << "a folder of its own, not the old one written over";
}

TEST_F(AtomicFolder, AnAbortedOrForgottenTreeLeavesTheTargetAsItWas)
{
    const auto before = Snapshot(m_target);
    {
        CAtomicFolder folder;
        ASSERT_TRUE(folder.Open(CString(m_target.c_str())));
        ASSERT_TRUE(Write(std::string(folder.GetNewFolder().GetText()) + "/info.cfg", "new info"));
        folder.Abort();
        EXPECT_FALSE(folder.Commit());
    }
    EXPECT_EQ(Snapshot(m_target), before);
    EXPECT_EQ(RookwellTest::ListFolder(m_base), std::vector<std::string>{"board"});
    {
        CAtomicFolder folder;
        ASSERT_TRUE(folder.Open(CString(m_target.c_str())));
        ASSERT_TRUE(Write(std::string(folder.GetNewFolder().GetText()) + "/info.cfg", "new info"));
    }
    EXPECT_EQ(Snapshot(m_target), before);
    EXPECT_EQ(RookwellTest::ListFolder(m_base), std::vector<std::string>{"board"});
}

TEST_F(AtomicFolder, AMissingTargetIsMadeAndALinkedOneIsReplacedWhereItPoints)
{
    CAtomicFolder folder;
    ASSERT_TRUE(folder.Open(CString((m_base + "/second").c_str())));
    ASSERT_TRUE(Write(std::string(folder.GetNewFolder().GetText()) + "/info.cfg", "second"));
    EXPECT_FALSE(fs::exists(m_base + "/second"));
    ASSERT_TRUE(folder.Commit());
    EXPECT_EQ(ReadWholeFile(m_base + "/second/info.cfg"), "second");

    // The user keeps the board elsewhere and links it in.
    const std::string elsewhere = m_base + "/elsewhere";
    fs::create_directories(elsewhere);
    fs::rename(m_target, elsewhere + "/board");
    fs::create_symlink(elsewhere + "/board", m_target);
    ASSERT_TRUE(folder.Open(CString(m_target.c_str())));
    ASSERT_TRUE(Write(std::string(folder.GetNewFolder().GetText()) + "/info.cfg", "new info"));
    ASSERT_TRUE(folder.Commit());
    EXPECT_TRUE(fs::is_symlink(m_target));
    EXPECT_EQ(ReadWholeFile(m_target + "/info.cfg"), "new info");
    EXPECT_EQ(ReadWholeFile(m_target + "/graphics/mine.txt"), "the user's");
    EXPECT_EQ(RookwellTest::ListFolder(elsewhere), std::vector<std::string>{"board"});

    EXPECT_FALSE(folder.Open(CString((m_target + "/info.cfg").c_str()))) << "a file is no folder";
    EXPECT_FALSE(folder.Open(CString((m_base + "/no such/board").c_str())));
}

TEST_F(AtomicFolder, MendingMakesEveryTargetWholeAgain)
{
    const auto board = Snapshot(m_target);
    const auto make = [this](const std::string& name, const std::string& text) {
        WriteWholeFile(m_base + "/" + name + "/info.cfg", text);
    };
    make(".board.new-4000001", "half of a new one");          // stopped before the swap
    make(".aside.old-4000002", "the old one");                 // stopped between two renames
    make(".aside.new-4000002", "the new one, not yet in");     // ... and its new tree
    make(".done.old-4000003", "the old one, replaced");        // stopped before removing it
    make("done", "the new one");
    make(".left.tmp-4000004-1", "not a swap's");
    make("plain.new-4000005", "not hidden: a board of its own");

    std::vector<CString> unmended;
    EXPECT_TRUE(Zorlin::MendFolderSwaps(CString(m_base.c_str()), unmended));
    EXPECT_TRUE(unmended.empty());
    EXPECT_EQ(RookwellTest::ListFolder(m_base), (std::vector<std::string>{".left.tmp-4000004-1", "aside", "board", "done",
                                                       "plain.new-4000005"}));
    EXPECT_EQ(ReadWholeFile(m_base + "/aside/info.cfg"), "the old one");
    EXPECT_EQ(ReadWholeFile(m_base + "/done/info.cfg"), "the new one");
    EXPECT_EQ(Snapshot(m_target), board);

    // A swap under way is no leftover.
    CAtomicFolder folder;
    ASSERT_TRUE(folder.Open(CString(m_target.c_str())));
    EXPECT_TRUE(Zorlin::MendFolderSwaps(CString(m_base.c_str()), unmended));
    EXPECT_TRUE(fs::is_directory(folder.GetNewFolder().GetText()));
    ASSERT_TRUE(Write(std::string(folder.GetNewFolder().GetText()) + "/info.cfg", "new info"));
    ASSERT_TRUE(folder.Commit());
    EXPECT_EQ(ReadWholeFile(m_target + "/info.cfg"), "new info");
}

TEST_F(AtomicFolder, AnOldTreeThatCannotBePutBackIsNamed)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "the superuser writes into any folder";
    WriteWholeFile(m_base + "/.lost.old-4000001/info.cfg", "the old one");
    ASSERT_EQ(::chmod(m_base.c_str(), 0555), 0);
    std::vector<CString> unmended;
    EXPECT_FALSE(Zorlin::MendFolderSwaps(CString(m_base.c_str()), unmended));
    ASSERT_EQ(unmended.size(), 1u);
    EXPECT_EQ(unmended[0], CString("lost"));
    CAtomicFolder folder;
    EXPECT_FALSE(folder.Open(CString(m_target.c_str()))) << "no room beside it for a new tree";
    ASSERT_EQ(::chmod(m_base.c_str(), 0755), 0);
    EXPECT_TRUE(Zorlin::MendFolderSwaps(CString(m_base.c_str()), unmended));
    EXPECT_EQ(ReadWholeFile(m_base + "/lost/info.cfg"), "the old one");
}

TEST(AtomicFolderNames, OnlyTheHiddenNamesOfASwapAreLeftOut)
{
    for (const char* name : {".board.new-12", ".large wood.old-4000001", ".a.b.new-1"})
        EXPECT_TRUE(Zorlin::IsFolderSwapName(CString(name))) << name;
    for (const char* name : {"board", ".board", ".board.new-", ".new-12", "board.new-12", ".board.tmp-12-3",
                             ".board.new-12x", ".board.old", "..new-1", "...new-1"})
        EXPECT_FALSE(Zorlin::IsFolderSwapName(CString(name))) << name;
}

} // namespace
