#include "foundation/ConfigText.h"

#include <climits>
#include <cstring>

#include "foundation/AtomicFile.h"
#include "foundation/DiskDrive.h"
#include "foundation/File.h"

namespace Zorlin {

namespace {

const char kLineEnd[] = "\r\n";

bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsSeparator(int c) { return c <= 32 || c == '|'; }
// A byte no text file of ours holds outside a quoted value.
bool IsStrayControl(int c) { return c < 32 && c != '\t' && c != '\r' && c != '\n'; }

int CountStrayControls(const unsigned char* bytes, int from, int to)
{
    int n = 0;
    for (int i = from; i < to; ++i)
        n += IsStrayControl(bytes[i]) ? 1 : 0;
    return n;
}

// Appends with room doubling, so building a long text byte by byte stays
// linear (a string's own grow step adds a fixed amount each time).
void AppendBytes(CString& out, const unsigned char* bytes, int n)
{
    if (n <= 0)
        return;
    const int need = out.GetLength() + n;
    if (need + 17 > out.GetCapacity())
        out.Reserve(need * 2 + 16);
    out.Append(reinterpret_cast<const char*>(bytes), n);
}

void AppendByte(CString& out, int c)
{
    const unsigned char byte = static_cast<unsigned char>(c);
    AppendBytes(out, &byte, 1);
}

void AppendText(CString& out, const CString& text)
{
    AppendBytes(out, reinterpret_cast<const unsigned char*>(text.GetText()), text.GetLength());
}

void AppendText(CString& out, const char* text, int n)
{
    AppendBytes(out, reinterpret_cast<const unsigned char*>(text), n);
}

void AppendTabs(CString& out, int depth)
{
    for (int i = 0; i < depth; ++i)
        AppendByte(out, '\t');
}

// "#" and the decimal counter, exactly: the name an unnamed entry gets.
bool IsUnnamedName(const CString& name, uint32_t counter)
{
    CString expected("#");
    expected.Append(unsigned(counter));
    return name == expected;
}

} // namespace

// ---------------------------------------------------------------- reading

CConfigReader::CConfigReader(CConfig& store, const char* text, int length)
    : m_store(store), m_bytes(reinterpret_cast<const unsigned char*>(text)), m_pos(0),
      m_end(length > 0 ? length : 0), m_topClosed(false), m_children(nullptr), m_cut(false), m_values(0),
      m_literalControls(0)
{
    m_stack.AddNew(); // the top level
}

void CConfigReader::SkipBlanks()
{
    while (m_pos < m_end && IsBlank(m_bytes[m_pos]))
        ++m_pos;
}

bool CConfigReader::SkipSeparators()
{
    while (m_pos < m_end && IsSeparator(m_bytes[m_pos]))
        ++m_pos;
    return m_pos < m_end;
}

void CConfigReader::SkipLine()
{
    while (m_pos < m_end) {
        const int c = m_bytes[m_pos++];
        if (c == '\n' || c == '\r')
            return;
    }
}

void CConfigReader::TrimTrailingSpaces(CString& text)
{
    int n = text.GetLength();
    while (n > 0 && text[n - 1] == ' ')
        --n;
    if (n < text.GetLength())
        text.Truncate(n);
}

// A backslash takes the byte after it as it is; an unterminated quote
// takes the rest of the text.
void CConfigReader::ReadQuoted(CString& out)
{
    const int begin = m_pos;
    ReadQuotedText(out);
    m_literalControls += CountStrayControls(m_bytes, begin, m_pos);
}

void CConfigReader::ReadQuotedText(CString& out)
{
    while (m_pos < m_end) {
        const int start = m_pos;
        while (m_pos < m_end && m_bytes[m_pos] != '"' && m_bytes[m_pos] != '\\')
            ++m_pos;
        AppendBytes(out, m_bytes + start, m_pos - start);
        if (m_pos >= m_end)
            break;
        if (m_bytes[m_pos++] == '"')
            return;
        if (m_pos < m_end)
            AppendByte(out, m_bytes[m_pos++]);
    }
    m_cut = true;
}

// After the opening '<': up to the '>' that balances it, inner brackets kept.
void CConfigReader::ReadBracketed(CString& out)
{
    const int start = m_pos;
    int depth = 1;
    for (; m_pos < m_end; ++m_pos) {
        const int c = m_bytes[m_pos];
        if (c == '<') {
            ++depth;
        } else if (c == '>' && --depth == 0) {
            AppendBytes(out, m_bytes + start, m_pos - start);
            m_literalControls += CountStrayControls(m_bytes, start, m_pos);
            ++m_pos;
            return;
        }
    }
    AppendBytes(out, m_bytes + start, m_pos - start);
    m_literalControls += CountStrayControls(m_bytes, start, m_pos);
    m_cut = true;
}

// An unquoted word; true when it ended its entry ('|' or '}').
bool CConfigReader::ReadWord(CString& out)
{
    for (;;) {
        const int start = m_pos;
        while (m_pos < m_end) {
            const int c = m_bytes[m_pos];
            if (c <= 32 || c == '\\' || c == '|' || c == '}' || c == '=')
                break;
            ++m_pos;
        }
        AppendBytes(out, m_bytes + start, m_pos - start);
        int c = Next();
        if (c < 0)
            return false;
        if (c == '\\') {
            // Dropped; the byte after it stands for itself but still stops the word.
            c = Next();
            if (c < 0)
                return false;
        }
        if (c <= 32) {
            PutBack();
            return false;
        }
        if (c == '|')
            return true;
        if (c == '}') {
            PutBack();
            return true;
        }
        AppendByte(out, c);
        if (c == '=')
            return false;
    }
}

// The rest of an unquoted value, up to a control byte, '|' or '}'.
void CConfigReader::ReadRest(CString& out)
{
    for (;;) {
        const int start = m_pos;
        while (m_pos < m_end) {
            const int c = m_bytes[m_pos];
            if (c < 32 || c == '\\' || c == '|' || c == '}')
                break;
            ++m_pos;
        }
        AppendBytes(out, m_bytes + start, m_pos - start);
        int c = Next();
        if (c < 0)
            return;
        if (c == '\\') {
            c = Next();
            if (c < 0)
                return;
            if (c >= 32 && c != '|' && c != '}') {
                AppendByte(out, c);
                continue;
            }
        }
        if (c == '}') {
            PutBack();
            return;
        }
        if (c < 32) {
            while (m_pos < m_end && m_bytes[m_pos] < 32)
                ++m_pos;
            return;
        }
        if (c == '|')
            return;
        AppendByte(out, c);
    }
}

// False at the end of the text, which ends reading successfully (a key the
// text ends in before its '=' is dropped).
bool CConfigReader::ReadKeyToken(SToken& token)
{
    token.text = CString();
    SkipBlanks();
    const int c = Peek();
    if (c < 0)
        return false;
    if (IsSeparator(c)) {
        if (!SkipSeparators())
            return false;
        token.kind = kMarker;
        token.endsEntry = true;
        if (Peek() == '{') {
            Next();
            token.text = "{";
        }
        return true;
    }
    if (c == '{' || c == '}' || c == ';') {
        Next();
        token.text.Append(char(c));
        token.kind = kMarker;
        token.endsEntry = true;
        return true;
    }
    token.endsEntry = c == '"';
    if (c == '"') {
        Next();
        ReadQuoted(token.text);
        token.kind = kLiteral;
        return true;
    }
    token.kind = kWord;
    if (c == '=') {
        Next();
        token.text = "=";
        return true;
    }
    const int start = m_pos;
    while (m_pos < m_end && m_bytes[m_pos] != '=')
        ++m_pos;
    if (m_pos >= m_end) {
        m_cut = true;
        return false;
    }
    AppendBytes(token.text, m_bytes + start, m_pos - start);
    ++m_pos;
    return true;
}

void CConfigReader::ReadValueToken(SToken& token)
{
    token.text = CString();
    token.kind = kLiteral;
    token.endsEntry = true;
    SkipBlanks();
    const int c = Peek();
    if (c < 0) {
        token.kind = kWord;
        token.endsEntry = false;
        return;
    }
    if (IsSeparator(c)) {
        SkipSeparators();
        if (Peek() == '{') {
            Next();
            token.text = "{";
            token.kind = kMarker;
        }
        return;
    }
    Next();
    if (c == '{' || c == '}' || c == ';') {
        token.text.Append(char(c));
        token.kind = kMarker;
        return;
    }
    if (c == '"') {
        ReadQuoted(token.text);
        return;
    }
    if (c == '<') {
        ReadBracketed(token.text);
        return;
    }
    PutBack();
    token.kind = kWord;
    token.endsEntry = ReadWord(token.text);
    if (!token.endsEntry)
        TrimTrailingSpaces(token.text);
}

CString CConfigReader::FullKey(const CString& name) const
{
    if (m_path.IsEmpty())
        return name;
    CString full(m_path);
    full.Append('.');
    full.Append(name);
    return full;
}

CConfig::SChildren& CConfigReader::CurrentChildren()
{
    if (!m_children)
        m_children = &m_store.FrameAt(m_path);
    return *m_children;
}

bool CConfigReader::OpenFrame(const CString& name)
{
    const int open = m_stack.GetCount() - (m_topClosed ? 0 : 1);
    if (open >= CConfig::kMaxDepth)
        return false;
    CString path = FullKey(name);
    if (path.GetLength() > CConfig::kMaxKeyLength)
        return false;
    CurrentChildren().FindOrAdd(name, CConfig::Hash(name));
    CConfig::SFrameEntry* entry = m_stack.AddNew();
    entry->name = name;
    m_path = path;
    m_children = nullptr;
    return true;
}

// A '}' at the top level closes the top-level entry itself; one more fails.
bool CConfigReader::CloseFrame()
{
    const int count = m_stack.GetCount();
    if (count == 0)
        return false;
    m_stack.SetSize(count - 1, false);
    if (count == 1)
        m_topClosed = true;
    RebuildPath();
    return true;
}

void CConfigReader::RebuildPath()
{
    m_path = CString();
    for (int i = m_topClosed ? 0 : 1; i < m_stack.GetCount(); ++i) {
        if (!m_path.IsEmpty())
            m_path.Append('.');
        m_path.Append(m_stack.GetAt(i)->name);
    }
    m_children = nullptr;
}

bool CConfigReader::Run()
{
    SToken key;
    SToken value;
    while (ReadKeyToken(key)) {
        if (key.text.IsEmpty())
            continue;
        if (key.kind == kMarker && key.text == ";") {
            SkipLine();
            continue;
        }
        if (key.kind == kMarker && key.text == "}") {
            if (!CloseFrame())
                return false;
            continue;
        }
        CString name = key.text;
        if (key.kind == kWord) {
            if (name[name.GetLength() - 1] == '=')
                name.Truncate(-1);
            name.Trim();
        }
        if (name.IsEmpty()) {
            const int count = m_stack.GetCount();
            if (count == 0)
                return false;
            CConfig::SFrameEntry* frame = m_stack.GetAt(count - 1);
            name = "#";
            name.Append(unsigned(frame->counter++));
        }

        ReadValueToken(value);
        // A quoted name may be followed by '=' and then its value.
        if (key.endsEntry && value.kind == kWord && value.text == "=")
            ReadValueToken(value);
        if (value.kind == kMarker && value.text == "{") {
            if (!OpenFrame(name))
                return false;
            continue;
        }

        CString full = FullKey(name);
        if (full.GetLength() > CConfig::kMaxKeyLength)
            return false;
        if (!value.endsEntry)
            ReadRest(value.text);
        ++m_values;
        if (m_store.FindValue(full))
            continue; // the first value read or set wins
        if (!value.endsEntry)
            TrimTrailingSpaces(value.text);
        m_store.AddValue(full) = value.text;
        ++*CurrentChildren().FindOrAdd(name, CConfig::Hash(name));
    }
    return true;
}

namespace {

// The count of a "; auto-generated" header's "; N keys" line; -1 without
// the header, INT_MAX when the text ends or breaks inside it.
int HeaderKeyCount(const unsigned char* bytes, int length)
{
    static const char kFirst[] = "; auto-generated\r\n; ";
    static const char kLast[] = " keys\r\n";
    const int first = int(sizeof kFirst) - 1;
    const int last = int(sizeof kLast) - 1;
    if (std::memcmp(bytes, kFirst, size_t(length < first ? length : first)) != 0)
        return -1;
    if (length < first)
        return INT_MAX;
    long count = 0;
    int i = first;
    for (; i < length && bytes[i] >= '0' && bytes[i] <= '9' && count < 100000000; ++i)
        count = count * 10 + (bytes[i] - '0');
    if (i == first || length - i < last || std::memcmp(bytes + i, kLast, size_t(last)) != 0)
        return INT_MAX;
    return int(count);
}

} // namespace

bool CConfigReader::IsWhole() const
{
    if (m_end == 0 || m_cut || m_topClosed || m_stack.GetCount() != 1)
        return false;
    if (CountStrayControls(m_bytes, 0, m_end) > m_literalControls)
        return false;
    return m_values >= HeaderKeyCount(m_bytes, m_end);
}

// ---------------------------------------------------------------- writing

CConfigWriter::CConfigWriter(const CConfig& store) : m_store(store), m_root(nullptr), m_written(0)
{
    m_owned.Add(CAutoPointer<SFrames>(new SFrames(10, 6)));
    m_root = m_owned.GetAt(-1)->Get();
}

// Only '.' separates names, and empty names vanish: a name holding a quote
// must come back as it went.
void CConfigWriter::AddKey(const CString& key)
{
    SFrames* frame = m_root;
    CConfig::SFrame* node = nullptr;
    const int length = key.GetLength();
    int start = 0;
    while (start <= length) {
        int end = start;
        while (end < length && key[end] != '.')
            ++end;
        if (end > start) {
            if (node) {
                if (!node->children) {
                    m_owned.Add(CAutoPointer<SFrames>(new SFrames(50, 4)));
                    node->children = m_owned.GetAt(-1)->Get();
                }
                frame = node->children;
            }
            CString name = key.Mid(start, end - 1);
            node = frame->FindOrAdd(name, CConfig::Hash(name));
            if (node->name.IsEmpty())
                node->name = name;
        }
        start = end + 1;
    }
    if (node && node->key.IsEmpty())
        node->key = key;
}

void CConfigWriter::BuildTree()
{
    m_store.ForEachValue([this](const CString& key, const CString&) { AddKey(key); });
}

CString CConfigWriter::LookUp(const CString& key) const
{
    const CString* value = m_store.FindValue(key);
    return value ? *value : CString();
}

void CConfigWriter::WriteName(CString& out, const CString& name, bool unnamed, int depth)
{
    AppendTabs(out, depth);
    if (!unnamed)
        AppendText(out, CConfig::QuoteText(name, true));
    AppendByte(out, '=');
}

// Iterative, so a key of many names cannot exhaust the stack.
void CConfigWriter::WriteFrame(CString& out, SFrames& top, int depth)
{
    struct SLevel {
        const SFrames::SNodeList::SNode* next;
        uint32_t counter;
    };
    CArray<SLevel> levels;
    levels.Add(SLevel{top.GetNodeList().GetHead(), 0});
    while (levels.GetCount() > 0) {
        const int level = levels.GetCount() - 1;
        SLevel& current = *levels.GetAt(level);
        if (!current.next) {
            levels.SetSize(level);
            if (level > 0) {
                AppendTabs(out, depth + level - 1);
                AppendText(out, "}\r\n", 3);
            }
            continue;
        }
        const CConfig::SFrame& node = *current.next->value.value;
        current.next = current.next->next;

        const bool hasValue = !node.key.IsEmpty();
        const bool hasChildren = node.children && node.children->GetCount() > 0;
        // The bare '=' form numbers itself on reading, so it serves only a
        // name that matches the count and is written once.
        const bool unnamed = !(hasValue && hasChildren) && IsUnnamedName(node.name, current.counter);
        if (unnamed)
            ++current.counter;
        if (hasValue) {
            ++m_written;
            WriteName(out, node.name, unnamed, depth + level);
            AppendByte(out, ' ');
            AppendText(out, CConfig::QuoteText(LookUp(node.key), false));
            AppendText(out, kLineEnd, 2);
        }
        if (hasChildren) {
            WriteName(out, node.name, unnamed, depth + level);
            AppendText(out, kLineEnd, 2);
            AppendTabs(out, depth + level);
            AppendText(out, "{\r\n", 3);
            levels.Add(SLevel{node.children->GetNodeList().GetHead(), 0});
        }
    }
}

CString CConfigWriter::Run(bool header)
{
    BuildTree();
    CString body;
    WriteFrame(body, *m_root, 0);
    if (!header)
        return body;
    // The values written, which a reader checks the file against: the
    // store's count but for keys with no name to write (empty, or dots only).
    CString out;
    AppendText(out, "; auto-generated\r\n", 18);
    CString count("; ");
    count.Append(m_written);
    count.Append(" keys\r\n");
    AppendText(out, count);
    AppendText(out, body);
    return out;
}

// ---------------------------------------------------------------- CConfig

CString CConfig::QuoteText(const CString& text, bool isKey)
{
    const int n = text.GetLength();
    if (n == 0)
        return CString("\"\"");
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.GetText());
    // A leading ';' would read as a comment or a one-byte value, a leading
    // '#' in a name as an unnamed entry.
    bool quote = bytes[n - 1] <= 32 || bytes[0] == '<' || bytes[0] == ' ' || bytes[0] == ';' ||
                 (isKey && bytes[0] == '#');
    for (int i = 0; i < n && !quote; ++i) {
        const unsigned char c = bytes[i];
        quote = c < 32 || c == '|' || c == '"' || c == '\\' || c == '{' || c == '}' || (isKey && c == '=');
    }
    if (!quote)
        return text;
    CString out;
    out.Reserve(n + n / 8 + 2);
    out.Append('"');
    int start = 0;
    for (int i = 0; i < n; ++i) {
        const unsigned char c = bytes[i];
        if (c != '"' && c != '\\' && c != '|')
            continue;
        AppendBytes(out, bytes + start, i - start);
        AppendByte(out, '\\');
        start = i;
    }
    AppendBytes(out, bytes + start, n - start);
    AppendByte(out, '"');
    return out;
}

bool CConfig::ReadText(const char* text, int length)
{
    CConfigReader reader(*this, text, length);
    if (!reader.Run())
        return false;
    m_prefix = CString();
    return true;
}

bool ReadTextWhole(CConfig& store, const char* text, int length)
{
    CConfigReader reader(store, text, length);
    if (!reader.Run())
        return false;
    store.SetPrefix("."); // empty, as after any successful read
    return reader.IsWhole();
}

bool CConfig::ReadSmall(CFile& file, uint32_t maxBytes)
{
    if (!file.IsOpen() || file.GetSize() > maxBytes)
        return false;
    // A file that yields more than its size said (a device, a file still
    // growing) is refused as well, once it passes the bound.
    CString text;
    unsigned char block[16384];
    while (file.Read(block, sizeof block)) {
        const uint32_t got = file.GetLastReadCount();
        if (got == 0 || got > sizeof block)
            break;
        if (uint64_t(text.GetLength()) + got > maxBytes)
            return false;
        AppendBytes(text, block, int(got));
    }
    return ReadText(text.GetText(), text.GetLength());
}

namespace {

// What is left of the file up to the size it has now: a device or a file
// still growing would otherwise be read for ever.
CString ReadToEnd(CFile& file)
{
    CString text;
    text.AppendFile(file);
    return text;
}

} // namespace

bool CConfig::Read(CFile& file)
{
    if (!file.IsOpen())
        return false;
    const CString text = ReadToEnd(file);
    return ReadText(text.GetText(), text.GetLength());
}

bool ReadWhole(CConfig& store, CFile& file)
{
    if (!file.IsOpen())
        return false;
    const CString text = ReadToEnd(file);
    return ReadTextWhole(store, text.GetText(), text.GetLength());
}

CString CConfig::ToText(bool header) const
{
    CConfigWriter writer(*this);
    return writer.Run(header);
}

bool CConfig::Write(CFile& file, bool header) const
{
    if (!file.IsOpen() || !file.IsWritable())
        return false;
    const CString text = ToText(header);
    const char* bytes = text.GetText();
    unsigned left = unsigned(text.GetLength());
    while (left > 0) {
        if (!file.Write(bytes, left))
            return false;
        const uint32_t wrote = file.GetLastWriteCount();
        if (wrote == 0 || wrote > left)
            return false;
        bytes += wrote;
        left -= wrote;
    }
    return true;
}

bool CConfig::WriteDiskFile(const CString& path, bool header) const
{
    const CString text = ToText(header);
    return WriteFileAtomically(path, text.GetText(), size_t(text.GetLength()));
}

bool CConfig::Write(CDrive& drive, const CURL& path, bool header) const
{
    if (!drive.IsValid())
        return false;
    if (CDiskDrive* disk = dynamic_cast<CDiskDrive*>(&drive))
        return WriteDiskFile(disk->GetDiskPath(path), header);
    CAutoPointer<CFile> file = drive.OpenFile(path, CFile::kModeWrite | CFile::kModeCreate);
    return file && file->IsOpen() && Write(*file, header);
}

} // namespace Zorlin
