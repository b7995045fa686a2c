#include <vector>
#include <cstdio>
#include <unistd.h>
#include <sys/wait.h>
#include <sys/resource.h>
// Memory, buffer, cached and null files, and the stream adapters. Random
// operation runs are checked against a std::string that models the file.
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/InputStream.h"
#include "foundation/MemFile.h"
#include "foundation/NullFile.h"
#include "foundation/OutputStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

using namespace Zorlin;

namespace {

std::string RandomBytes(std::mt19937& random, size_t n)
{
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Random writes, seeks and reads on a growable file, mirrored on a model.
void RunAgainstModel(CFile& file, unsigned seed)
{
    std::mt19937 random(seed);
    std::string model;
    size_t position = 0;
    for (int step = 0; step < 3000; ++step) {
        switch (random() % 4) {
        case 0: {
            const std::string bytes = RandomBytes(random, random() % 40);
            const bool written = file.Write(bytes.data(), static_cast<unsigned>(bytes.size()));
            if (bytes.empty())
                continue; // each file kind has its own answer for nothing
            ASSERT_TRUE(written);
            ASSERT_EQ(file.GetLastWriteCount(), bytes.size());
            if (model.size() < position + bytes.size())
                model.resize(position + bytes.size());
            model.replace(position, bytes.size(), bytes);
            position += bytes.size();
            break;
        }
        case 1: {
            const int origin = static_cast<int>(random() % 3);
            const int offset = static_cast<int>(random() % 200) - 100;
            const long base = origin == 0 ? 0 : origin == 1 ? long(model.size()) : long(position);
            const long target = base + offset;
            const bool inside = target >= 0 && target <= long(model.size());
            ASSERT_EQ(file.Seek(offset, origin), inside) << origin << " " << offset;
            if (inside)
                position = static_cast<size_t>(target);
            break;
        }
        default: {
            char out[64];
            const unsigned want = static_cast<unsigned>(random() % sizeof out);
            const bool read = file.Read(out, want);
            const size_t expect = std::min<size_t>(want, model.size() - position);
            ASSERT_EQ(read, expect > 0);
            if (read) {
                ASSERT_EQ(std::string(out, file.GetLastReadCount()),
                          model.substr(position, file.GetLastReadCount()));
                position += file.GetLastReadCount();
            }
            break;
        }
        }
        ASSERT_EQ(file.GetSize(), model.size());
        ASSERT_EQ(file.GetPosition(), position);
    }
}

TEST(MemFile, BehavesLikeAByteString)
{
    for (int blockSize : {1, 7, 1024}) {
        CMemFile file(blockSize);
        ASSERT_TRUE(file.Open(CString("m"), 11));
        RunAgainstModel(file, 100 + static_cast<unsigned>(blockSize));
    }
}

TEST(MemFile, BlocksReopeningAndCopies)
{
    CMemFile file;
    EXPECT_FALSE(file.Write("x", 1)); // not open yet
    file.Open(CString("game.pgn"), 11);
    const std::string bytes(3000, 'q');
    EXPECT_TRUE(file.Write(bytes.data(), 3000));
    EXPECT_EQ(file.GetBlockCount(), 3);
    EXPECT_FALSE(file.Seek(3001, 0));
    EXPECT_TRUE(file.Seek(0, 1));
    EXPECT_EQ(file.GetPosition(), 3000u);

    file.Seek(2996, 0);
    CMemFile copy(file, 3); // from the position; the source's is put back
    EXPECT_EQ(std::string(copy.GetFileName().GetText()), "game.pgn");
    EXPECT_EQ(copy.GetSize(), 4u);
    EXPECT_EQ(copy.GetPosition(), 0u);
    EXPECT_EQ(file.GetPosition(), 2996u);

    // Reopening empties the file but keeps its blocks for reuse.
    file.Open(CString("again"), 2);
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_EQ(file.GetBlockCount(), 3);
    EXPECT_TRUE(file.Write("abc", 3));
    file.Seek(0, 0);
    char c;
    EXPECT_FALSE(file.Read(&c, 1)); // opened without read access
    file.Close();
    EXPECT_EQ(file.GetBlockCount(), 0);
}

TEST(BufferFile, OwnedBuffersGrow)
{
    CBufferFile file;
    EXPECT_EQ(file.GetState(), 15u);
    EXPECT_EQ(file.GetSize(), 0xFFFFFFFFu); // unset until the first write
    char c;
    EXPECT_FALSE(file.Read(&c, 1));
    EXPECT_FALSE(file.Seek(0, 0));
    EXPECT_TRUE(file.Write("hello", 5));
    EXPECT_EQ(file.GetSize(), 5u);
    EXPECT_EQ(file.GetPosition(), 5u);
    EXPECT_TRUE(file.Seek(2, 5)); // an unknown origin counts from the start
    EXPECT_EQ(file.GetPosition(), 2u);

    CBufferFile modelled;
    modelled.Write("", 0); // gives the buffer its first size
    RunAgainstModel(modelled, 5);

    CMemFile source;
    source.Open(CString("cfg"), 11);
    source.Write("skip|keep", 9);
    source.Seek(5, 0);
    CBufferFile copy(source);
    EXPECT_EQ(copy.GetSize(), 4u); // only the bytes copied, nothing stale after
    EXPECT_EQ(copy.GetPosition(), 0u);
    EXPECT_EQ(CString(copy), "keep");
}

TEST(BufferFile, FixedBuffersTakeOnlyWhatFits)
{
    CString original("abc");
    CString text(original);
    CBufferFile file(text);
    EXPECT_EQ(std::string(file.GetFileName().GetText()), "string");
    EXPECT_EQ(file.GetSize(), 4u); // the terminator is part of the file
    EXPECT_FALSE(file.Write("0123456789", 10));
    EXPECT_EQ(file.GetLastWriteCount(), 4u);
    EXPECT_EQ(std::string(text.GetText(), 4), std::string("0123", 4));
    EXPECT_STREQ(original.GetText(), "abc"); // its shared copy is untouched
    EXPECT_FALSE(file.Seek(1, 1));
    file.Open(CString("a"), 6);
    EXPECT_EQ(file.GetPosition(), 4u); // append starts at the end

    CBuffer other;
    other.Allocate(2);
    file.SetBuffer(&other);
    EXPECT_EQ(file.GetSize(), 2u);
    EXPECT_EQ(file.GetPosition(), 4u);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.Write("x", 1));
}

// Counts the reads that reach the inner file.
class CCountingFile : public CMemFile {
public:
    using CFile::Read;
    bool Read(void* buffer, unsigned count) override
    {
        ++m_reads;
        return CMemFile::Read(buffer, count);
    }
    int m_reads = 0;
};

TEST(BufferedInputFile, ByteReadsTouchEachBlockOnce)
{
    std::mt19937 random(3);
    const std::string bytes = RandomBytes(random, 40000);
    CCountingFile inner;
    inner.Open(CString("big"), 11);
    inner.Write(bytes.data(), 40000);
    inner.m_reads = 0;
    CBufferedInputFile file(&inner, 16384, 2);
    EXPECT_EQ(file.GetMaxBlocks(), 3);
    EXPECT_EQ(std::string(file.GetFileName().GetText()), "big");
    std::string seen;
    char c;
    while (file.Read(&c, 1))
        seen += c;
    EXPECT_EQ(seen, bytes);
    EXPECT_EQ(inner.m_reads, 3);
    EXPECT_FALSE(file.Write("x", 1));
}

TEST(BufferedInputFile, RandomReadsMatchTheInnerFile)
{
    std::mt19937 random(11);
    for (unsigned size : {1000u, 1024u}) { // 1024 ends on a block boundary
        const std::string bytes = RandomBytes(random, size);
        CMemFile inner;
        inner.Open(CString("i"), 11);
        inner.Write(bytes.data(), size);
        CBufferedInputFile file(&inner, 60, 3); // blocks of 64
        EXPECT_EQ(file.GetBlockSize(), 64u);
        for (int i = 0; i < 2000; ++i) {
            const unsigned at = static_cast<unsigned>(random() % (size + 1));
            ASSERT_TRUE(file.Seek(static_cast<int>(at), 0));
            char out[300];
            const unsigned want = static_cast<unsigned>(random() % sizeof out);
            const size_t expect = std::min<size_t>(want, size - at);
            ASSERT_EQ(file.Read(out, want), expect > 0);
            ASSERT_EQ(file.GetLastReadCount(), expect);
            ASSERT_EQ(std::string(out, expect), bytes.substr(at, expect));
            ASSERT_EQ(file.GetPosition(), at + expect);
        }
        EXPECT_FALSE(file.Seek(1, 1));
    }
}

// Counts the size questions that reach the inner file.
class CSizeCountingFile : public CMemFile {
public:
    uint64_t GetSize() const override
    {
        ++m_sizeQueries;
        return CMemFile::GetSize();
    }
    mutable int m_sizeQueries = 0;
};

TEST(BufferedInputFile, SizeIsAskedOncePerOpening)
{
    std::mt19937 random(17);
    const std::string bytes = RandomBytes(random, 5000);
    CSizeCountingFile inner;
    inner.Open(CString("lines"), 11);
    inner.Write(bytes.data(), 5000);
    inner.m_sizeQueries = 0;
    CBufferedInputFile file(&inner, 1024, 3);

    // Line readers step back one byte per line: many seeks, one question.
    for (int i = 0; i < 1000; ++i) {
        const int at = int(random() % 5001);
        ASSERT_TRUE(file.Seek(at, CFile::kSeekStart));
        ASSERT_TRUE(file.Seek(-at, CFile::kSeekEnd));
        ASSERT_EQ(file.GetPosition(), unsigned(5000 - at));
        ASSERT_EQ(file.GetSize(), 5000u);
    }
    EXPECT_FALSE(file.Seek(5001, CFile::kSeekStart));
    EXPECT_FALSE(file.Seek(1, CFile::kSeekEnd));
    EXPECT_EQ(inner.m_sizeQueries, 1);

    // Opening again through the cache asks the new file's size.
    file.Close();
    EXPECT_EQ(file.GetSize(), 0u);
    EXPECT_FALSE(file.Seek(1, CFile::kSeekStart));
    ASSERT_TRUE(file.Open(CString("again"), 11));
    inner.Write("abc", 3);
    EXPECT_TRUE(file.Seek(0, CFile::kSeekEnd));
    EXPECT_EQ(file.GetPosition(), 3u);
    char out[4] = {};
    EXPECT_TRUE(file.Seek(0, CFile::kSeekStart));
    EXPECT_TRUE(file.Read(out, 3));
    EXPECT_STREQ(out, "abc");
}

// Offsets are 64-bit: one far out of range, either way and from any origin,
// fails and leaves the position alone instead of wrapping round.
TEST(MemoryFiles, FarSeeksFailAndStayPut)
{
    CMemFile mem;
    mem.Open(CString("m"), 11);
    mem.Write("0123456789", 10);
    CString text("0123456789");
    CBufferFile buffer(text);
    CBufferedInputFile cached(&mem, 1024, 3);
    for (CFile* file : {static_cast<CFile*>(&mem), static_cast<CFile*>(&buffer), static_cast<CFile*>(&cached)}) {
        ASSERT_TRUE(file->Seek(4, CFile::kSeekStart));
        for (int64_t offset : {INT64_MAX, INT64_MIN, int64_t(1) << 32, -(int64_t(1) << 32), int64_t(UINT32_MAX) + 5})
            for (int origin : {CFile::kSeekStart, CFile::kSeekEnd, CFile::kSeekCurrent})
                EXPECT_FALSE(file->Seek(offset, origin)) << offset << "," << origin;
        EXPECT_EQ(file->GetPosition(), 4u);
        EXPECT_TRUE(file->Seek(-4, CFile::kSeekCurrent));
        EXPECT_EQ(file->GetPosition(), 0u);
    }
}

TEST(NullFile, RefusesEverything)
{
    CNullFile file;
    char c = 0;
    EXPECT_TRUE(file.IsNull());
    EXPECT_FALSE(CMemFile().IsNull());
    EXPECT_FALSE(file.Open(CString("x"), 11) || file.IsOpen() || file.Read(&c, 1) ||
                 file.Write(&c, 1) || file.Seek(0, 0));
    EXPECT_TRUE(CString(file).IsEmpty());
}

TEST(Streams, OutputIntoAFile)
{
    CMemFile* file = new CMemFile; // the stream owns it
    file->Open(CString("log"), 11);
    CFileOutputStream out(file, true);
    out.WriteString("a").WriteChar('b');
    out.WriteNewLine(2); // LF by default
    out.SetLineStyle(COutputStream::kLineCrLf);
    out.WriteNewLine(1);
    out.WriteTab(2);
    out.SetNullLineEnd(true);
    out.WriteNewLine(1);
    out.SetNullLineEnd(false);
    out.SetLineStyle(9);
    out.WriteNewLine(3);
    file->Seek(0, 0);
    CString text(*file);
    EXPECT_EQ(std::string(text.GetText(), text.GetLength()), std::string("ab\n\n\r\n\t\t\0", 9));
    EXPECT_FALSE(CFileOutputStream().IsOpen());

    std::mt19937 random(9);
    const std::string bytes = RandomBytes(random, 3000);
    CMemFile source;
    source.Open(CString("s"), 11);
    source.Write(bytes.data(), 3000);
    const std::pair<int, size_t> counts[] = {{0, 0}, {-1, 3000}, {100, 100}, {1500, 1500}, {5000, 3000}};
    for (const auto& [count, expect] : counts) {
        source.Seek(0, 0);
        file->Open(CString("log"), 11);
        EXPECT_EQ(out.CopyFromFile(source, count), static_cast<int>(expect)) << count;
        file->Seek(0, 0);
        CString copied(*file);
        EXPECT_EQ(std::string(copied.GetText(), copied.GetLength()), bytes.substr(0, expect));
    }
    // A sink that fills up: the count is what it took.
    CString small("0123456789");
    CBufferFile fixed(small);
    CFileOutputStream into(&fixed);
    source.Seek(0, 0);
    EXPECT_EQ(into.CopyFromFile(source, -1), 11);
    source.Open(CString("w"), 2);
    EXPECT_EQ(out.CopyFromFile(source, -1), 0); // not readable
}

TEST(Streams, InputFromAFile)
{
    CMemFile* file = new CMemFile; // the stream owns it
    file->Open(CString("in"), 11);
    file->Write("0123456789", 10);
    file->Seek(0, 0);
    CReadableFileInputStream in(file);
    CBuffer buffer;
    buffer.Allocate(4);
    EXPECT_EQ(in.Read(buffer), 4);
    EXPECT_EQ(std::memcmp(buffer.GetData(), "0123", 4), 0);
    EXPECT_EQ(in.Read(buffer, 2), 2);
    EXPECT_EQ(std::memcmp(buffer.GetData(), "45", 2), 0);
    EXPECT_EQ(in.GetAvailable(), 4);
    EXPECT_EQ(in.Skip(3), 3);
    EXPECT_EQ(in.Skip(5), 0); // past the end: the file does not move
    EXPECT_FALSE(in.IsAtEnd());
    EXPECT_EQ(in.Read(buffer), 1);
    EXPECT_TRUE(in.IsAtEnd());
    EXPECT_EQ(in.Read(buffer), 0);
}

} // namespace

// A buffer that cannot grow any further (the address space is used up, or
// the size passes 2 GB) fails the write; it never ends the process.
TEST(BufferFile, GrowthThatCannotBeHadFailsTheWrite)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#else
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct rlimit limit;
        getrlimit(RLIMIT_AS, &limit);
        long pages = 0;
        if (FILE* statm = fopen("/proc/self/statm", "r")) {
            if (fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            fclose(statm);
        }
        limit.rlim_cur = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
        setrlimit(RLIMIT_AS, &limit);
        CBufferFile file;
        std::vector<char> block(size_t(8) << 20, 'x');
        for (int i = 0; i < 400; ++i) {
            if (!file.Write(block.data(), unsigned(block.size())))
                _exit(file.GetSize() >= (8u << 20) ? 0 : 2);
        }
        _exit(3); // 3 GB written: the limit did not hold
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the writer died of signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}
