#pragma once

#include <cstddef>
#include <cstdint>

namespace Zorlin {

template <class T> class CArray;
template <class T> class CAssocArray;
class CFile;

// Shared, copy-on-write 8-bit text, one pointer wide. A null pointer is the
// empty string; otherwise m_text points just past a 16-byte header
// (length, capacity, grow step, reference count) and the characters are
// always zero-terminated. Negative indices count from the end.
// Reference counts are plain ints: a string belongs to one thread at a time.
class CString {
public:
    CString() : m_text(nullptr) {}
    CString(const char* text);
    CString(const CString& other) : m_text(other.m_text) { AddRef(); }
    CString(CString&& other) noexcept : m_text(other.m_text) { other.m_text = nullptr; }
    CString(const CString& source, int from, int to);
    CString(const CString& a, const CString& b);
    CString(const char* a, const char* b);
    explicit CString(CFile& file); // defined with the file layer
    ~CString() { Release(); }

    CString& operator=(const CString& other) { Assign(other); return *this; }
    CString& operator=(CString&& other) noexcept;
    CString& operator=(const char* text) { Assign(text); return *this; }

    void Assign(const char* text);
    void Assign(const CString& other);

    // Room and length.
    void Reserve(int n);
    void SetGrowStep(int step);
    char* GetBuffer();
    void SetLength(int n, bool fill = false, char c = ' ');
    void Truncate(int n);
    int GetLength() const { return m_text ? Header()->length : 0; }
    const char* GetText() const { return m_text ? m_text : ""; }
    bool IsEmpty() const { return GetLength() == 0; }
    char operator[](int i) const { return GetText()[i]; }
    int GetCapacity() const { return m_text ? Header()->capacity : 0; }
    int GetGrowStep() const { return m_text ? Header()->growStep : 0; }
    int GetRefCount() const { return m_text ? Header()->refs : 0; }
    bool SharesBlockWith(const CString& other) const { return m_text && m_text == other.m_text; }

    // Appending.
    void Append(const char* text);
    void Append(const CString& text);
    void Append(const char* text, int n);
    void Append(char c)
    {
        int len = GetLength();
        if (!m_text || Header()->refs > 1 || len + kHeaderSize + 2 > Header()->capacity)
            Reserve(len + 1);
        m_text[len] = c;
        SetLengthRaw(len + 1);
    }
    void Append(int value);
    void Append(unsigned value);
    void Append(float value);
    void Append(double value);
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendFile(CFile& file); // defined with the file layer
    CString& operator+=(const CString& text) { Append(text); return *this; }
    CString& operator+=(const char* text) { Append(text); return *this; }
    CString& operator+=(char c) { Append(c); return *this; }

    CString Concat(const CString& text) const { return CString(*this, text); }
    CString Concat(const char* text) const { return CString(GetText(), text); }

    // Searching.
    bool Find(char c, int* pos, int from = 0, int to = -1) const;
    int Find(char c, int from) const;
    int ReverseFind(char c) const;
    bool ReverseFind(char c, int* pos, int from, int to) const;
    bool MatchAt(const CString& text, int pos) const;
    bool Find(const CString& text, int* pos = nullptr, int from = 0, int to = -1) const;

    // Pieces.
    CString Mid(int from, int to = -1) const { return CString(*this, from, to); }
    CString BeforeChar(int from, char c, bool inclusive = false) const;
    CString AfterChar(char c, int to = -1, bool inclusive = false) const;

    // Changing.
    void Replace(int from, int to, const CString& text);
    void Replace(char a, char b);
    int ReplaceAll(const char* find, const char* with);
    int ReplaceAll(const CAssocArray<CString>& map);
    void Insert(int pos, const CString& text);
    void Delete(int from, int to);
    void MakeLower(int from = 0, int to = -1);
    void MakeUpper(int from = 0, int to = -1);
    void TrimLeft();
    void TrimRight();
    void Trim();

    // Tests and comparison.
    bool IsNumeric() const;
    static int CompareNatural(const CString& a, const CString& b);
    // CompareNatural with the texts it calls equal told apart (a text that
    // ends where the other goes on comes first, then byte order): a total
    // order, fit for sorting.
    static int CompareNaturalStrict(const CString& a, const CString& b);

    int Split(CArray<CString>& out, const char* separators, const char* quotePairs,
              const char* skipPairs, bool keepQuotes) const;

private:
    struct SHeader {
        int32_t length;
        int32_t capacity; // whole block in bytes, header included
        int32_t growStep;
        int32_t refs;
    };
    static const int kHeaderSize = sizeof(SHeader);

    SHeader* Header() const { return reinterpret_cast<SHeader*>(m_text) - 1; }
    void AddRef() { if (m_text) ++Header()->refs; }
    void Release();
    void SetLengthRaw(int n) { Header()->length = n; m_text[n] = 0; }
    int Adjust(int index) const { return index < 0 ? index + GetLength() : index; }
    void CaseRange(int from, int to, bool upper);
    bool Owns(const char* p) const;
    CString Range(int start, int count) const;
    void Splice(int start, int removeCount, const char* text, int n);
    static char* NewBlock(int64_t size, int growStep);

    char* m_text;
};

CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
inline bool operator==(const char* a, const CString& b) { return b == a; }
inline bool operator!=(const CString& a, const CString& b) { return !(a == b); }
inline bool operator!=(const CString& a, const char* b) { return !(a == b); }
inline bool operator!=(const char* a, const CString& b) { return !(b == a); }
// Byte order (unsigned), shorter prefix first.
bool operator<(const CString& a, const CString& b);

// Equality ignoring the case of ASCII letters; the key comparison of the
// case-insensitive dictionaries and the configuration store.
bool KeysEqualNoCase(const CString& a, const CString& b);

CString StripTags(const CString& text);

// Sorts by CString::CompareNaturalStrict in n log n.
void SortNatural(CArray<CString>& texts);

} // namespace Zorlin
