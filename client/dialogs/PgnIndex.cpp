#include "client/dialogs/PgnIndex.h"

#include <cstring>
#include <new>

#include "chess/PgnScanner.h"
#include "foundation/AssocArray.h"
#include "foundation/File.h"

using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CString;

// Every distinct name once, each ended by a 0 byte and known by where it
// starts. The lookup table is needed only while the list is built.
class CPgnIndex::CNamePool {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // The name's place, kNone for an empty name; false when the pool is
    // full. A name ends at its first 0 byte.
    bool Intern(const CString& name, uint32_t& id)
    {
        const char* text = name.GetText();
        const size_t length = text ? strnlen(text, size_t(name.GetLength())) : 0;
        id = kNone;
        if (length == 0)
            return true;
        if (m_text.size() + length + 1 >= kNone)
            return false;
        if ((m_used + 1) * 2 > m_slots.size())
            Grow();
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = Hash(text, length) & mask;; slot = (slot + 1) & mask) {
            const uint32_t at = m_slots[slot];
            if (at == kNone) {
                id = uint32_t(m_text.size());
                m_text.insert(m_text.end(), text, text + length);
                m_text.push_back(0);
                m_slots[slot] = id;
                ++m_used;
                return true;
            }
            if (std::memcmp(&m_text[at], text, length) == 0 && m_text[at + length] == 0) {
                id = at;
                return true;
            }
        }
    }
    // Null for kNone.
    const char* Get(uint32_t id) const { return id == kNone ? nullptr : &m_text[id]; }
    // The list is complete: no more names come.
    void Seal()
    {
        std::vector<uint32_t>().swap(m_slots);
        m_text.shrink_to_fit();
        m_used = 0;
    }
    size_t GetMemoryUse() const { return m_text.capacity() + m_slots.capacity() * sizeof(uint32_t); }

private:
    static size_t Hash(const char* text, size_t length)
    {
        uint32_t hash = 2166136261u;
        for (size_t i = 0; i < length; ++i)
            hash = (hash ^ uint8_t(text[i])) * 16777619u;
        return hash;
    }
    void Grow()
    {
        std::vector<uint32_t> old(m_slots.empty() ? 1024 : m_slots.size() * 2, kNone);
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (uint32_t at : old) {
            if (at == kNone)
                continue;
            size_t slot = Hash(&m_text[at], std::strlen(&m_text[at])) & mask;
            while (m_slots[slot] != kNone)
                slot = (slot + 1) & mask;
            m_slots[slot] = at;
        }
    }

    std::vector<char> m_text;
    std::vector<uint32_t> m_slots; // places of names by hash, kNone when free
    size_t m_used = 0;
};

namespace {

const char* const kUnknown = "unknown";

CString TagValue(CAssocArray<CString>& tags, const char* name)
{
    const CString* value = tags.Find(name);
    return value ? *value : CString();
}

// Reads one game's tags and walks its move text; the file is left where
// the game ends. False when no game is left. pace is asked before each
// read of the file (stopped: it said no).
bool ScanGame(CFile& file, CAssocArray<CString>& tags, const CPgnInput::Pace& pace, bool& ranDry, bool& stopped)
{
    CString error;
    CPgnScanner scanner(file);
    scanner.SetPace(pace);
    const CPgnScanner::TagEnd end = scanner.ReadTags(tags, error);
    if (end == CPgnScanner::TAGS_MOVE_TEXT)
        scanner.SkipGame();
    ranDry = scanner.RanDry();
    stopped = scanner.WasStopped();
    return end != CPgnScanner::TAGS_NO_GAME;
}

CString Label(int number, const char* white, const char* black)
{
    CString label;
    label.Append(number);
    label.Append(". ");
    label.Append(white && *white ? white : kUnknown);
    label.Append(" vs ");
    label.Append(black && *black ? black : kUnknown);
    return label;
}

} // namespace

CPgnIndex::CPgnIndex() : m_names(new CNamePool) {}

CPgnIndex::~CPgnIndex() = default;

CString CPgnIndex::MakeLabel(int number, const CString& white, const CString& black)
{
    return Label(number, white.GetText(), black.GetText());
}

void CPgnIndex::Clear()
{
    m_chunks.clear();
    m_names.reset(new CNamePool);
    m_count = 0;
    m_end = 0;
    m_complete = true;
}

const CPgnIndex::SGame& CPgnIndex::At(int n) const
{
    return m_chunks[size_t(n) >> kChunkBits][size_t(n) & (kChunkGames - 1)];
}

uint64_t CPgnIndex::EndOf(int n) const
{
    return n + 1 < m_count ? At(n + 1).offset : m_end;
}

bool CPgnIndex::Add(uint64_t offset, const CString& white, const CString& black)
{
    if (m_count >= kMaxGames)
        return false;
    try {
        SGame game{offset, CNamePool::kNone, CNamePool::kNone};
        if (!m_names->Intern(white, game.white) || !m_names->Intern(black, game.black))
            return false;
        if ((m_count & (kChunkGames - 1)) == 0)
            m_chunks.emplace_back(new SGame[kChunkGames]);
        m_chunks.back()[size_t(m_count) & (kChunkGames - 1)] = game;
    } catch (const std::bad_alloc&) {
        return false;
    }
    ++m_count;
    return true;
}

int CPgnIndex::Build(CFile& file, const Progress& progress, const Pace& pace)
{
    Clear();
    const uint64_t size = file.GetSize();
    CAssocArray<CString> tags;
    uint64_t start = file.GetPosition();
    m_end = start;
    while (true) {
        bool ranDry = false, stopped = false;
        const bool found = ScanGame(file, tags, pace, ranDry, stopped);
        // What was read of the game the progress stopped in is dropped.
        if (stopped)
            break;
        const uint64_t end = file.GetPosition();
        // The data stopped before the file's end: whatever was read of this
        // game may be only its beginning.
        if (ranDry && end < size) {
            m_complete = false;
            break;
        }
        if (!found)
            break;
        // A reader that makes no progress would loop for ever.
        if (end <= start || !Add(start, TagValue(tags, "White"), TagValue(tags, "Black"))) {
            m_complete = false;
            break;
        }
        m_end = start = end;
        if (progress && !progress(m_count))
            break;
    }
    m_names->Seal();
    return m_count;
}

CString CPgnIndex::GetLabel(int n) const
{
    if (n < 0 || n >= m_count)
        return CString();
    const SGame& game = At(n);
    return Label(n + 1, m_names->Get(game.white), m_names->Get(game.black));
}

bool CPgnIndex::ReadGame(CFile& file, int n, CString& text) const
{
    if (n < 0 || n >= m_count)
        return false;
    const uint64_t from = At(n).offset, to = EndOf(n);
    if (to < from || to - from > kMaxGameText || !file.Seek(int64_t(from), CFile::kSeekStart))
        return false;
    const uint32_t length = uint32_t(to - from);
    text = CString();
    text.SetLength(int(length));
    char* out = text.GetBuffer();
    uint32_t done = 0;
    // A read may stop at a block boundary of a buffered file.
    while (done < length) {
        if (!file.Read(out + done, length - done) || file.GetLastReadCount() == 0)
            return false;
        done += file.GetLastReadCount();
    }
    return true;
}

size_t CPgnIndex::GetMemoryUse() const
{
    return sizeof(*this) + m_chunks.capacity() * sizeof(m_chunks[0]) +
           m_chunks.size() * kChunkGames * sizeof(SGame) + m_names->GetMemoryUse();
}
