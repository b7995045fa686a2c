#include "foundation/String.h"

#include "foundation/Array.h"
#include "foundation/AssocArray.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace Zorlin {

static_assert(sizeof(CString) == sizeof(char*), "a string is one pointer wide");

namespace {

const int kDefaultGrowStep = 32;

inline unsigned char LowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

// ---------------------------------------------------------------- blocks

char* CString::NewBlock(int64_t size, int growStep)
{
    if (size > INT32_MAX)
        throw std::bad_alloc();
    void* block = std::malloc(static_cast<size_t>(size));
    if (!block)
        throw std::bad_alloc();
    SHeader* h = static_cast<SHeader*>(block);
    h->length = 0;
    h->capacity = static_cast<int32_t>(size);
    h->growStep = growStep;
    h->refs = 1;
    char* text = reinterpret_cast<char*>(h + 1);
    text[0] = 0;
    return text;
}

void CString::Release()
{
    if (!m_text)
        return;
    SHeader* h = Header();
    if (--h->refs == 0)
        std::free(h);
    m_text = nullptr;
}

bool CString::Owns(const char* p) const
{
    return m_text && p >= m_text && p < m_text + (Header()->capacity - kHeaderSize);
}

void CString::Reserve(int n)
{
    if (n < 0)
        n = 0;
    if (!m_text) {
        m_text = NewBlock((static_cast<int64_t>(n) + 32) & ~int64_t(15), kDefaultGrowStep);
        return;
    }
    SHeader* h = Header();
    int64_t size = static_cast<int64_t>(n) + kHeaderSize + 1;
    if (h->refs < 2 && size <= h->capacity)
        return;
    // Half the capacity again at least, so text built piece by piece
    // costs time linear in its length.
    if (size > h->capacity)
        size += std::max<int64_t>(h->growStep, h->capacity / 2);
    size = (size + 15) & ~int64_t(15);
    if (size > INT32_MAX)
        throw std::bad_alloc();
    if (h->refs < 2) {
        // Unique and out of room: growing in place keeps every byte.
        void* grown = std::realloc(h, static_cast<size_t>(size));
        if (!grown)
            throw std::bad_alloc();
        h = static_cast<SHeader*>(grown);
        h->capacity = static_cast<int32_t>(size);
        m_text = reinterpret_cast<char*>(h + 1);
        return;
    }
    char* text = NewBlock(size, h->growStep);
    int room = static_cast<int>(size) - kHeaderSize - 1;
    int keep = std::min(h->length, room);
    std::memcpy(text, m_text, static_cast<size_t>(keep));
    text[keep] = 0;
    Header()->refs--; // shared, so never the last holder
    m_text = text;
    Header()->length = keep;
}

void CString::SetGrowStep(int step)
{
    Reserve(GetLength());
    Header()->growStep = step;
}

char* CString::GetBuffer()
{
    Reserve(GetLength());
    return m_text;
}

void CString::SetLength(int n, bool fill, char c)
{
    if (n < 0)
        n = 0;
    int old = GetLength();
    Reserve(n);
    if (fill && n > old)
        std::memset(m_text + old, c, static_cast<size_t>(n - old));
    SetLengthRaw(n);
}

void CString::Truncate(int n)
{
    int len = GetLength();
    if (n < 0)
        n = std::max(0, n + len);
    if (n >= len)
        return;
    Reserve(n);
    SetLengthRaw(n);
}

// ---------------------------------------------------------------- construction

CString::CString(const char* text) : m_text(nullptr)
{
    int n = text ? static_cast<int>(std::strlen(text)) : 0;
    Reserve(n);
    if (n)
        std::memcpy(m_text, text, static_cast<size_t>(n));
    SetLengthRaw(n);
}

CString::CString(const CString& source, int from, int to) : m_text(nullptr)
{
    int len = source.GetLength();
    from = std::max(0, source.Adjust(from));
    to = std::min(len - 1, source.Adjust(to));
    if (from > to)
        return;
    *this = source.Range(from, to - from + 1);
}

CString::CString(const CString& a, const CString& b) : m_text(nullptr)
{
    int la = a.GetLength(), lb = b.GetLength();
    if (la + lb == 0)
        return;
    m_text = NewBlock((static_cast<int64_t>(la) + lb + kHeaderSize + 1 + 15) & ~int64_t(15),
                      kDefaultGrowStep);
    std::memcpy(m_text, a.GetText(), static_cast<size_t>(la));
    std::memcpy(m_text + la, b.GetText(), static_cast<size_t>(lb));
    SetLengthRaw(la + lb);
}

CString::CString(const char* a, const char* b) : m_text(nullptr)
{
    size_t la = a ? std::strlen(a) : 0, lb = b ? std::strlen(b) : 0;
    if (la + lb == 0)
        return;
    m_text = NewBlock((static_cast<int64_t>(la + lb) + kHeaderSize + 1 + 15) & ~int64_t(15),
                      kDefaultGrowStep);
    if (la)
        std::memcpy(m_text, a, la);
    if (lb)
        std::memcpy(m_text + la, b, lb);
    SetLengthRaw(static_cast<int>(la + lb));
}

CString& CString::operator=(CString&& other) noexcept
{
    if (this != &other) {
        Release();
        m_text = other.m_text;
        other.m_text = nullptr;
    }
    return *this;
}

void CString::Assign(const char* text)
{
    if (!text) {
        Reserve(0);
        SetLengthRaw(0);
        return;
    }
    int n = static_cast<int>(std::strlen(text));
    // Text inside our own block stays valid: a unique block never moves
    // here (n fits), and a shared one lives on with its other holders.
    Reserve(n);
    std::memmove(m_text, text, static_cast<size_t>(n));
    SetLengthRaw(n);
}

void CString::Assign(const CString& other)
{
    if (m_text == other.m_text)
        return;
    if (m_text && other.GetLength() == 0) {
        Reserve(0);
        SetLengthRaw(0);
        return;
    }
    char* text = other.m_text;
    if (text)
        ++reinterpret_cast<SHeader*>(text)[-1].refs;
    Release();
    m_text = text;
}

// ---------------------------------------------------------------- pieces

CString CString::Range(int start, int count) const
{
    if (count <= 0)
        return CString();
    if (start == 0 && count == GetLength())
        return *this;
    CString out;
    out.m_text = NewBlock((static_cast<int64_t>(count) + kHeaderSize + 1 + 15) & ~int64_t(15),
                          kDefaultGrowStep);
    std::memcpy(out.m_text, m_text + start, static_cast<size_t>(count));
    out.SetLengthRaw(count);
    return out;
}

CString CString::BeforeChar(int from, char c, bool inclusive) const
{
    int len = GetLength();
    from = std::max(0, Adjust(from));
    if (from >= len)
        return CString();
    int p = Find(c, from);
    int end = p < len ? (inclusive ? p + 1 : p) : len; // exclusive
    return Range(from, end - from);
}

CString CString::AfterChar(char c, int to, bool inclusive) const
{
    int len = GetLength();
    to = std::min(len - 1, Adjust(to));
    int p;
    int start = 0;
    if (Find(c, &p, 0, -1))
        start = inclusive ? p : p + 1;
    if (start > to)
        return CString();
    return Range(start, to - start + 1);
}

// ---------------------------------------------------------------- appending

void CString::Append(const char* text, int n)
{
    if (!text || n <= 0)
        return;
    int len = GetLength();
    if (Owns(text)) {
        // Appending (part of) ourselves: the block may move when it grows.
        ptrdiff_t offset = text - m_text;
        Reserve(len + n);
        std::memmove(m_text + len, m_text + offset, static_cast<size_t>(n));
    } else {
        Reserve(len + n);
        std::memcpy(m_text + len, text, static_cast<size_t>(n));
    }
    SetLengthRaw(len + n);
}

void CString::Append(const char* text)
{
    if (text)
        Append(text, static_cast<int>(std::strlen(text)));
}

void CString::Append(const CString& text)
{
    Append(text.m_text, text.GetLength());
}

namespace {

// Decimal digits of v, written backwards ending at end; returns the first.
char* FormatUnsigned(char* end, uint32_t v)
{
    do {
        *--end = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    return end;
}

} // namespace

void CString::Append(int value)
{
    char buf[32];
    char* end = buf + sizeof buf;
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char* p = FormatUnsigned(end, magnitude);
    if (value < 0)
        *--p = '-';
    Append(p, static_cast<int>(end - p));
}

void CString::Append(unsigned value)
{
    char buf[32];
    char* end = buf + sizeof buf;
    char* p = FormatUnsigned(end, value);
    Append(p, static_cast<int>(end - p));
}

void CString::Append(float value)
{
    char buf[200];
    int n = std::snprintf(buf, sizeof buf, "%.10g", static_cast<double>(value));
    Append(buf, n);
}

void CString::Append(double value)
{
    char buf[200];
    int n = std::snprintf(buf, sizeof buf, "%.16g", value);
    Append(buf, n);
}

void CString::AppendFormat(const char* format, ...)
{
    // Format completely before touching the block: an argument may point into it.
    char buf[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n >= 0 && static_cast<size_t>(n) < sizeof buf) {
        Append(buf, n);
    } else if (n > 0) {
        std::vector<char> big(static_cast<size_t>(n) + 1);
        std::vsnprintf(big.data(), big.size(), format, again);
        Append(big.data(), n);
    }
    va_end(again);
}

CString operator+(const char* a, const CString& b) { return CString(CString(a), b); }
CString operator+(const CString& a, const CString& b) { return CString(a, b); }
CString operator+(const CString& a, const char* b) { return CString(a.GetText(), b); }

// ---------------------------------------------------------------- searching

bool CString::Find(char c, int* pos, int from, int to) const
{
    int len = GetLength();
    if (len == 0)
        return false;
    from = std::max(0, Adjust(from));
    to = std::min(len - 1, Adjust(to));
    if (from > to)
        return false;
    const void* hit = std::memchr(m_text + from, c, static_cast<size_t>(to - from + 1));
    if (!hit)
        return false;
    if (pos)
        *pos = static_cast<int>(static_cast<const char*>(hit) - m_text);
    return true;
}

int CString::Find(char c, int from) const
{
    int len = GetLength();
    from = std::max(0, Adjust(from));
    if (from >= len)
        return from;
    const void* hit = std::memchr(m_text + from, c, static_cast<size_t>(len - from));
    return hit ? static_cast<int>(static_cast<const char*>(hit) - m_text) : len;
}

int CString::ReverseFind(char c) const
{
    for (int i = GetLength() - 1; i >= 1; --i)
        if (m_text[i] == c)
            return i;
    return 0;
}

bool CString::ReverseFind(char c, int* pos, int from, int to) const
{
    int len = GetLength();
    if (len == 0)
        return false;
    from = std::min(len - 1, Adjust(from));
    to = std::max(0, Adjust(to));
    for (int i = from; i >= to; --i) {
        if (m_text[i] == c) {
            if (pos)
                *pos = i;
            return true;
        }
    }
    return false;
}

bool CString::MatchAt(const CString& text, int pos) const
{
    int n = text.GetLength();
    if (n == 0)
        return true;
    pos = Adjust(pos);
    if (pos < 0 || GetLength() - pos < n)
        return false;
    return std::memcmp(m_text + pos, text.m_text, static_cast<size_t>(n)) == 0;
}

bool CString::Find(const CString& text, int* pos, int from, int to) const
{
    int len = GetLength();
    int n = text.GetLength();
    from = std::max(0, Adjust(from));
    to = std::min(len, Adjust(to)); // exclusive
    if (n > 0)
        to = std::min(to, len - n + 1); // later starts cannot hold the text
    if (from >= to)
        return false;
    if (n == 0) {
        if (pos)
            *pos = from;
        return true;
    }
    const char first = text.m_text[0];
    for (int p = from; p < to; ++p) {
        const void* hit = std::memchr(m_text + p, first, static_cast<size_t>(to - p));
        if (!hit)
            return false;
        p = static_cast<int>(static_cast<const char*>(hit) - m_text);
        if (std::memcmp(m_text + p + 1, text.m_text + 1, static_cast<size_t>(n - 1)) == 0) {
            if (pos)
                *pos = p;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- changing

void CString::Splice(int start, int removeCount, const char* text, int n)
{
    if (n > 0 && Owns(text)) {
        CString copy;
        copy.Append(text, n); // own block, never ours
        Splice(start, removeCount, copy.m_text, n);
        return;
    }
    int len = GetLength();
    int newLen = len - removeCount + n;
    // Keep every old character while unsharing; the tail moves afterwards.
    Reserve(std::max(len, newLen));
    int tail = len - start - removeCount;
    std::memmove(m_text + start + n, m_text + start + removeCount, static_cast<size_t>(tail));
    if (n > 0)
        std::memcpy(m_text + start, text, static_cast<size_t>(n));
    SetLengthRaw(newLen);
}

void CString::Replace(int from, int to, const CString& text)
{
    int len = GetLength();
    from = std::min(len, std::max(0, Adjust(from)));
    to = std::min(len - 1, Adjust(to));
    int count = std::max(0, to - from + 1);
    Splice(from, count, text.m_text, text.GetLength());
}

void CString::Replace(char a, char b)
{
    int len = GetLength();
    if (len == 0 || !std::memchr(m_text, a, static_cast<size_t>(len)))
        return;
    char* p = GetBuffer();
    for (int i = 0; i < len; ++i)
        if (p[i] == a)
            p[i] = b;
}

int CString::ReplaceAll(const char* find, const char* with)
{
    CString pattern(find ? find : "");
    CString replacement(with ? with : "");
    int n = pattern.GetLength();
    int len = GetLength();
    if (n == 0 || len < n)
        return 0;
    // One pass into a new block: same result as deleting and inserting at
    // each match, without the quadratic moves.
    CString out;
    out.Reserve(len);
    out.SetGrowStep(std::max(Header()->growStep, len / 2));
    int count = 0;
    int pos = 0;
    int copied = 0;
    while (Find(pattern, &pos, pos, len)) {
        out.Append(m_text + copied, pos - copied);
        out.Append(replacement);
        pos += n;
        copied = pos;
        ++count;
    }
    if (count == 0)
        return 0;
    out.Append(m_text + copied, len - copied);
    out.Header()->growStep = Header()->growStep;
    *this = static_cast<CString&&>(out);
    return count;
}

int CString::ReplaceAll(const CAssocArray<CString>& map)
{
    int count = 0;
    map.ForEach([&](const CString& key, const CString& value) {
        count += ReplaceAll(key.GetText(), value.GetText());
    });
    return count;
}

void CString::Insert(int pos, const CString& text)
{
    pos = std::min(GetLength(), std::max(0, pos));
    Splice(pos, 0, text.m_text, text.GetLength());
}

void CString::Delete(int from, int to)
{
    int len = GetLength();
    if (len == 0)
        return;
    from = std::max(0, Adjust(from));
    to = std::min(len - 1, Adjust(to));
    if (from > to)
        return;
    Splice(from, to - from + 1, nullptr, 0);
}

void CString::CaseRange(int from, int to, bool upper)
{
    int len = GetLength();
    if (len == 0)
        return;
    from = std::max(0, Adjust(from));
    to = std::min(len - 1, Adjust(to));
    if (from > to)
        return;
    char* p = GetBuffer();
    for (int i = from; i <= to; ++i) {
        char c = p[i];
        if (upper && c >= 'a' && c <= 'z')
            p[i] = static_cast<char>(c - ('a' - 'A'));
        else if (!upper && c >= 'A' && c <= 'Z')
            p[i] = static_cast<char>(c + ('a' - 'A'));
    }
}

void CString::MakeLower(int from, int to) { CaseRange(from, to, false); }
void CString::MakeUpper(int from, int to) { CaseRange(from, to, true); }

void CString::TrimLeft()
{
    int len = GetLength();
    int k = 0;
    while (k < len && m_text[k] == ' ')
        ++k;
    if (k > 0)
        Splice(0, k, nullptr, 0);
}

void CString::TrimRight()
{
    int len = GetLength();
    int k = len;
    while (k > 0 && m_text[k - 1] == ' ')
        --k;
    if (k < len)
        Truncate(k);
}

void CString::Trim()
{
    TrimRight();
    TrimLeft();
}

// ---------------------------------------------------------------- tests and comparison

bool CString::IsNumeric() const
{
    for (int i = 0, len = GetLength(); i < len; ++i)
        if (!IsDigit(m_text[i]) && m_text[i] != ' ')
            return false;
    return true;
}

bool operator==(const CString& a, const CString& b)
{
    if (a.SharesBlockWith(b))
        return true;
    int n = a.GetLength();
    return n == b.GetLength() && std::memcmp(a.GetText(), b.GetText(), static_cast<size_t>(n)) == 0;
}

bool operator==(const CString& a, const char* b)
{
    size_t n = b ? std::strlen(b) : 0;
    return static_cast<size_t>(a.GetLength()) == n && std::memcmp(a.GetText(), b ? b : "", n) == 0;
}

bool operator<(const CString& a, const CString& b)
{
    int la = a.GetLength(), lb = b.GetLength();
    int c = std::memcmp(a.GetText(), b.GetText(), static_cast<size_t>(std::min(la, lb)));
    return c < 0 || (c == 0 && la < lb);
}

bool KeysEqualNoCase(const CString& a, const CString& b)
{
    if (a.SharesBlockWith(b))
        return true;
    int n = a.GetLength();
    if (n != b.GetLength())
        return false;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a.GetText());
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b.GetText());
    for (int i = 0; i < n; ++i)
        if (p[i] != q[i] && LowerAscii(p[i]) != LowerAscii(q[i]))
            return false;
    return true;
}

namespace {

// Compares two runs of digits by value without overflowing: leading zeros
// dropped, then the longer number is the larger.
int CompareDigitRuns(const char* a, int la, const char* b, int lb)
{
    while (la > 0 && *a == '0') { ++a; --la; }
    while (lb > 0 && *b == '0') { ++b; --lb; }
    if (la != lb)
        return la < lb ? -1 : 1;
    int c = std::memcmp(a, b, static_cast<size_t>(la));
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Case-insensitive comparison of two runs as if each were its own
// zero-terminated text.
int CompareRunsNoCase(const char* a, int la, const char* b, int lb)
{
    for (int i = 0;; ++i) {
        int ca = i < la ? LowerAscii(static_cast<unsigned char>(a[i])) : 0;
        int cb = i < lb ? LowerAscii(static_cast<unsigned char>(b[i])) : 0;
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

int RunEnd(const char* s, int i, int len)
{
    bool digits = IsDigit(s[i]);
    while (i < len && IsDigit(s[i]) == digits)
        ++i;
    return i;
}

// Compares run by run until the runs differ or one text ends; i and j are
// left where the comparison stopped.
int CompareNaturalRuns(const char* s, int ls, const char* t, int lt, int& i, int& j)
{
    i = j = 0;
    while (i < ls && j < lt) {
        int ei = RunEnd(s, i, ls), ej = RunEnd(t, j, lt);
        int c;
        if (IsDigit(s[i]) && IsDigit(t[j]))
            c = CompareDigitRuns(s + i, ei - i, t + j, ej - j);
        else
            c = CompareRunsNoCase(s + i, ei - i, t + j, ej - j);
        if (c != 0)
            return c;
        i = ei;
        j = ej;
    }
    return 0;
}

} // namespace

int CString::CompareNatural(const CString& a, const CString& b)
{
    int i, j;
    return CompareNaturalRuns(a.GetText(), a.GetLength(), b.GetText(), b.GetLength(), i, j);
}

int CString::CompareNaturalStrict(const CString& a, const CString& b)
{
    const char* s = a.GetText();
    const char* t = b.GetText();
    int ls = a.GetLength(), lt = b.GetLength();
    int i, j;
    int c = CompareNaturalRuns(s, ls, t, lt, i, j);
    if (c != 0)
        return c < 0 ? -1 : 1;
    if (i < ls || j < lt)
        return i < ls ? 1 : -1;
    c = std::memcmp(s, t, size_t(std::min(ls, lt)));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return ls == lt ? 0 : (ls < lt ? -1 : 1);
}

void SortNatural(CArray<CString>& texts)
{
    std::sort(texts.GetData(), texts.GetData() + texts.GetCount(),
              [](const CString& a, const CString& b) { return CString::CompareNaturalStrict(a, b) < 0; });
}

// ---------------------------------------------------------------- splitting

namespace {

const int kNone = -1;

// For each byte of the pairs text read as (open, close) pairs: the close byte.
void FillPairs(int (&table)[256], const char* pairs)
{
    std::fill(table, table + 256, kNone);
    if (!pairs)
        return;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(pairs); p[0] && p[1]; p += 2)
        table[p[0]] = p[1];
}

int FindByte(const unsigned char* s, int from, int len, int c)
{
    while (from < len && s[from] != c)
        ++from;
    return from;
}

} // namespace

int CString::Split(CArray<CString>& out, const char* separators, const char* quotePairs,
                   const char* skipPairs, bool keepQuotes) const
{
    out.RemoveAll();
    bool isSeparator[256] = {};
    if (separators)
        for (const unsigned char* p = reinterpret_cast<const unsigned char*>(separators); *p; ++p)
            isSeparator[*p] = true;
    int quoteClose[256], skipClose[256];
    FillPairs(quoteClose, quotePairs);
    FillPairs(skipClose, skipPairs);

    const unsigned char* s = reinterpret_cast<const unsigned char*>(GetText());
    int len = GetLength();
    int count = 0;
    int pos = 0;
    for (;;) {
        while (pos < len && isSeparator[s[pos]])
            ++pos;
        if (pos >= len)
            break;
        int c = s[pos];
        int start, end; // token s[start, end)
        if (quoteClose[c] != kNone) {
            int close = FindByte(s, pos + 1, len, quoteClose[c]);
            start = keepQuotes ? pos : pos + 1;
            end = keepQuotes ? std::min(close + 1, len) : close;
            pos = close + 1;
        } else if (skipClose[c] != kNone) {
            pos = FindByte(s, pos + 1, len, skipClose[c]) + 1;
            continue;
        } else {
            start = pos;
            while (pos < len && !isSeparator[s[pos]] && quoteClose[s[pos]] == kNone &&
                   skipClose[s[pos]] == kNone)
                ++pos;
            end = pos;
        }
        out.Add(Range(start, end - start));
        ++count;
    }
    return count;
}

// ---------------------------------------------------------------- stripping

CString StripTags(const CString& text)
{
    CString out;
    int len = text.GetLength();
    out.Reserve(len);
    out.SetGrowStep(32);
    char* dst = out.GetBuffer();
    const char* src = text.GetText();
    int depth = 0;
    int n = 0;
    for (int i = 0; i < len; ++i) {
        char c = src[i];
        if (c == '<')
            ++depth;
        else if (c == '>')
            --depth;
        else if (depth == 0)
            dst[n++] = c;
    }
    out.SetLength(n);
    return out;
}

} // namespace Zorlin
