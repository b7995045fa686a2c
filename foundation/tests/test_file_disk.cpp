// Disk files on real temporary folders: the open-mode matrix, access and
// state bits, seeking, and failures the operating system reports.
#include "foundation/Win32File.h"

#include "foundation/AtomicFile.h"
#include "foundation/BufferFile.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/Config.h"
#include "foundation/ConfigText.h"
#include "foundation/MemFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Zorlin;
namespace fs = std::filesystem;

namespace {

class DiskFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rookwell-file-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string PathOf(const std::string& name) const { return m_dir + "/" + name; }
    void Put(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(PathOf(name), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Get(const std::string& name) const
    {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string m_dir;
};

TEST_F(DiskFileTest, ModeMatrix)
{
    struct Case {
        unsigned mode;
        bool opensMissing;  // on a missing file
        unsigned state;     // after opening the existing file "hello"
        unsigned position;
        const char* afterWritingX; // "" when the mode cannot write
    } cases[] = {
        {1, false, 13, 0, "hello"},
        {65, false, 13, 0, "hello"},
        {3, false, 15, 0, "xello"},
        {6, false, 14, 5, "hellox"},     // append needs an existing file
        {2 | 4 | 16, false, 14, 5, "hellox"}, // open-or-create is off with append
        {2 | 16, true, 14, 0, "xello"},
        {10, true, 14, 0, "x"},          // create truncates
        {11, true, 15, 0, "x"},
    };
    for (const Case& c : cases) {
        const std::string missing = "missing" + std::to_string(c.mode);
        CWin32File created(PathOf(missing).c_str(), c.mode);
        EXPECT_EQ(created.IsOpen(), c.opensMissing) << c.mode;
        EXPECT_EQ(fs::exists(PathOf(missing)), c.opensMissing) << c.mode;

        Put("f", "hello");
        CWin32File file(PathOf("f").c_str(), c.mode);
        ASSERT_TRUE(file.IsOpen()) << c.mode;
        EXPECT_EQ(file.GetState(), c.state) << c.mode;
        EXPECT_EQ(file.GetMode(), c.mode);
        EXPECT_EQ(file.GetPosition(), c.position) << c.mode;
        EXPECT_EQ(file.Write("x", 1), (c.mode & 2) != 0) << c.mode;
        char byte;
        file.Seek(0, 0);
        EXPECT_EQ(file.Read(&byte, 1), (c.mode & 1) != 0) << c.mode;
        file.Close();
        EXPECT_EQ(Get("f"), c.afterWritingX) << c.mode;
    }
}

TEST_F(DiskFileTest, FoldersTemporariesAndSeparators)
{
    fs::create_directory(PathOf("sub"));
    for (unsigned mode : {1u, 3u, 11u}) {
        CWin32File folder(PathOf("sub").c_str(), mode);
        EXPECT_FALSE(folder.IsOpen()) << mode;
    }

    CWin32File temporary(PathOf("t").c_str(), 11 | CFile::kModeDeleteOnClose | CFile::kModeTemporary);
    ASSERT_TRUE(temporary.IsOpen());
    EXPECT_TRUE(fs::exists(PathOf("t")));
    temporary.Close();
    EXPECT_FALSE(fs::exists(PathOf("t")));

    // Names made for the other platform use backslashes between folders.
    CWin32File file((m_dir + "\\sub\\name.txt").c_str(), 10);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(std::string(file.GetFileName().GetText()), PathOf("sub/name.txt"));
    EXPECT_FALSE(file.WriteString("", true)); // nothing written, not even the 0 byte
    EXPECT_TRUE(file.WriteString("x", true));
    file.Close();
    EXPECT_EQ(Get("sub/name.txt"), std::string("x\0", 2));
}

TEST_F(DiskFileTest, SeekOrigins)
{
    Put("f", "0123456789");
    CWin32File file(PathOf("f").c_str(), 1);
    const struct {
        int offset, origin;
        bool ok;
        unsigned position;
    } steps[] = {
        {0, 1, true, 10}, {-4, 1, true, 6}, {-2, 2, true, 4}, {2, 0, true, 2},
        // An unknown origin and targets outside the file fail and stay put.
        {1, 5, false, 2}, {-3, 0, false, 2}, {1, 1, false, 2}, {-3, 2, false, 2},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(file.Seek(s.offset, s.origin), s.ok) << s.offset << "," << s.origin;
        EXPECT_EQ(file.GetPosition(), s.position) << s.offset << "," << s.origin;
    }
    file.Close();
    char c;
    EXPECT_FALSE(file.Seek(0, 0));
    EXPECT_FALSE(file.Read(&c, 1));
    EXPECT_EQ(file.GetLastReadCount(), 0u);
    EXPECT_EQ(file.GetSize(), 0u);
}

// A file of 5 GiB, sparse so that it costs no disk, with marks that straddle
// 2 GiB and 4 GiB and one at its end: positions and sizes are 64-bit both on
// the disk file and through the block cache in front of it.
TEST_F(DiskFileTest, SeeksAndReadsPastFourGigabytes)
{
    const int64_t kGiB = int64_t(1) << 30;
    const int64_t size = 5 * kGiB;
    const struct {
        int64_t at;
        const char* text;
    } marks[] = {{2 * kGiB - 3, "two|GiB"}, {4 * kGiB - 3, "4GiB|on"}, {size - 4, "end!"}};
    {
        const int fd = ::open(PathOf("big").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, off_t(size)), 0);
        for (const auto& mark : marks)
            ASSERT_EQ(pwrite(fd, mark.text, strlen(mark.text), off_t(mark.at)), ssize_t(strlen(mark.text)));
        ::close(fd);
    }
    CWin32File file(PathOf("big").c_str(), 1);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.GetSize(), uint64_t(size));
    EXPECT_EQ(file.GetSize32(), UINT32_MAX) << "the 32-bit formats see a size their caps refuse";
    char got[8] = {};
    for (const auto& mark : marks) {
        ASSERT_TRUE(file.Seek(mark.at, CFile::kSeekStart)) << mark.text;
        EXPECT_EQ(file.GetPosition(), uint64_t(mark.at));
        ASSERT_TRUE(file.Read(got, unsigned(strlen(mark.text))));
        EXPECT_EQ(std::string(got, strlen(mark.text)), mark.text);
    }
    EXPECT_EQ(file.GetPosition(), uint64_t(size));
    EXPECT_FALSE(file.Read(got, 1));
    ASSERT_TRUE(file.Seek(-3 * kGiB, CFile::kSeekCurrent));
    EXPECT_EQ(file.GetPosition(), uint64_t(2 * kGiB));
    ASSERT_TRUE(file.Seek(-4, CFile::kSeekEnd));
    EXPECT_EQ(file.GetPosition(), uint64_t(size - 4));
    // Out of range, however far, fails and stays put.
    const struct {
        int64_t offset;
        int origin;
    } outside[] = {
        {size + 1, CFile::kSeekStart}, {INT64_MAX, CFile::kSeekStart}, {INT64_MIN, CFile::kSeekStart},
        {1, CFile::kSeekEnd},          {INT64_MAX, CFile::kSeekEnd},   {-size - 1, CFile::kSeekEnd},
        {5, CFile::kSeekCurrent},      {INT64_MAX, CFile::kSeekCurrent}, {-size, CFile::kSeekCurrent},
    };
    for (const auto& seek : outside)
        EXPECT_FALSE(file.Seek(seek.offset, seek.origin)) << seek.offset << "," << seek.origin;
    EXPECT_EQ(file.GetPosition(), uint64_t(size - 4));

    CBufferedInputFile buffered(&file, 16384, 2);
    EXPECT_EQ(buffered.GetSize(), uint64_t(size));
    for (const auto& mark : marks) {
        // Byte by byte, then in one read: the marks cross block boundaries.
        ASSERT_TRUE(buffered.Seek(mark.at, CFile::kSeekStart)) << mark.text;
        std::string bytes;
        char c;
        while (bytes.size() < strlen(mark.text) && buffered.Read(&c, 1))
            bytes += c;
        EXPECT_EQ(bytes, mark.text);
        ASSERT_TRUE(buffered.Seek(-int64_t(bytes.size()), CFile::kSeekCurrent));
        ASSERT_TRUE(buffered.Read(got, unsigned(strlen(mark.text))));
        EXPECT_EQ(buffered.GetLastReadCount(), strlen(mark.text));
        EXPECT_EQ(std::string(got, strlen(mark.text)), mark.text);
        EXPECT_EQ(buffered.GetPosition(), uint64_t(mark.at) + strlen(mark.text));
    }
    EXPECT_FALSE(buffered.Read(got, 1)) << "at the end";
    EXPECT_FALSE(buffered.Seek(1, CFile::kSeekCurrent));
    EXPECT_FALSE(buffered.Seek(INT64_MIN, CFile::kSeekEnd));
    EXPECT_EQ(buffered.GetPosition(), uint64_t(size));
}

TEST_F(DiskFileTest, FullDiskIsAFailedWrite)
{
    if (access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    CWin32File file("/dev/full", 2);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_FALSE(file.Write("abc", 3));
    EXPECT_EQ(file.GetLastWriteCount(), 0u);
    EXPECT_FALSE(file.WriteLine("text"));
}

// A FIFO whose writer has a megabyte of settings to give and keeps it coming while it
// is read: read opens it (as a client would, for reading) once the writer
// is there and something waits in the pipe. What read got is returned.
template <class F> auto ReadFromBusyFifo(const std::string& path, F read)
{
    std::atomic<bool> waiting{false};
    std::thread writer([&] {
        const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        std::string chunk;
        while (chunk.size() < 4096)
            chunk += "key = value\n";
        for (int i = 0; i < 250; ++i) {
            if (write(fd, chunk.data(), chunk.size()) <= 0)
                break;
            waiting = true;
        }
        close(fd);
    });
    // The writer's open waits for a reader: this one holds the FIFO open
    // for it while the real reader comes.
    const int holder = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    while (!waiting)
        std::this_thread::yield();
    CWin32File file(path.c_str(), CFile::kModeRead);
    close(holder);
    auto result = read(file);
    file.Close();
    writer.join();
    return result;
}

// Devices and FIFOs have no size; what would read them whole reads nothing
// at all, so one that never ends (or never writes) cannot hold the reader.
TEST_F(DiskFileTest, WholeFileReadersStopAtTheSizeOfWhatTheyRead)
{
    signal(SIGPIPE, SIG_IGN);
    Put("plain.cfg", "key = value\n");
    CWin32File plain(PathOf("plain.cfg").c_str(), CFile::kModeRead);
    ASSERT_TRUE(plain.IsOpen());
    EXPECT_TRUE(plain.IsRegular());
    CWin32File zero("/dev/zero", CFile::kModeRead);
    ASSERT_TRUE(zero.IsOpen());
    EXPECT_FALSE(zero.IsRegular());
    CWin32File closed;
    EXPECT_FALSE(closed.IsRegular());

    const std::string fifo = PathOf("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadFromBusyFifo(fifo, [](CWin32File& f) { return f.IsRegular(); }));
    EXPECT_EQ(ReadFromBusyFifo(fifo, [](CWin32File& f) {
                  CConfig store;
                  store.Read(f);
                  return store.GetKeyCount();
              }),
              0);
    EXPECT_EQ(ReadFromBusyFifo(fifo, [](CWin32File& f) {
                  CConfig store;
                  ReadWhole(store, f);
                  return store.GetKeyCount();
              }),
              0);
    EXPECT_EQ(ReadFromBusyFifo(fifo, [](CWin32File& f) { return CString(f).GetLength(); }), 0);
    EXPECT_EQ(ReadFromBusyFifo(fifo, [](CWin32File& f) { return CMemFile(f, 1024).GetSize(); }), 0u);
    EXPECT_EQ(ReadFromBusyFifo(fifo, [](CWin32File& f) { return CBufferFile(f).GetSize(); }), 0u);
    EXPECT_EQ(ReadFromBusyFifo(fifo,
                               [&](CWin32File& f) {
                                   WriteFileAtomically(PathOf("copy").c_str(), f);
                                   return fs::file_size(PathOf("copy"));
                               }),
              0u);

    // A plain file is still read whole.
    CConfig store;
    ASSERT_TRUE(store.Read(plain));
    EXPECT_EQ(std::string(store.GetValueOr("key", "").GetText()), "value");
}

} // namespace
