#include "client/core/FileFilter.h"

#include <cctype>

#include "foundation/Array.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

CString Trimmed(const CString& text)
{
    CString copy(text);
    copy.Trim();
    return copy;
}

// The characters from..end-1 (Mid's second bound is inclusive and wraps
// when negative).
CString Slice(const CString& text, int from, int end)
{
    return from < end ? text.Mid(from, end - 1) : CString();
}

// Text split at each separator, empty pieces kept so pairs stay in step.
CArray<CString> Pieces(const CString& text, char separator)
{
    CArray<CString> pieces;
    int start = 0;
    for (int i = 0; i <= text.GetLength(); ++i) {
        if (i == text.GetLength() || text[i] == separator) {
            pieces.Add(Slice(text, start, i));
            start = i + 1;
        }
    }
    return pieces;
}

CString EitherCase(const CString& pattern)
{
    CString out;
    bool inClass = false;
    for (int i = 0; i < pattern.GetLength(); ++i) {
        const unsigned char c = static_cast<unsigned char>(pattern[i]);
        if (c == '[')
            inClass = true;
        else if (c == ']')
            inClass = false;
        if (!inClass && c < 0x80 && std::isalpha(c)) {
            out.Append('[');
            out.Append(char(std::tolower(c)));
            out.Append(char(std::toupper(c)));
            out.Append(']');
        } else {
            out.Append(char(c));
        }
    }
    return out;
}

CString Patterns(const CString& patterns)
{
    CString out;
    const CArray<CString> each = Pieces(patterns, ';');
    for (int i = 0; i < each.GetCount(); ++i) {
        const CString pattern = Trimmed(*each.GetAt(i));
        if (pattern.IsEmpty())
            continue;
        if (!out.IsEmpty())
            out.Append(';');
        out.Append(EitherCase(pattern));
    }
    return out;
}

} // namespace

CString MakeFileFilter(const CString& filter)
{
    const CArray<CString> pieces = Pieces(filter, '|');
    CString out;
    for (int i = 0; i + 1 < pieces.GetCount(); i += 2) {
        const CString patterns = Patterns(*pieces.GetAt(i + 1));
        if (patterns.IsEmpty())
            continue;
        if (!out.IsEmpty())
            out.Append('|');
        out.Append(Trimmed(*pieces.GetAt(i)));
        out.Append('|');
        out.Append(patterns);
    }
    return out;
}

CString DefaultExtensionOf(const CString& filter)
{
    const CArray<CString> pieces = Pieces(filter, '|');
    if (pieces.GetCount() < 2)
        return CString();
    const CArray<CString> patterns = Pieces(*pieces.GetAt(1), ';');
    const CString first = Trimmed(*patterns.GetAt(0));
    int dot = first.GetLength() - 1;
    while (dot >= 0 && first[dot] != '.')
        --dot;
    if (dot < 0)
        return CString();
    CString extension = Slice(first, dot, first.GetLength());
    for (int i = 1; i < extension.GetLength(); ++i) {
        const unsigned char c = static_cast<unsigned char>(extension[i]);
        if (!std::isalnum(c))
            return CString();
    }
    if (extension.GetLength() < 2)
        return CString();
    extension.MakeLower();
    return extension;
}
