#include "chess/Pgn.h"

#include "chess/PgnScanner.h"
#include "foundation/File.h"

using Zorlin::CFile;
using Zorlin::CString;

namespace {

// Plain ASCII tests: bytes from 128 up are never letters here, whatever the
// locale or the signedness of char.
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsOneOf(char c, const char* set)
{
    for (; *set; ++set)
        if (*set == c)
            return true;
    return false;
}
bool IsSymbolChar(char c) { return IsLetter(c) || IsDigit(c) || IsOneOf(c, "_+#=:-/"); }

// A file read a byte at a time, for callers that keep the file's position
// exact after every token.
class CFileBytes {
public:
    explicit CFileBytes(CFile& f) : m_file(f) {}
    bool Get(char& c) { return m_file.Read(&c, 1); }
    void Unget() { m_file.Seek(-1, CFile::kSeekCurrent); }

private:
    CFile& m_file;
};

template <class TInput> bool ReadByte(TInput& f, char& c) { return f.Get(c); }
template <class TInput> void StepBack(TInput& f) { f.Unget(); }

void Keep(CString& text, char c)
{
    if (text.GetLength() < kPgnMaxTokenText)
        text.Append(c);
}

// The rest of the line, its end consumed; LF, CR LF and a lone CR end it.
template <class TInput> void ReadRestOfLine(TInput& f, CString& text)
{
    char c;
    while (ReadByte(f, c)) {
        if (c == '\n')
            return;
        if (c == '\r') {
            char next;
            if (ReadByte(f, next) && next != '\n')
                StepBack(f);
            return;
        }
        Keep(text, c);
    }
}

// A line end stops the string and is read again as the end of the line, so
// an unclosed quote never swallows the following lines.
template <class TInput> void ReadStringBody(TInput& f, CString& text)
{
    char c;
    while (ReadByte(f, c)) {
        if (c == '"')
            return;
        if (c == '\n' || c == '\r') {
            StepBack(f);
            return;
        }
        if (c == '\\') {
            if (!ReadByte(f, c))
                return;
            if (c != '"' && c != '\\') {
                StepBack(f);
                continue;
            }
        }
        Keep(text, c);
    }
}

template <class TInput> PgnToken ReadSymbol(TInput& f, CString& text, char first)
{
    bool digitsOnly = IsDigit(first);
    Keep(text, first);
    char c;
    while (ReadByte(f, c)) {
        if (!IsSymbolChar(c)) {
            StepBack(f);
            break;
        }
        digitsOnly = digitsOnly && IsDigit(c);
        Keep(text, c);
    }
    return digitsOnly ? TOKEN_INTEGER : TOKEN_SYMBOL;
}

template <class TInput> PgnToken ReadNag(TInput& f, CString& text)
{
    text.Append('$');
    char c;
    while (ReadByte(f, c)) {
        if (!IsDigit(c)) {
            StepBack(f);
            break;
        }
        Keep(text, c);
    }
    return TOKEN_NAG;
}

// Skips blanks and control bytes (and every byte from 128 up, which takes
// care of a UTF-8 byte-order mark); false at the end of the file. A line end
// is returned as '\n'.
template <class TInput> bool NextSignificant(TInput& f, char& c)
{
    for (;;) {
        if (!ReadByte(f, c))
            return false;
        if (c == '\r') {
            char next;
            if (ReadByte(f, next) && next != '\n')
                StepBack(f);
            c = '\n';
            return true;
        }
        if (c == '\n' || static_cast<signed char>(c) > 32)
            return true;
    }
}

template <class TInput> PgnToken ReadToken(TInput& f, CString& text, bool& atLineStart)
{
    text.Assign(CString());
    char c;
    if (!NextSignificant(f, c))
        return TOKEN_END_OF_FILE;
    if (c == '\n') {
        atLineStart = true;
        return TOKEN_END_OF_LINE;
    }
    // ";" is a comment to the end of the line wherever it stands; "%" only
    // escapes a whole line.
    if (c == ';' || (c == '%' && atLineStart)) {
        ReadRestOfLine(f, text);
        atLineStart = true;
        return c == ';' ? TOKEN_COMMENT_LINE : TOKEN_ESCAPE_LINE;
    }
    atLineStart = false;
    if (c == '"') {
        ReadStringBody(f, text);
        return TOKEN_STRING;
    }
    if (IsOneOf(c, ".*!?")) {
        text.Append(c);
        return TOKEN_PUNCTUATION;
    }
    if (IsOneOf(c, "[]()<>{}")) {
        text.Append(c);
        return TOKEN_BRACKET;
    }
    if (c == '$')
        return ReadNag(f, text);
    if (IsSymbolChar(c))
        return ReadSymbol(f, text, c);
    return TOKEN_INVALID;
}

} // namespace

PgnToken ReadPgnToken(CFile& f, CString& text, bool& atLineStart)
{
    CFileBytes bytes(f);
    return ReadToken(bytes, text, atLineStart);
}

PgnToken ReadPgnToken(CPgnInput& in, CString& text, bool& atLineStart)
{
    return ReadToken(in, text, atLineStart);
}
