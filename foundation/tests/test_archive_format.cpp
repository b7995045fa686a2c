// The archive's bytes: the documented layout taken apart with zlib itself,
// and both directions against the independent Python implementation.
#include <zlib.h>

#include <map>
#include <sstream>

#include "test_archive_support.h"

using namespace ArchiveTest;
using Zorlin::CAutoPointer;

namespace {

const uint32_t kChunk = 8192;

Bytes Inflate(const Bytes& data, size_t at, size_t length, size_t expected)
{
    Bytes out(expected + 1);
    uLongf outLength = uLongf(out.size());
    if (uncompress(out.data(), &outLength, data.data() + at, uLong(length)) != Z_OK)
        return {};
    out.resize(outLength);
    return out;
}

void Append(Bytes& out, uint32_t word)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(word >> (8 * i)));
}

Bytes WriteProfileExample(const Bytes& payload)
{
    CMemFile* host = HostOf({});
    CArchiveDrive drive;
    EXPECT_TRUE(drive.Create(host, "profile", true, kChunk));
    EXPECT_TRUE(AddBytes(drive, "data.bin", payload, true));
    EXPECT_TRUE(drive.Finish(false));
    return Contents(*host);
}

TEST(ArchiveFormat, ProfileExampleHasTheDocumentedLayout)
{
    const Bytes payload = Pattern(10000, 5);
    const Bytes bytes = WriteProfileExample(payload);
    ASSERT_GT(bytes.size(), 60u);

    // The name with its 0 byte, then two chunks: u32 L and a zlib stream each.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 8), std::string("profile\0", 8));
    const uint32_t length0 = Word(bytes, 8);
    const size_t chunk1 = 12 + length0;
    const uint32_t length1 = Word(bytes, chunk1);
    EXPECT_EQ(Inflate(bytes, 12, length0, kChunk), Bytes(payload.begin(), payload.begin() + kChunk));
    EXPECT_EQ(Inflate(bytes, chunk1 + 4, length1, 1808), Bytes(payload.begin() + kChunk, payload.end()));

    // Directory block, header, header length, signature.
    const size_t directoryAt = chunk1 + 4 + length1;
    const uint32_t blockLength = Word(bytes, directoryAt);
    const size_t headerAt = directoryAt + 4 + blockLength;
    ASSERT_EQ(headerAt + 32, bytes.size());
    EXPECT_EQ(Word(bytes, headerAt), 8u);
    EXPECT_EQ(bytes[headerAt + 4] | bytes[headerAt + 5] << 8, 1);
    EXPECT_EQ(bytes[headerAt + 6] | bytes[headerAt + 7] << 8, 0);
    EXPECT_EQ(Word(bytes, headerAt + 8), kChunk);
    EXPECT_EQ(Word(bytes, headerAt + 12), headerAt);
    EXPECT_EQ(Word(bytes, headerAt + 16), headerAt - directoryAt);
    EXPECT_EQ(Word(bytes, headerAt + 20), 20u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + headerAt + 24, 8),
              std::string("\0ZRLARCH", 8));

    Bytes expected;
    Append(expected, 1);
    Append(expected, 5);
    for (char c : std::string("data.bin"))
        expected.push_back(uint8_t(c));
    expected.push_back(0);
    Append(expected, 10000);
    Append(expected, 8);
    Append(expected, 2);
    Append(expected, 0);
    Append(expected, uint32_t(chunk1 - 8));
    const uint32_t textLength = Word(bytes, directoryAt + 4);
    EXPECT_EQ(textLength, expected.size());
    EXPECT_EQ(Inflate(bytes, directoryAt + 8, blockLength - 4, textLength), expected);

    CArchiveDrive reader;
    ASSERT_TRUE(reader.Open(HostOf(bytes), "PROFILE", true));
    EXPECT_EQ(Member(reader, "data.bin"), payload);
}

// A chunk of exactly C at the end inflates to C, not to the remainder 0.
TEST(ArchiveFormat, ReadsAcrossChunkBoundaries)
{
    const Bytes even = Pattern(2 * kChunk, 9);
    CMemFile* host = HostOf({});
    CArchiveDrive writer;
    ASSERT_TRUE(writer.Create(host, "t", false, kChunk));
    ASSERT_TRUE(AddBytes(writer, "even", even, true));
    ASSERT_TRUE(writer.Finish(false));
    CArchiveDrive reader;
    ASSERT_TRUE(reader.Open(host, nullptr, true));
    EXPECT_EQ(Member(reader, "even"), even);

    // 42 bytes from chunk 0 and 58 from chunk 1: two chunks inflated, and
    // none again for a second read of the same bytes.
    CAutoPointer<CFile> file = reader.OpenFile(CURL("even"), CFile::kModeRead);
    ASSERT_TRUE(file->Seek(8150, CFile::kSeekStart));
    const uint64_t loadsBefore = CArchiveDrive::GetChunkLoads();
    uint8_t buffer[100];
    ASSERT_TRUE(file->Read(buffer, 100));
    EXPECT_EQ(file->GetLastReadCount(), 100u);
    EXPECT_EQ(Bytes(buffer, buffer + 100), Bytes(even.begin() + 8150, even.begin() + 8250));
    EXPECT_EQ(file->GetPosition(), 8250u);
    EXPECT_EQ(CArchiveDrive::GetChunkLoads(), loadsBefore + 2);
    ASSERT_TRUE(file->Seek(-100, CFile::kSeekCurrent));
    ASSERT_TRUE(file->Read(buffer, 100));
    EXPECT_EQ(CArchiveDrive::GetChunkLoads(), loadsBefore + 2);
}

struct SMember {
    std::string path;
    Bytes data;
    bool compress;
};

// Sizes around the chunk size, stored and compressed, in nested folders.
std::vector<SMember> Members(uint32_t chunk)
{
    std::vector<SMember> out;
    const size_t sizes[] = {0, 1, chunk - 1, chunk, chunk + 1, 3 * size_t(chunk) + 17};
    unsigned seed = 1;
    for (size_t size : sizes) {
        std::string tag = std::to_string(size);
        out.push_back({"z/n" + tag + ".bin", Pattern(size, seed++), true});
        out.push_back({"s/deep/er/n" + tag + ".bin", Pattern(size, seed++), false});
    }
    out.push_back({"Top.txt", Pattern(300, seed), true});
    return out;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void WriteWithDrive(const std::string& file, const std::vector<SMember>& members, uint32_t chunk, const char* name)
{
    CMemFile* host = HostOf({});
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Create(host, name, true, chunk));
    for (const SMember& m : members) {
        std::string folder = FolderOf(m.path);
        ASSERT_TRUE(drive.ChangeDirectory(CURL("/")));
        ASSERT_TRUE(folder.empty() || drive.MakeDirectories(folder.c_str()));
        ASSERT_TRUE(drive.ChangeDirectory(CURL(("/" + folder).c_str())));
        ASSERT_TRUE(AddBytes(drive, NameOf(m.path).c_str(), m.data, m.compress)) << m.path;
    }
    ASSERT_TRUE(drive.Finish(false));
    WriteDisk(file, Contents(*host));
}

// The recipe for the Python writer, with each member's bytes in a file of its own.
std::string WriteRecipe(const CTempDir& dir, const std::vector<SMember>& members, uint32_t chunk, const char* name)
{
    std::ostringstream recipe;
    recipe << "name " << name << "\nchunk " << chunk << "\n";
    int i = 0;
    for (const SMember& m : members) {
        std::string source = dir / ("src" + std::to_string(i++));
        WriteDisk(source, m.data);
        std::string folder = FolderOf(m.path);
        if (!folder.empty())
            recipe << "dir " << folder << "\n";
        recipe << "file " << m.path << " " << source << " " << (m.compress ? "z" : "s") << "\n";
    }
    std::string path = dir / "recipe.txt";
    std::ofstream(path) << recipe.str();
    return path;
}

class ArchiveAgainstPython : public ::testing::TestWithParam<uint32_t> {
protected:
    void SetUp() override
    {
        if (!HavePython())
            GTEST_SKIP() << "python3 with zlib is needed";
    }
};

TEST_P(ArchiveAgainstPython, PythonReadsWhatWeWrite)
{
    const uint32_t chunk = GetParam();
    CTempDir dir;
    const std::vector<SMember> members = Members(chunk);
    const std::string archive = dir / "ours.arc";
    WriteWithDrive(archive, members, chunk, "Ours");

    std::string listing;
    ASSERT_EQ(Reference("list " + Quote(archive), &listing), 0) << listing;
    std::istringstream lines(listing);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "A Ours " + std::to_string(chunk));
    std::map<std::string, std::string> files;
    while (std::getline(lines, line)) {
        if (line[0] == 'F') {
            std::istringstream words(line.substr(2));
            std::string path, size, kind;
            words >> path >> size >> kind;
            files[path] = size + kind;
        }
    }
    ASSERT_EQ(files.size(), members.size());
    for (const SMember& m : members)
        EXPECT_EQ(files[m.path], std::to_string(m.data.size()) + (m.compress ? "z" : "s")) << m.path;

    const std::string out = dir / "out";
    ASSERT_EQ(Reference("extract " + Quote(archive) + " " + Quote(out), &listing), 0) << listing;
    for (const SMember& m : members)
        EXPECT_EQ(ReadDisk(out + "/" + m.path), m.data) << m.path;
}

TEST_P(ArchiveAgainstPython, WeReadWhatPythonWritesByteForByte)
{
    const uint32_t chunk = GetParam();
    CTempDir dir;
    const std::vector<SMember> members = Members(chunk);
    const std::string theirs = dir / "theirs.arc";
    std::string output;
    ASSERT_EQ(Reference("build " + Quote(WriteRecipe(dir, members, chunk, "Theirs")) + " " + Quote(theirs), &output),
              0)
        << output;

    CArchiveDrive reader;
    ASSERT_TRUE(reader.Open(HostOf(ReadDisk(theirs)), "theirs", true));
    EXPECT_EQ(reader.GetChunkSize(), chunk);
    for (const SMember& m : members) {
        EXPECT_EQ(Member(reader, m.path.c_str()), m.data) << m.path;
        const CArchiveDrive::SDirEntry* entry = reader.FindEntry(CURL(m.path.c_str()));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->IsCompressed(), m.compress);
    }

    // Both writers follow one layout, so the same files give the same bytes.
    const std::string ours = dir / "ours.arc";
    WriteWithDrive(ours, members, chunk, "Theirs");
    EXPECT_TRUE(ReadDisk(ours) == ReadDisk(theirs));
}

INSTANTIATE_TEST_SUITE_P(ChunkSizes, ArchiveAgainstPython, ::testing::Values(8192u, 100u, 7u));

TEST(ArchiveFormat, EmptyNameStillWritesItsZeroByte)
{
    CMemFile* host = HostOf({'x'});
    CArchiveDrive writer;
    ASSERT_TRUE(writer.Create(host, "", true, kChunk));
    ASSERT_TRUE(AddBytes(writer, "a", {1, 2, 3}, false));
    ASSERT_TRUE(writer.Finish(false));
    const Bytes bytes = Contents(*host);
    EXPECT_EQ(bytes[0], 'x');
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(Bytes(bytes.begin() + 2, bytes.begin() + 5), Bytes({1, 2, 3}));

    CArchiveDrive reader;
    ASSERT_TRUE(reader.Open(HostOf(bytes), "", true));
    EXPECT_EQ(reader.GetArchiveName(), "");
    EXPECT_EQ(reader.GetStart(), 1u);
    EXPECT_EQ(Member(reader, "a"), Bytes({1, 2, 3}));
}

} // namespace
