// Archives from strangers: damaged or hostile trailers, directories and
// chunks are refused (open fails, or the read of the damaged file fails),
// and a seeded run of mutations never gets past the checks. Under the
// sanitizer build any stray read, write or leak fails the run.
#include <zlib.h>

#include "foundation/AutoDirectory.h"
#include "foundation/DiskDrive.h"

#include <filesystem>
#include "test_archive_support.h"

using namespace ArchiveTest;
using Zorlin::CArray;
using Zorlin::CAutoDirectory;
using Zorlin::CAutoPointer;

namespace {

Bytes Deflate(const Bytes& data)
{
    uLongf length = compressBound(uLong(data.size()));
    Bytes out(length);
    EXPECT_EQ(compress(out.data(), &length, data.data(), uLong(data.size())), Z_OK);
    out.resize(length);
    return out;
}

// Directory text, written field by field.
struct SText {
    Bytes bytes;
    SText& W(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(value >> (8 * i)));
        return *this;
    }
    SText& Name(const std::string& name)
    {
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.push_back(0);
        return *this;
    }
    // A stored file of size bytes at offset.
    SText& Stored(const std::string& name, uint32_t size, uint32_t offset)
    {
        return W(1).Name(name).W(size).W(offset);
    }
};

struct SLayout {
    uint32_t chunk = 8192;
    uint32_t recordSize = 8;
    int64_t textLengthDelta = 0;
};

// name, data, directory block, header, 20, signature.
Bytes Compose(const std::string& name, const Bytes& data, const Bytes& text, const SLayout& layout = SLayout())
{
    Bytes out(name.begin(), name.end());
    out.push_back(0);
    out.insert(out.end(), data.begin(), data.end());
    const uint32_t directoryAt = uint32_t(out.size());
    Bytes block(4);
    PutWord(block, 0, uint32_t(int64_t(text.size()) + layout.textLengthDelta));
    Bytes packed = Deflate(text);
    block.insert(block.end(), packed.begin(), packed.end());
    SText tail;
    tail.W(uint32_t(block.size()));
    out.insert(out.end(), tail.bytes.begin(), tail.bytes.end());
    out.insert(out.end(), block.begin(), block.end());
    const uint32_t headerAt = uint32_t(out.size());
    SText trailer;
    trailer.W(layout.recordSize).W(1).W(layout.chunk).W(headerAt).W(headerAt - directoryAt).W(20);
    trailer.W(0x4C525A00).W(0x48435241);
    out.insert(out.end(), trailer.bytes.begin(), trailer.bytes.end());
    return out;
}

bool Opens(const Bytes& archive, const char* name = nullptr)
{
    CArchiveDrive drive;
    return drive.Open(HostOf(archive), name, true);
}

TEST(ArchiveDamage, ComposedArchivesOpenWhenSound)
{
    // The helper itself: a sound archive opens and reads back.
    Bytes data = {'h', 'e', 'l', 'l', 'o'};
    Bytes text = SText().W(1).Stored("hello.txt", 5, 2).bytes;
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Open(HostOf(Compose("a", data, text)), "A", true));
    EXPECT_EQ(Member(drive, "hello.txt"), data);

    // A longer position record (a later format) is skipped whole.
    SLayout later;
    later.recordSize = 12;
    Bytes longer = SText().W(2).Stored("x", 2, 2).W(0xDEADBEEF).Stored("y", 3, 4).W(7).bytes;
    ASSERT_TRUE(drive.Open(HostOf(Compose("a", data, longer, later)), nullptr, true));
    EXPECT_EQ(Member(drive, "x"), Bytes({'h', 'e'}));
    EXPECT_EQ(Member(drive, "y"), Bytes({'l', 'l', 'o'}));
}

TEST(ArchiveDamage, RefusesUnfitNamesInTheDirectory)
{
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "c:x", "trailing ", "q\"uote"}) {
        Bytes text = SText().W(1).Stored(bad, 0, 2).bytes;
        EXPECT_FALSE(Opens(Compose("a", {}, text))) << "name '" << bad << "'";
    }
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(2).Stored("twin", 0, 2).Stored("twin", 0, 2).bytes)));
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(2).Stored("Twin", 0, 2).Stored("tWIN", 0, 2).bytes)));
    // A folder and a file of one name.
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(2).W(2).Name("d").W(0).Stored("D", 0, 2).bytes)));
    // A name that runs to the end of the directory without its 0.
    Bytes open = SText().W(1).W(1).bytes;
    open.insert(open.end(), 40, 'n');
    EXPECT_FALSE(Opens(Compose("a", {}, open)));
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(1).Stored(std::string(2000, 'n'), 0, 2).bytes)));
}

TEST(ArchiveDamage, RefusesCountsAndSizesBeyondTheDirectory)
{
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(0xFFFFFFFF).bytes)));
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(3).Stored("one", 0, 2).bytes)));
    EXPECT_FALSE(Opens(Compose("a", {}, SText().bytes)));
    // A position record cut short.
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(1).W(1).Name("f").W(5).bytes)));
    // Data past the directory, or inside the archive's name.
    EXPECT_FALSE(Opens(Compose("a", {1, 2, 3}, SText().W(1).Stored("f", 4, 2).bytes)));
    EXPECT_FALSE(Opens(Compose("a", {1, 2, 3}, SText().W(1).Stored("f", 0xFFFFFFFF, 0xFFFFFFF0).bytes)));
    EXPECT_FALSE(Opens(Compose("abc", {1}, SText().W(1).Stored("f", 1, 0).bytes)));
    // Directory text longer or shorter than its size word says.
    SLayout lying;
    lying.textLengthDelta = 1;
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(0).bytes, lying)));
    lying.textLengthDelta = -1;
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(0).bytes, lying)));
    lying.textLengthDelta = 1 << 30;
    EXPECT_FALSE(Opens(Compose("a", {}, SText().W(0).bytes, lying)));
    // Too many folders, each of which would cost a dictionary.
    SText folders;
    folders.W(5000);
    for (int i = 0; i < 5000; ++i)
        folders.W(2).Name("f" + std::to_string(i)).W(0);
    EXPECT_FALSE(Opens(Compose("a", {}, folders.bytes)));
    SText many;
    many.W(1000);
    for (int i = 0; i < 1000; ++i)
        many.Stored("e" + std::to_string(i), 0, 2);
    EXPECT_TRUE(Opens(Compose("a", {}, many.bytes)));
}

SText Nested(int depth)
{
    SText text;
    for (int i = 0; i < depth; ++i)
        text.W(1).W(2).Name("d");
    return text.W(0);
}

TEST(ArchiveDamage, RefusesDeepNesting)
{
    EXPECT_TRUE(Opens(Compose("a", {}, Nested(60).bytes)));
    EXPECT_FALSE(Opens(Compose("a", {}, Nested(100).bytes)));
    EXPECT_FALSE(Opens(Compose("a", {}, Nested(100000).bytes)));
}

TEST(ArchiveDamage, RefusesBadChunkTables)
{
    const Bytes piece = Pattern(100, 1);
    const Bytes packed = Deflate(piece);
    Bytes data(4);
    PutWord(data, 0, uint32_t(packed.size()));
    data.insert(data.end(), packed.begin(), packed.end());
    SLayout small;
    small.chunk = 100;
    auto file = [](uint32_t size, std::vector<uint32_t> chunks) {
        SText text;
        text.W(1).W(5).Name("z").W(size).W(2).W(uint32_t(chunks.size()));
        for (uint32_t c : chunks)
            text.W(c);
        return text.bytes;
    };
    CArchiveDrive drive;
    ASSERT_TRUE(drive.Open(HostOf(Compose("a", data, file(100, {0}), small)), nullptr, true));
    EXPECT_EQ(Member(drive, "z"), piece);

    EXPECT_FALSE(Opens(Compose("a", data, file(200, {0}), small)));        // one chunk short
    EXPECT_FALSE(Opens(Compose("a", data, file(100, {0, 0}), small)));     // one too many
    EXPECT_FALSE(Opens(Compose("a", data, file(150, {0, 0}), small)));     // not rising
    EXPECT_FALSE(Opens(Compose("a", data, file(100, {5000}), small)));     // past the directory
    EXPECT_FALSE(Opens(Compose("a", data, file(0xFFFFFFFF, {0}), small))); // a count no text holds
    small.chunk = 0;
    EXPECT_FALSE(Opens(Compose("a", data, file(100, {0}), small)));
    small.chunk = 0x7FFFFFFF;
    EXPECT_FALSE(Opens(Compose("a", data, file(100, {0}), small)));
    small.chunk = 100;
    small.recordSize = 4;
    EXPECT_FALSE(Opens(Compose("a", data, file(100, {0}), small)));
}

// The directory is sound but a chunk is not: the open succeeds and the
// read of that file fails instead of handing out wrong bytes.
TEST(ArchiveDamage, DamagedChunksFailTheRead)
{
    const Bytes whole = Pattern(300, 3);
    Bytes data;
    std::vector<uint32_t> offsets;
    for (size_t at = 0; at < whole.size(); at += 100) {
        offsets.push_back(uint32_t(data.size()));
        Bytes packed = Deflate(Bytes(whole.begin() + at, whole.begin() + at + 100));
        Bytes word(4);
        PutWord(word, 0, uint32_t(packed.size()));
        data.insert(data.end(), word.begin(), word.end());
        data.insert(data.end(), packed.begin(), packed.end());
    }
    SText text;
    text.W(1).W(5).Name("z").W(300).W(2).W(3);
    for (uint32_t c : offsets)
        text.W(c);
    SLayout small;
    small.chunk = 100;

    auto readWhole = [&](const Bytes& damaged, Bytes& got) {
        CArchiveDrive drive;
        if (!drive.Open(HostOf(Compose("a", damaged, text.bytes, small)), nullptr, true))
            return false;
        CAutoPointer<CFile> file = drive.OpenFile(CURL("z"), CFile::kModeRead);
        got.assign(300, 0);
        bool ok = file->Read(got.data(), 300);
        got.resize(file->GetLastReadCount());
        return ok;
    };
    Bytes got;
    ASSERT_TRUE(readWhole(data, got));
    EXPECT_EQ(got, whole);

    Bytes broken = data;
    broken[offsets[1] + 8] ^= 0x55; // inside the second zlib stream
    EXPECT_FALSE(readWhole(broken, got));
    EXPECT_EQ(got, Bytes(whole.begin(), whole.begin() + 100));

    broken = data;
    PutWord(broken, offsets[2], 0xFFFFFFFF);
    EXPECT_FALSE(readWhole(broken, got));
    EXPECT_EQ(got.size(), 200u);

    // A chunk that inflates to fewer bytes than the file says.
    Bytes shortChunk = Deflate(Bytes(whole.begin(), whole.begin() + 60));
    broken.assign(4, 0);
    PutWord(broken, 0, uint32_t(shortChunk.size()));
    broken.insert(broken.end(), shortChunk.begin(), shortChunk.end());
    broken.resize(data.size(), 0);
    EXPECT_FALSE(readWhole(broken, got));
    EXPECT_TRUE(got.empty());
}

TEST(ArchiveDamage, RefusesBadTrailers)
{
    const Bytes good = Compose("a", {7}, SText().W(1).Stored("f", 1, 2).bytes);
    ASSERT_TRUE(Opens(good));
    const size_t end = good.size();
    struct SCase {
        size_t at;
        uint32_t value;
    };
    const SCase cases[] = {
        {end - 12, 19},         {end - 12, 0},          {end - 12, 0xFFFFFFFF}, {end - 12, uint32_t(end)},
        {end - 20, 0},          {end - 20, 0xFFFFFFFF}, {end - 20, uint32_t(end)}, {end - 16, 0},
        {end - 16, 0xFFFFFFFF}, {end - 16, 3},          {end - 24, 0},          {end - 24, 0x7FFFFFFF},
        {end - 32, 7},          {end - 8, 0x4C525A01},
    };
    for (const SCase& c : cases) {
        Bytes damaged = good;
        PutWord(damaged, c.at, c.value);
        EXPECT_FALSE(Opens(damaged)) << "word at end-" << (end - c.at) << " = " << c.value;
    }
    // Block length beyond the header.
    Bytes damaged = good;
    PutWord(damaged, 3, 0x10000);
    EXPECT_FALSE(Opens(damaged));
    // Only a trailer, or less.
    EXPECT_FALSE(Opens(Bytes(good.end() - 32, good.end())));
    EXPECT_FALSE(Opens(Bytes(good.end() - 8, good.end())));
    EXPECT_FALSE(Opens({}));
}

// Searching a long stack for a name it lacks walks down once and stops at
// the host's start.
TEST(ArchiveDamage, StackSearchEndsAtTheHostStart)
{
    Bytes host = {'x', 'y'};
    for (int i = 0; i < 200; ++i) {
        Bytes one = Compose("a" + std::to_string(i), {}, SText().W(0).bytes);
        host.insert(host.end(), one.begin(), one.end());
    }
    EXPECT_TRUE(Opens(host, "A0"));
    EXPECT_TRUE(Opens(host, "a199"));
    EXPECT_FALSE(Opens(host, "a200"));
    // An archive whose start word points at itself, with another name wanted.
    Bytes self = Compose("s", {}, SText().W(0).bytes);
    PutWord(self, self.size() - 20, 0);
    EXPECT_FALSE(Opens(self, "other"));
}

// ---------------------------------------------------------------- mutations

void Walk(CArchiveDrive& drive, std::mt19937& rng, int depth)
{
    ASSERT_LE(depth, 70);
    CArray<CString> names;
    drive.ListDirectory(names, false);
    for (int i = 0; i < names.GetCount(); ++i) {
        const CString& name = *names.GetAt(i);
        ASSERT_TRUE(CArchiveDrive::IsEntryName(name));
        if (drive.IsDirectory(CURL(name))) {
            CAutoDirectory into(drive, name.GetText());
            ASSERT_TRUE(into.Succeeded());
            Walk(drive, rng, depth + 1);
            continue;
        }
        CAutoPointer<CFile> file = drive.OpenFile(CURL(name), CFile::kModeRead);
        ASSERT_TRUE(file->IsOpen());
        Bytes all = ReadAll(*file);
        ASSERT_LE(all.size(), file->GetSize());
        if (file->GetSize() > 0) {
            uint8_t buffer[512];
            file->Seek(int(rng() % file->GetSize()), CFile::kSeekStart);
            file->Read(buffer, sizeof buffer);
            ASSERT_LE(file->GetLastReadCount(), sizeof buffer);
        }
    }
}

Bytes Seed(int which)
{
    CMemFile* host = HostOf({'h', 'o', 's', 't'});
    CArchiveDrive drive;
    const unsigned chunk = which == 0 ? 64 : which == 1 ? 200 : 8192;
    EXPECT_TRUE(drive.Create(host, which == 2 ? "profile" : "seed", true, chunk));
    EXPECT_TRUE(drive.MakeDirectories("a/b"));
    EXPECT_TRUE(AddBytes(drive, "one", Pattern(700, unsigned(which)), true));
    EXPECT_TRUE(AddBytes(drive, "two", Pattern(150, 9), false));
    EXPECT_TRUE(drive.ChangeDirectory(CURL("a/b")));
    EXPECT_TRUE(AddBytes(drive, "three", Pattern(1000, 8), which != 1));
    EXPECT_TRUE(AddBytes(drive, "empty", {}, true));
    EXPECT_TRUE(drive.Finish(false));
    return Contents(*host);
}

void Mutate(Bytes& data, std::mt19937& rng)
{
    const uint32_t words[] = {0, 1, 4, 8, 20, 0x7FFFFFFF, 0xFFFFFFFF, uint32_t(data.size()), uint32_t(rng())};
    int steps = 1 + int(rng() % 4);
    for (int s = 0; s < steps && !data.empty(); ++s) {
        size_t at = rng() % data.size();
        switch (rng() % 5) {
        case 0:
            data[at] ^= uint8_t(1u << (rng() % 8));
            break;
        case 1:
            data[at] = uint8_t(rng());
            break;
        case 2:
            if (at + 4 <= data.size())
                PutWord(data, at, words[rng() % (sizeof words / sizeof words[0])]);
            break;
        case 3:
            data.resize(at);
            break;
        default:
            data.insert(data.begin() + long(at), size_t(1 + rng() % 8), uint8_t(rng()));
            break;
        }
    }
}

// The directory text of a sound archive, so it can be mutated before it
// is compressed again.
bool SplitSound(const Bytes& archive, size_t& directoryAt, Bytes& text)
{
    const size_t headerAt = archive.size() - 32;
    directoryAt = headerAt - Word(archive, headerAt + 16);
    const uint32_t block = Word(archive, directoryAt);
    text.assign(Word(archive, directoryAt + 4), 0);
    uLongf length = uLongf(text.size());
    return uncompress(text.data(), &length, archive.data() + directoryAt + 8, block - 4) == Z_OK;
}

void TryAll(const Bytes& bytes, std::mt19937& rng)
{
    CArchiveDrive drive;
    if (drive.Open(HostOf(bytes), nullptr, true))
        Walk(drive, rng, 0);
    CArchiveDrive named;
    if (named.Open(HostOf(bytes), "PROFILE", true))
        Walk(named, rng, 0);
}

TEST(ArchiveDamage, SeededMutationsNeverGetPastTheChecks)
{
    std::mt19937 rng(20240611);
    for (int which = 0; which < 3; ++which) {
        const Bytes seed = Seed(which);
        {
            std::mt19937 walkRng(1);
            CArchiveDrive drive;
            ASSERT_TRUE(drive.Open(HostOf(seed), nullptr, true));
            Walk(drive, walkRng, 0);
        }
        size_t directoryAt = 0;
        Bytes text;
        ASSERT_TRUE(SplitSound(seed, directoryAt, text));
        const std::string name = which == 2 ? "profile" : "seed";
        const Bytes data(seed.begin() + 4 + long(name.size()) + 1, seed.begin() + long(directoryAt));
        for (int i = 0; i < 700; ++i) {
            Bytes whole = seed;
            Mutate(whole, rng);
            TryAll(whole, rng);

            Bytes mutatedText = text;
            Mutate(mutatedText, rng);
            SLayout layout;
            layout.chunk = which == 0 ? 64 : which == 1 ? 200 : 8192;
            Bytes composed = Compose(name, data, mutatedText, layout);
            composed.insert(composed.begin(), {'h', 'o', 's', 't'});
            TryAll(composed, rng);
            if (HasFatalFailure())
                return;
        }
    }
}

} // namespace

// Extracting a damaged entry over an existing file keeps the file whole:
// the copy goes to a new file that replaces the old one only when the
// whole entry was read; a new name that cannot be read whole is not left.
TEST(ArchiveDamage, ADamagedEntryNeverReplacesOrLeavesAFile)
{
    const Bytes whole = Pattern(300, 3);
    Bytes data;
    std::vector<uint32_t> offsets;
    for (size_t at = 0; at < whole.size(); at += 100) {
        offsets.push_back(uint32_t(data.size()));
        Bytes packed = Deflate(Bytes(whole.begin() + at, whole.begin() + at + 100));
        Bytes word(4);
        PutWord(word, 0, uint32_t(packed.size()));
        data.insert(data.end(), word.begin(), word.end());
        data.insert(data.end(), packed.begin(), packed.end());
    }
    SText text;
    text.W(2).W(5).Name("old.dat").W(300).W(2).W(3);
    for (uint32_t c : offsets)
        text.W(c);
    text.W(5).Name("new.dat").W(300).W(2).W(3);
    for (uint32_t c : offsets)
        text.W(c);
    SLayout small;
    small.chunk = 100;
    data[offsets[2] + 8] ^= 0x55; // the last chunk of both entries

    CTempDir temp;
    WriteDisk(temp / "old.dat", Bytes(30, 'o'));
    CArchiveDrive archive;
    ASSERT_TRUE(archive.Open(HostOf(Compose("a", data, text.bytes, small)), nullptr, true));
    Zorlin::CDiskDrive disk(temp.Path().c_str());
    EXPECT_FALSE(disk.CopyTreeFrom(archive, true, false));
    EXPECT_EQ(ReadDisk(temp / "old.dat"), Bytes(30, 'o'));
    EXPECT_FALSE(std::filesystem::exists(temp / "new.dat"));
    size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path()))
        left += entry.path().filename() == "old.dat" ? 0 : 1;
    EXPECT_EQ(left, 0u) << "no temporary file stays";
}
