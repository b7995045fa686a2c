// rwpack, run as a program: pack a folder, list it, extract it, append to a
// host, and leave a host alone when packing fails.
#include <algorithm>

#include "test_archive_support.h"

using namespace ArchiveTest;

namespace {

std::string Tool()
{
#ifdef RWPACK_PATH
    return RWPACK_PATH;
#else
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? size_t(n) : 0);
    return path.substr(0, path.rfind('/')) + "/tools/rwpack";
#endif
}

int Rwpack(const std::string& args, std::string* out = nullptr)
{
    return RunCommand(Quote(Tool()) + " " + args + " 2>&1", out);
}

// A folder of files of several sizes, one empty folder, one nested three deep.
std::vector<std::pair<std::string, Bytes>> MakeTree(const std::string& root)
{
    std::vector<std::pair<std::string, Bytes>> files = {
        {"readme.txt", Pattern(100, 1)},
        {"empty.bin", {}},
        {"board/pieces/white.png", Pattern(20000, 2)},
        {"board/board.cfg", Pattern(8192, 3)},
        {"sounds/a/b/c/move.wav", Pattern(8193, 4)},
    };
    std::filesystem::create_directories(root + "/board/pieces");
    std::filesystem::create_directories(root + "/sounds/a/b/c");
    std::filesystem::create_directories(root + "/nothing");
    for (const auto& f : files)
        WriteDisk(root + "/" + f.first, f.second);
    return files;
}

void ExpectSameFiles(const std::string& a, const std::string& b)
{
    std::vector<std::string> left, right;
    for (const auto& e : std::filesystem::recursive_directory_iterator(a))
        left.push_back(std::filesystem::relative(e.path(), a).string());
    for (const auto& e : std::filesystem::recursive_directory_iterator(b))
        right.push_back(std::filesystem::relative(e.path(), b).string());
    std::sort(left.begin(), left.end());
    std::sort(right.begin(), right.end());
    EXPECT_EQ(left, right);
    for (const std::string& path : left) {
        if (!std::filesystem::is_regular_file(a + "/" + path))
            continue;
        EXPECT_EQ(ReadDisk(a + "/" + path), ReadDisk(b + "/" + path)) << path;
    }
}

TEST(Rwpack, PackListExtractRoundTrip)
{
    CTempDir dir;
    const std::string source = dir / "Theme";
    MakeTree(source);
    const std::string archive = dir / "theme.rwb";
    std::string out;
    ASSERT_EQ(Rwpack("pack " + Quote(archive) + " " + Quote(source), &out), 0) << out;

    ASSERT_EQ(Rwpack("list " + Quote(archive), &out), 0) << out;
    EXPECT_EQ(out,
              "A Theme 8192\n"
              "D board/\n"
              "F board/board.cfg 8192 z\n"
              "D board/pieces/\n"
              "F board/pieces/white.png 20000 z\n"
              "F empty.bin 0 z\n"
              "D nothing/\n"
              "F readme.txt 100 z\n"
              "D sounds/\n"
              "D sounds/a/\n"
              "D sounds/a/b/\n"
              "D sounds/a/b/c/\n"
              "F sounds/a/b/c/move.wav 8193 z\n");
    if (HavePython()) {
        std::string theirs;
        ASSERT_EQ(Reference("list " + Quote(archive), &theirs), 0) << theirs;
        EXPECT_EQ(theirs, out);
    }

    ASSERT_EQ(Rwpack("extract " + Quote(archive) + " " + Quote(dir / "out"), &out), 0) << out;
    ExpectSameFiles(source, dir / "out");
}

TEST(Rwpack, StoredSmallChunksAppendedToAHost)
{
    CTempDir dir;
    const std::string source = dir / "src";
    MakeTree(source);
    const std::string host = dir / "host.bin";
    const Bytes front = Pattern(777, 9);
    WriteDisk(host, front);
    std::string out;
    ASSERT_EQ(Rwpack("pack -a -s -c 100 -n lower " + Quote(host) + " " + Quote(source), &out), 0) << out;
    ASSERT_EQ(Rwpack("pack -a -n upper " + Quote(host) + " " + Quote(source + "/board"), &out), 0) << out;
    const Bytes stacked = ReadDisk(host);
    ASSERT_GT(stacked.size(), front.size());
    EXPECT_TRUE(std::equal(front.begin(), front.end(), stacked.begin()));

    ASSERT_EQ(Rwpack("list -n LOWER " + Quote(host), &out), 0) << out;
    EXPECT_EQ(out.substr(0, out.find('\n')), "A lower 100");
    EXPECT_NE(out.find("F board/pieces/white.png 20000 s\n"), std::string::npos) << out;
    ASSERT_EQ(Rwpack("list " + Quote(host), &out), 0) << out;
    EXPECT_EQ(out, "A upper 8192\nF board.cfg 8192 z\nD pieces/\nF pieces/white.png 20000 z\n");

    ASSERT_EQ(Rwpack("extract -n lower " + Quote(host) + " " + Quote(dir / "low"), &out), 0) << out;
    ExpectSameFiles(source, dir / "low");
    ASSERT_EQ(Rwpack("extract " + Quote(host) + " " + Quote(dir / "up"), &out), 0) << out;
    ExpectSameFiles(source + "/board", dir / "up");
    EXPECT_NE(Rwpack("list -n missing " + Quote(host), &out), 0);
}

TEST(Rwpack, FailedPackLeavesTheHostAsItWas)
{
    CTempDir dir;
    const std::string source = dir / "src";
    std::filesystem::create_directories(source);
    WriteDisk(source + "/Same", {1});
    WriteDisk(source + "/same", {2}); // one name to an archive
    const std::string host = dir / "host.bin";
    const Bytes front = Pattern(300, 5);
    WriteDisk(host, front);
    std::string out;
    EXPECT_EQ(Rwpack("pack -a " + Quote(host) + " " + Quote(source), &out), 1) << out;
    EXPECT_EQ(ReadDisk(host), front);
    EXPECT_EQ(Rwpack("pack " + Quote(dir / "new.arc") + " " + Quote(source), &out), 1) << out;
    EXPECT_FALSE(std::filesystem::exists(dir / "new.arc"));

    EXPECT_EQ(Rwpack("pack " + Quote(dir / "x.arc") + " " + Quote(dir / "missing"), &out), 1);
    EXPECT_EQ(Rwpack("list " + Quote(host), &out), 1);
    EXPECT_EQ(Rwpack("pack -c 0 a b", &out), 2);
    EXPECT_EQ(Rwpack("frobnicate", &out), 2);
}

TEST(Rwpack, ArchiveInsideTheFolderIsNotPackedIntoItself)
{
    CTempDir dir;
    const std::string source = dir / "src";
    std::filesystem::create_directories(source);
    WriteDisk(source + "/a.txt", Pattern(50, 1));
    std::string out;
    ASSERT_EQ(Rwpack("pack " + Quote(source + "/self.arc") + " " + Quote(source), &out), 0) << out;
    ASSERT_EQ(Rwpack("list " + Quote(source + "/self.arc"), &out), 0) << out;
    EXPECT_EQ(out, "A src 8192\nF a.txt 50 z\n");
}

} // namespace
