// Text, records and copying, checked against Python where it can judge:
// lines with mixed line ends against bytes.splitlines, records against the
// struct module in both directions.
#include "foundation/Buffer.h"
#include "foundation/BufferFile.h"
#include "foundation/BufferedInputFile.h"
#include "foundation/MemFile.h"
#include "foundation/Win32File.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace Zorlin;
namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rookwell-text-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string PathOf(const char* name) const { return m_dir + "/" + name; }

    // Runs a Python program with the given path as its argument; returns
    // what it prints (the test is skipped without Python).
    std::string Python(const std::string& program, const std::string& argument)
    {
        std::ofstream(PathOf("prog.py")) << program;
        const std::string command = "python3 '" + PathOf("prog.py") + "' '" + argument + "' > '" +
                                    PathOf("out.txt") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << program;
        std::ifstream in(PathOf("out.txt"));
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool HavePython() const { return std::system("python3 -c pass 2>/dev/null") == 0; }

    std::string m_dir;
};

std::unique_ptr<CMemFile> MemWith(const std::string& bytes, int blockSize = 5)
{
    auto file = std::make_unique<CMemFile>(blockSize);
    file->Open(CString("m"), 11);
    file->Write(bytes.data(), static_cast<unsigned>(bytes.size()));
    file->Seek(0, 0);
    return file;
}

std::string Hex(const std::string& bytes)
{
    std::string out;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        out += two;
    }
    return out.empty() ? "-" : out;
}

std::string Unhex(const std::string& hex)
{
    std::string bytes;
    for (size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

Lines ReadAllLines(CFile& file)
{
    Lines lines;
    CString line;
    while (lines.size() < 100 && file.ReadLine(line))
        lines.emplace_back(line.GetText(), line.GetLength());
    return lines;
}

TEST_F(FileTest, MixedLineEndsMatchPython)
{
    if (!HavePython())
        GTEST_SKIP() << "python3 is not available";
    std::mt19937 random(42);
    const char alphabet[] = {'a', 'b', '\r', '\n', '\0', '\xff'};
    std::vector<std::string> texts = {"", "\r", "\n", "\r\n", "\n\r", "x\r", "a\r\nb\rc\n", "\r\r\n\n"};
    while (texts.size() < 400) {
        std::string text(random() % 24, ' ');
        for (char& c : text)
            c = alphabet[random() % sizeof alphabet];
        texts.push_back(text);
    }
    {
        std::ofstream list(PathOf("texts"));
        for (const std::string& text : texts)
            list << Hex(text) << "\n";
    }
    std::istringstream printed(Python(
        "import sys\n"
        "for h in open(sys.argv[1]).read().split():\n"
        "    lines = bytes.fromhex('' if h == '-' else h).splitlines()\n"
        "    print(' '.join([str(len(lines))] + [l.hex() or '-' for l in lines]))\n",
        PathOf("texts")));
    std::vector<Lines> expected;
    for (std::string row; std::getline(printed, row);) {
        std::istringstream fields(row);
        size_t count;
        fields >> count;
        Lines lines;
        for (std::string hex; fields >> hex;)
            lines.push_back(Unhex(hex));
        ASSERT_EQ(lines.size(), count);
        expected.push_back(lines);
    }
    ASSERT_EQ(expected.size(), texts.size());

    for (size_t i = 0; i < texts.size(); ++i) {
        auto memory = MemWith(texts[i]);
        EXPECT_EQ(ReadAllLines(*memory), expected[i]) << "memory " << Hex(texts[i]);
        // The step back after a lone CR crosses the cache's 4-byte blocks.
        auto inner = MemWith(texts[i]);
        CBufferedInputFile cached(inner.get(), 4, 3);
        EXPECT_EQ(ReadAllLines(cached), expected[i]) << "cached " << Hex(texts[i]);
        std::ofstream(PathOf("disk"), std::ios::binary | std::ios::trunc) << texts[i];
        CWin32File disk(PathOf("disk").c_str(), 1);
        EXPECT_EQ(ReadAllLines(disk), expected[i]) << "disk " << Hex(texts[i]);
    }
}

TEST(FileText, StringsUntilAndBounds)
{
    auto file = MemWith(std::string("abc\0\0de", 7));
    CString text;
    EXPECT_TRUE(file->ReadString(text));
    EXPECT_STREQ(text.GetText(), "abc");
    EXPECT_EQ(file->GetLastReadCount(), 3u);
    EXPECT_TRUE(file->ReadString(text));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_TRUE(file->ReadString(text)); // the end of the file ends "de"
    EXPECT_STREQ(text.GetText(), "de");
    EXPECT_FALSE(file->ReadString(text));

    file = MemWith(std::string("toolong\0", 8));
    EXPECT_FALSE(file->ReadString(text, 3));
    EXPECT_STREQ(text.GetText(), "too");

    file = MemWith("key=value;;x");
    EXPECT_TRUE(file->ReadUntil(text, '=', false));
    EXPECT_STREQ(text.GetText(), "key");
    EXPECT_TRUE(file->ReadUntil(text, ';', true));
    EXPECT_STREQ(text.GetText(), "value;");
    EXPECT_TRUE(file->ReadUntil(text, ';', true));
    EXPECT_STREQ(text.GetText(), ";");
    EXPECT_FALSE(file->ReadUntil(text, ';', false, 0));
    EXPECT_TRUE(file->ReadUntil(text, ';', false));
    EXPECT_STREQ(text.GetText(), "x");

    file = MemWith("abcd\nabcdef\n");
    EXPECT_TRUE(file->ReadLine(text, 4)); // exactly the bound
    EXPECT_STREQ(text.GetText(), "abcd");
    EXPECT_FALSE(file->ReadLine(text, 4)); // one past it: not consumed
    EXPECT_STREQ(text.GetText(), "abcd");
    EXPECT_EQ(file->GetPosition(), 9u);
}

TEST(FileText, LineEndStylesAndEmptyTexts)
{
    const std::pair<int, const char*> styles[] = {{0, "ab\r\n\r\n"}, {1, "ab\n\n"}, {2, "ab\r\r"}, {7, "ab"}};
    for (const auto& [style, expected] : styles) {
        CBuffer data;
        CBufferFile file(&data, style);
        EXPECT_TRUE(file.WriteLine("ab"));
        EXPECT_TRUE(file.WriteLine(CString()));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data.GetData()), data.GetSize()), expected);
    }
    // With its 0 byte, an empty text is one byte in a buffer file and a
    // failed write of nothing in a memory file.
    CBuffer data;
    CBufferFile buffer(&data);
    EXPECT_TRUE(buffer.WriteString(CString(), true));
    EXPECT_EQ(data.GetSize(), 1);
    CMemFile memory;
    memory.Open(CString("m"), 11);
    EXPECT_FALSE(memory.WriteString("", true));
    EXPECT_EQ(memory.GetSize(), 0u);

    CString text("abc"); // four fixed bytes: no room for the line end
    CBufferFile fixed(text);
    EXPECT_FALSE(fixed.WriteLine("abc"));
}

#pragma pack(push, 1)
struct SArchiveHeader { // "422444"
    uint32_t recordLength;
    uint16_t major, minor;
    uint32_t chunkSize, headerOffset, directoryOffset;
};
#pragma pack(pop)

// A copy of a packed field: gtest must not bind a reference to it.
template <class T>
T Value(T field)
{
    return field;
}

TEST_F(FileTest, RecordsPackedByPython)
{
    if (!HavePython())
        GTEST_SKIP() << "python3 is not available";
    Python("import struct, sys\n"
           "with open(sys.argv[1], 'wb') as f:\n"
           "    f.write(struct.pack('<IHHIII', 8, 1, 0, 8192, 0xDEADBEEF, 0x01020304))\n"
           "    f.write(struct.pack('<BI', 0xA5, 0x80000001))\n"
           "    for i in range(3):\n"  // a later format's longer records
           "        f.write(struct.pack('<III', 100 + i, 200 + i, 0xEEEEEEEE))\n",
           PathOf("packed.bin"));
    CWin32File file(PathOf("packed.bin").c_str(), 1);
    ASSERT_TRUE(file.IsOpen());

    SArchiveHeader header;
    ASSERT_TRUE(file.ReadRecord(&header, "422444"));
    EXPECT_EQ(file.GetLastReadCount(), 20u);
    EXPECT_EQ(Value(header.recordLength), 8u);
    EXPECT_EQ(Value(header.major), 1u);
    EXPECT_EQ(Value(header.minor), 0u);
    EXPECT_EQ(Value(header.chunkSize), 8192u);
    EXPECT_EQ(Value(header.headerOffset), 0xDEADBEEFu);
    EXPECT_EQ(Value(header.directoryOffset), 0x01020304u);

    struct {
        uint8_t flag;
        uint8_t pad[3]; // in memory only: the digit 3
        uint32_t value;
    } padded;
    std::memset(&padded, 0x77, sizeof padded);
    ASSERT_TRUE(file.ReadRecord(&padded, "134"));
    EXPECT_EQ(file.GetLastReadCount(), 5u);
    EXPECT_EQ(padded.flag, 0xA5);
    EXPECT_EQ(padded.pad[0], 0x77);
    EXPECT_EQ(padded.value, 0x80000001u);

    // Told the record size, a reader skips the fields it does not know.
    for (uint32_t i = 0; i < 3; ++i) {
        uint32_t fields[2];
        ASSERT_TRUE(file.ReadRecord(fields, "44", 12));
        EXPECT_EQ(fields[0], 100 + i);
        EXPECT_EQ(fields[1], 200 + i);
    }
    EXPECT_EQ(file.GetPosition(), file.GetSize());
}

TEST_F(FileTest, PythonReadsRecordsWeWrite)
{
    if (!HavePython())
        GTEST_SKIP() << "python3 is not available";
    std::mt19937 random(1234);
    std::vector<uint64_t> expected;
    {
        CWin32File file(PathOf("ours.bin").c_str(), 10);
        ASSERT_TRUE(file.IsOpen());
        for (int i = 0; i < 200; ++i) {
            struct {
                uint8_t a;
                uint32_t c; // after three bytes of padding
                uint64_t d;
                uint16_t b;
            } record = {uint8_t(random()), uint32_t(random()), (uint64_t(random()) << 32) | random(),
                        uint16_t(random())};
            ASSERT_TRUE(file.WriteRecord(&record, "13482"));
            EXPECT_EQ(file.GetLastWriteCount(), 15u);
            expected.insert(expected.end(), {record.a, record.c, record.d, record.b});
        }
    }
    std::istringstream printed(Python("import struct, sys\n"
                                      "data = open(sys.argv[1], 'rb').read()\n"
                                      "for fields in struct.iter_unpack('<BIQH', data):\n"
                                      "    print(*fields)\n",
                                      PathOf("ours.bin")));
    std::vector<uint64_t> unpacked;
    for (uint64_t value; printed >> value;)
        unpacked.push_back(value);
    EXPECT_EQ(unpacked, expected);
}

TEST(FileRecord, ShortAndBoundedRecords)
{
    const unsigned char bytes[] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    auto file = MemWith(std::string(reinterpret_cast<const char*>(bytes), 6));
    uint32_t fields[2] = {0, 99};
    EXPECT_FALSE(file->ReadRecord(fields, "44")); // the second field is short
    EXPECT_EQ(file->GetLastReadCount(), 6u);

    file = MemWith(std::string(reinterpret_cast<const char*>(bytes), 12));
    EXPECT_TRUE(file->ReadRecord(fields, "44", 4)); // stops after one field
    EXPECT_EQ(fields[0], 1u);
    EXPECT_EQ(file->GetPosition(), 4u);
    file->Seek(0, 0);
    EXPECT_FALSE(file->ReadRecord(fields, "44", 2)); // no whole field fits
    EXPECT_EQ(file->GetPosition(), 2u);
    file->Seek(4, 0);
    EXPECT_FALSE(file->ReadRecord(fields, "44", 12)); // the file ends inside the record
    file->Seek(0, 0);
    unsigned char untouched[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_TRUE(file->ReadRecord(untouched, "33"));
    EXPECT_EQ(file->GetPosition(), 0u);
    EXPECT_EQ(untouched[5], 9);

    CBuffer room;
    room.Allocate(6);
    CBuffer fixed;
    fixed.Attach(room.GetData(), 6);
    CBufferFile small(&fixed);
    const uint32_t values[2] = {0x11223344, 0x55667788};
    EXPECT_FALSE(small.WriteRecord(values, "44"));
    EXPECT_EQ(small.GetLastWriteCount(), 6u);
    EXPECT_EQ(room.GetData()[5], 0x77);
}

// Reads stop at byte 120 of a file whose size says 300, as a damaged
// archive entry or a failing disk would.
class CShortFile : public CMemFile {
public:
    using CFile::Read;
    bool Read(void* buffer, unsigned count) override
    {
        m_lastRead = 0;
        return GetPosition() < 100 && CMemFile::Read(buffer, count > 60 ? 60 : count);
    }
};

TEST_F(FileTest, CopyFromThePositionAndShortCopies)
{
    std::mt19937 random(7);
    std::string bytes(100000, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    std::ofstream(PathOf("big"), std::ios::binary) << bytes;
    CWin32File source(PathOf("big").c_str(), 1);
    ASSERT_TRUE(source.Seek(12345, 0));
    CMemFile copy;
    copy.Open(CString("copy"), 11);
    EXPECT_TRUE(copy.CopyFrom(source));
    EXPECT_EQ(copy.GetLastWriteCount(), bytes.size() - 12345);
    copy.Seek(0, 0);
    CString whole(copy);
    EXPECT_EQ(std::string(whole.GetText(), whole.GetLength()), bytes.substr(12345));

    // Into a buffer that cannot grow: what fits, and false.
    source.Seek(0, 0);
    CBuffer room;
    room.Allocate(20000);
    CBuffer fixed;
    fixed.Attach(room.GetData(), 20000);
    CBufferFile small(&fixed);
    EXPECT_FALSE(small.CopyFrom(source));
    EXPECT_EQ(small.GetLastWriteCount(), 20000u);
    EXPECT_EQ(std::memcmp(room.GetData(), bytes.data(), 20000), 0);

    // Refused before a byte moves: wrong orientation, closed, itself.
    CMemFile readOnly, closed;
    readOnly.Open(CString("r"), 1);
    source.Seek(0, 0);
    EXPECT_FALSE(readOnly.CopyFrom(source));
    EXPECT_EQ(source.GetPosition(), 0u);
    EXPECT_FALSE(copy.CopyFrom(closed));
    EXPECT_FALSE(copy.CopyFrom(copy));

    // A source that ends before its size is a truncated copy, and a string
    // takes only what arrived.
    CShortFile damaged;
    damaged.Open(CString("s"), 11);
    damaged.Write(bytes.data(), 300);
    damaged.Seek(0, 0);
    EXPECT_FALSE(copy.CopyFrom(damaged));
    EXPECT_EQ(copy.GetLastWriteCount(), 120u);
    damaged.Seek(0, 0);
    CString text("x");
    text.AppendFile(damaged);
    EXPECT_EQ(text.GetLength(), 1 + 120);
}

} // namespace
