#include "foundation/Buffer.h"
#include "foundation/Crc32.h"
#include "foundation/LowerCase.h"
#include "foundation/String.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using Zorlin::CBuffer;
using Zorlin::CString;

namespace {

std::vector<unsigned char> Bytes(const CBuffer& b)
{
    return std::vector<unsigned char>(b.GetData(), b.GetData() + b.GetSize());
}

CBuffer BufferOf(const std::vector<unsigned char>& bytes)
{
    CBuffer b;
    b.Allocate(static_cast<int>(bytes.size()));
    if (!bytes.empty())
        b.WriteAt(bytes.data(), static_cast<int>(bytes.size()), 0);
    return b;
}

// Mixed data: runs that compress well and noise that does not.
std::vector<unsigned char> SampleData(std::mt19937& rng, size_t n)
{
    std::vector<unsigned char> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = (i / 64) % 2 ? static_cast<unsigned char>(rng()) : static_cast<unsigned char>('a' + i % 7);
    return v;
}

std::vector<unsigned char> ZlibCompress(const std::vector<unsigned char>& in)
{
    uLongf len = compressBound(static_cast<uLong>(in.size()));
    std::vector<unsigned char> out(len);
    EXPECT_EQ(compress2(out.data(), &len, in.data(), static_cast<uLong>(in.size()), Z_DEFAULT_COMPRESSION), Z_OK);
    out.resize(len);
    return out;
}

// ---------------------------------------------------------------- block handling

TEST(BufferBlock, DefaultIsUnset)
{
    CBuffer b;
    EXPECT_EQ(b.GetSize(), -1);
    EXPECT_EQ(b.GetCapacity(), -1);
    EXPECT_TRUE(b.OwnsData());
    EXPECT_FALSE(b.IsCompressed());
    EXPECT_TRUE(b.Resize(5));
    EXPECT_EQ(b.GetSize(), 5);
    EXPECT_EQ(b.GetCapacity(), 5);
}

TEST(BufferBlock, OverStringBorrowsCharacters)
{
    CString s("hello");
    CBuffer b(s);
    EXPECT_EQ(b.GetSize(), 6);
    EXPECT_FALSE(b.OwnsData());
    EXPECT_EQ(reinterpret_cast<const char*>(b.GetData()), s.GetText());
    EXPECT_FALSE(b.Resize(7));
    EXPECT_TRUE(b.Resize(3));
    EXPECT_EQ(b.GetSize(), 3);
    EXPECT_EQ(reinterpret_cast<const char*>(b.GetData()), s.GetText());
    EXPECT_STREQ(s.GetText(), "hello");
}

TEST(BufferBlock, ResizeKeepsBytes)
{
    std::vector<unsigned char> data(100);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 7);
    CBuffer b = BufferOf(data);
    b.SetGrowStep(16);
    ASSERT_TRUE(b.Resize(50, true));
    EXPECT_EQ(b.GetCapacity(), 66);
    EXPECT_EQ(Bytes(b), std::vector<unsigned char>(data.begin(), data.begin() + 50));
    const unsigned char* before = b.GetData();
    ASSERT_TRUE(b.Resize(60)); // within the capacity: nothing moves
    EXPECT_EQ(b.GetData(), before);
    ASSERT_TRUE(b.Resize(500));
    EXPECT_EQ(b.GetCapacity(), 516);
    EXPECT_EQ(0, std::memcmp(b.GetData(), data.data(), 50));
    ASSERT_TRUE(b.Resize(10)); // shrinking without the flag keeps the room
    EXPECT_EQ(b.GetCapacity(), 516);
}

TEST(BufferBlock, WriteAtNeverGrows)
{
    CBuffer b;
    b.Allocate(12);
    std::memset(b.GetData(), '.', 12);
    b.WriteAt("0123456789", 10, 8);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.GetData()), 12), "........0123");
    b.WriteAt("zz", 2, 12);
    b.WriteAt("zz", 2, -1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.GetData()), 12), "........0123");

    char out[6];
    b.ReadAt(out, 6, 8); // past the end reads zeros
    EXPECT_EQ(std::string(out, 6), std::string("0123\0\0", 6));
}

TEST(BufferBlock, CopiesOwnTheirBytes)
{
    unsigned char outside[4] = {1, 2, 3, 4};
    CBuffer borrowed;
    borrowed.Attach(outside, 4);
    borrowed.SetCompressed(true);
    CBuffer copy(borrowed);
    EXPECT_TRUE(copy.OwnsData());
    EXPECT_TRUE(copy.IsCompressed());
    EXPECT_NE(copy.GetData(), outside);
    copy.WriteAt("\x09", 1, 0);
    EXPECT_EQ(outside[0], 1);
    borrowed.Free(); // must not free outside memory
    EXPECT_TRUE(borrowed.OwnsData());
    EXPECT_EQ(borrowed.GetSize(), 0);
    EXPECT_EQ(borrowed.GetData(), nullptr);
}

// ---------------------------------------------------------------- compression framing

TEST(BufferCompress, SizePrefixFraming)
{
    CBuffer b = BufferOf(std::vector<unsigned char>(1000, 'z'));
    EXPECT_EQ(b.Compress(true), 1000);
    EXPECT_TRUE(b.IsCompressed());
    ASSERT_LT(b.GetSize(), 100);
    EXPECT_EQ(Bytes(b)[0], 0xE8);
    EXPECT_EQ(Bytes(b)[1], 0x03);
    EXPECT_EQ(Bytes(b)[2], 0x00);
    EXPECT_EQ(Bytes(b)[3], 0x00);
    EXPECT_EQ(b.Uncompress(CBuffer::kSizeFromPrefix), 1000u);
    EXPECT_FALSE(b.IsCompressed());
    EXPECT_EQ(Bytes(b), std::vector<unsigned char>(1000, 'z'));
}

TEST(BufferCompress, MatchesPlainZlibBothWays)
{
    std::mt19937 rng(7);
    for (size_t n : {0, 1, 17, 1000, 65536, 300001}) {
        std::vector<unsigned char> data = SampleData(rng, n);
        std::vector<unsigned char> reference = ZlibCompress(data);

        // Ours, bare: byte for byte zlib's default-level stream.
        CBuffer bare = BufferOf(data);
        EXPECT_EQ(bare.Compress(false), static_cast<int>(n));
        EXPECT_EQ(Bytes(bare), reference) << n;

        // Ours via CompressTo with the prefix; the source is untouched.
        CBuffer source = BufferOf(data);
        CBuffer dest;
        int total = source.CompressTo(dest, true);
        EXPECT_EQ(total, static_cast<int>(reference.size()) + 4);
        EXPECT_EQ(dest.GetSize(), total);
        EXPECT_TRUE(dest.IsCompressed());
        EXPECT_EQ(Bytes(source), data);
        std::vector<unsigned char> inflated(n + 1);
        uLongf len = static_cast<uLongf>(n + 1);
        ASSERT_EQ(uncompress(inflated.data(), &len, dest.GetData() + 4, static_cast<uLong>(total - 4)), Z_OK);
        inflated.resize(len);
        EXPECT_EQ(inflated, data);

        // zlib's stream read by us with an explicit size.
        CBuffer theirs = BufferOf(reference);
        ASSERT_TRUE(theirs.TryUncompress(static_cast<unsigned>(n))) << n;
        EXPECT_EQ(Bytes(theirs), data);
    }
}

std::string TempPath(const char* name)
{
    const char* dir = std::getenv("TMPDIR");
    std::ostringstream path;
    path << (dir ? dir : "/tmp") << "/rookwell_buffer_" << ::getpid() << "_" << name;
    return path.str();
}

void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// A second, independent zlib binding checks the prefix framing.
TEST(BufferCompress, InteroperatesWithPythonZlib)
{
    if (std::system("python3 -c 'import zlib' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3 with zlib not available";
    std::mt19937 rng(11);
    std::vector<unsigned char> data = SampleData(rng, 50000);
    std::string ours = TempPath("ours"), plain = TempPath("plain"), theirs = TempPath("theirs");

    CBuffer b = BufferOf(data);
    b.Compress(true);
    WriteFile(ours, Bytes(b));
    WriteFile(plain, data);
    std::string script =
        "import sys,zlib,struct\n"
        "d=open(sys.argv[1],'rb').read()\n"
        "n=struct.unpack('<I',d[:4])[0]\n"
        "u=zlib.decompress(d[4:])\n"
        "assert n==len(u) and u==open(sys.argv[2],'rb').read()\n"
        "open(sys.argv[3],'wb').write(struct.pack('<I',len(u))+zlib.compress(u,9))\n";
    std::string scriptPath = TempPath("check.py");
    std::ofstream(scriptPath) << script;
    std::string cmd = "python3 " + scriptPath + " " + ours + " " + plain + " " + theirs;
    EXPECT_EQ(std::system(cmd.c_str()), 0);

    CBuffer back = BufferOf(ReadFile(theirs));
    ASSERT_TRUE(back.TryUncompress(CBuffer::kSizeFromPrefix));
    EXPECT_EQ(Bytes(back), data);
    for (const std::string& p : {ours, plain, theirs, scriptPath})
        std::remove(p.c_str());
}

// ---------------------------------------------------------------- damaged streams

void ExpectFailedEmpty(CBuffer& b, unsigned size, const char* what)
{
    EXPECT_FALSE(b.TryUncompress(size)) << what;
    EXPECT_EQ(b.GetSize(), 0) << what;
    EXPECT_EQ(b.GetData(), nullptr) << what;
    EXPECT_FALSE(b.IsCompressed()) << what;
}

TEST(BufferDamage, TruncatedStreamsFail)
{
    std::mt19937 rng(3);
    std::vector<unsigned char> data = SampleData(rng, 5000);
    CBuffer whole = BufferOf(data);
    whole.Compress(true);
    std::vector<unsigned char> framed = Bytes(whole);
    for (size_t cut = 0; cut < framed.size(); ++cut) {
        CBuffer b = BufferOf(std::vector<unsigned char>(framed.begin(), framed.begin() + cut));
        ExpectFailedEmpty(b, CBuffer::kSizeFromPrefix, "truncated");
        if (HasFailure())
            return;
    }
}

TEST(BufferDamage, WrongOrAbsurdSizesFail)
{
    std::vector<unsigned char> data(3000, 'k');
    std::vector<unsigned char> stream = ZlibCompress(data);
    CBuffer small = BufferOf(stream);
    ExpectFailedEmpty(small, 2999, "declared too small");
    CBuffer large = BufferOf(stream);
    ExpectFailedEmpty(large, 3001, "declared too large");
    CBuffer huge = BufferOf(stream);
    ExpectFailedEmpty(huge, 0xF0000000u, "beyond the cap");

    // Built in place: g++ 12 at -O2 misreads an insert after a four-byte
    // initialiser as an overrun (-Warray-bounds).
    std::vector<unsigned char> prefixed(4 + stream.size());
    const unsigned char prefix[] = {0xFF, 0xFF, 0xFF, 0x7F};
    std::copy(prefix, prefix + 4, prefixed.begin());
    std::copy(stream.begin(), stream.end(), prefixed.begin() + 4);
    CBuffer bomb = BufferOf(prefixed);
    ExpectFailedEmpty(bomb, CBuffer::kSizeFromPrefix, "prefix beyond the cap");

    CBuffer empty;
    ExpectFailedEmpty(empty, CBuffer::kSizeFromPrefix, "unset buffer");
    EXPECT_EQ(empty.Uncompress(10), 0u);
}

TEST(BufferDamage, CorruptedBytesNeverPassAsGarbage)
{
    std::mt19937 rng(5);
    std::vector<unsigned char> data = SampleData(rng, 4000);
    std::vector<unsigned char> stream = ZlibCompress(data);
    int failures = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<unsigned char> bad = stream;
        size_t at = rng() % bad.size();
        bad[at] ^= static_cast<unsigned char>(1 + rng() % 255);
        CBuffer b = BufferOf(bad);
        if (b.TryUncompress(static_cast<unsigned>(data.size()))) {
            EXPECT_EQ(Bytes(b), data) << "success must mean the original bytes";
        } else {
            ++failures;
            EXPECT_EQ(b.GetSize(), 0);
        }
    }
    EXPECT_GT(failures, 350);
}

// ---------------------------------------------------------------- CRC-32 and lower-case table

TEST(Crc32, StandardCheckValueAndZlibAgreement)
{
    EXPECT_EQ(Zorlin::Crc32String("123456789"), 0xCBF43926u);
    EXPECT_EQ(Zorlin::Crc32String(""), 0u);
    EXPECT_EQ(Zorlin::Crc32String(nullptr), 0u);

    std::mt19937 rng(42);
    for (int round = 0; round < 200; ++round) {
        std::string text(rng() % 300, ' ');
        for (char& c : text)
            c = static_cast<char>(1 + rng() % 255); // high bytes included, no terminator
        uLong want = crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
        ASSERT_EQ(Zorlin::Crc32String(text.c_str()), static_cast<uint32_t>(want)) << round;
        // Continuing over a split gives the same value.
        size_t half = text.size() / 2;
        uint32_t split = Zorlin::Crc32(text.data() + half, text.size() - half, Zorlin::Crc32(text.data(), half));
        ASSERT_EQ(split, static_cast<uint32_t>(want));
    }
}

TEST(LowerCaseTable, FoldsOnlyAsciiCapitals)
{
    Zorlin::BuildLowerCaseTable();
    for (int i = 0; i < 256; ++i) {
        int want = (i >= 'A' && i <= 'Z') ? i + 32 : i;
        ASSERT_EQ(Zorlin::g_lowerCaseTable[i], want) << i;
    }
    EXPECT_EQ(Zorlin::LowerCaseByte('Q'), 'q');
    EXPECT_EQ(Zorlin::LowerCaseByte(0xC4), 0xC4);
}

} // namespace
