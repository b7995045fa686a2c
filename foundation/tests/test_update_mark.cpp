// The mark of an update in progress and the clearing of what killed writers
// left, against real folders.

#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "foundation/AtomicFile.h"
#include "foundation/UpdateMark.h"
#include "testsupport/TempFiles.h"

using Zorlin::CString;
using Zorlin::SUpdateMark;

namespace {

class UpdateMarkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = RookwellTest::MakeTempFolder("update-mark");
        ASSERT_FALSE(m_folder.empty());
    }
    void TearDown() override { RookwellTest::RemoveTree(m_folder); }

    CString Folder() const { return CString(m_folder.c_str()); }
    void Write(const std::string& relative, const std::string& bytes = "x")
    {
        RookwellTest::WriteWholeFile(m_folder + "/" + relative, bytes);
    }
    std::vector<std::string> Names(const std::string& relative = "") const
    {
        std::vector<std::string> names;
        const std::string folder = m_folder + (relative.empty() ? "" : "/" + relative);
        if (DIR* dir = opendir(folder.c_str())) {
            while (struct dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.push_back(name);
            }
            closedir(dir);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // The number of a process that has ended.
    static pid_t GonePid()
    {
        const pid_t gone = fork();
        if (gone == 0)
            _exit(0);
        waitpid(gone, nullptr, 0);
        return gone;
    }

    std::string m_folder;
};

TEST_F(UpdateMarkTest, TheMarkKeepsAnyPackagePathAndItsFolders)
{
    SUpdateMark mark;
    EXPECT_FALSE(Zorlin::ReadUpdateMark(Folder(), mark));
    mark.package = "/home/me/my \"downloads\"/a|b {c}\\d\nline two.rwf";
    mark.folders = {"engines/", "engines/stub/", "HTML/English/"};
    ASSERT_TRUE(Zorlin::WriteUpdateMark(Folder(), mark));
    EXPECT_EQ(Names(), std::vector<std::string>{"updater.unfinished"});

    SUpdateMark read;
    ASSERT_TRUE(Zorlin::ReadUpdateMark(Folder(), read));
    EXPECT_EQ(read.package, mark.package);
    EXPECT_EQ(read.folders, mark.folders);

    EXPECT_TRUE(Zorlin::ClearUpdateMark(Folder()));
    EXPECT_FALSE(Zorlin::ReadUpdateMark(Folder(), read));
    EXPECT_TRUE(read.package.IsEmpty());
    EXPECT_TRUE(Zorlin::ClearUpdateMark(Folder())) << "no mark is a cleared mark";
}

TEST_F(UpdateMarkTest, AMarkFromElsewhereNamesNoFolderOutsideAndAnUnreadableOneNoPackage)
{
    Write("updater.unfinished",
          "update={package=/p.rwf\nfolders=\"../\n/etc/\na/../../\nok/\n\nnot-a-folder\nx//\n\"\n}\n");
    SUpdateMark mark;
    ASSERT_TRUE(Zorlin::ReadUpdateMark(Folder(), mark));
    EXPECT_EQ(mark.package, CString("/p.rwf"));
    EXPECT_EQ(mark.folders, std::vector<CString>{"ok/"});

    Write("updater.unfinished", std::string("\x00\x01{{{", 5));
    ASSERT_TRUE(Zorlin::ReadUpdateMark(Folder(), mark)) << "a damaged mark is still a mark";
    EXPECT_TRUE(mark.package.IsEmpty());
    EXPECT_TRUE(mark.folders.empty());
}

TEST_F(UpdateMarkTest, LeftoversOfKilledWritersGoFromTheMarkedFoldersOnly)
{
    const std::string gone = std::to_string(GonePid());
    const std::string alive = std::to_string(getpid());
    Write("tavrin");
    Write(".tavrin.tmp-" + gone + "-3", "full size");
    Write(".updater.unfinished.tmp-" + gone + "-0");
    Write(".a.tmp-name.tmp-" + gone + "-1");   // a name holding ".tmp-" itself
    Write(".busy.tmp-" + alive + "-0");        // a writer still at work
    Write(".tavrin.tmp-" + gone + "-x");       // not the writer's pattern
    Write("tavrin.tmp-" + gone + "-1");        // nor this: no leading dot
    Write("Engines/Stub/.info.cfg.tmp-" + gone + "-7");
    Write("Engines/Stub/info.cfg");
    Write("users/me/.user.cfg.tmp-" + gone + "-1"); // not the update's

    SUpdateMark mark;
    mark.folders = {"engines/", "engines/stub/"}; // the package's spelling
    Zorlin::RemoveUpdateLeftovers(Folder(), mark);

    EXPECT_EQ(Names(), (std::vector<std::string>{".busy.tmp-" + alive + "-0", ".tavrin.tmp-" + gone + "-x",
                                                 "Engines", "tavrin", "tavrin.tmp-" + gone + "-1", "users"}));
    EXPECT_EQ(Names("Engines/Stub"), std::vector<std::string>{"info.cfg"});
    EXPECT_EQ(Names("users/me"), std::vector<std::string>{".user.cfg.tmp-" + gone + "-1"});
}

} // namespace
