#include "foundation/NameText.h"

namespace Zorlin {

namespace {

// The length of the well-formed, printable UTF-8 sequence at p (at most n
// bytes available), or 0 when there is none.
int PrintableSequence(const unsigned char* p, int n)
{
    const unsigned c = p[0];
    if (c < 0x80)
        return c >= 32 && c != 127 ? 1 : 0;
    int length = 0;
    unsigned code = 0;
    unsigned lowest = 0;
    if (c >= 0xc2 && c <= 0xdf) {
        length = 2;
        code = c & 0x1f;
        lowest = 0x80;
    } else if (c >= 0xe0 && c <= 0xef) {
        length = 3;
        code = c & 0x0f;
        lowest = 0x800;
    } else if (c >= 0xf0 && c <= 0xf4) {
        length = 4;
        code = c & 0x07;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (n < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xc0) != 0x80)
            return 0;
        code = code << 6 | (p[i] & 0x3f);
    }
    if (code < lowest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff) || code <= 0x9f)
        return 0;
    return length;
}

} // namespace

bool IsPrintableUtf8(const CString& text)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.GetText());
    const int n = text.GetLength();
    for (int i = 0; i < n;) {
        const int length = PrintableSequence(p + i, n - i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

CString EscapeForLog(const CString& text)
{
    static const char kHex[] = "0123456789abcdef";
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.GetText());
    const int n = text.GetLength();
    CString out;
    out.Reserve(n + 16);
    for (int i = 0; i < n;) {
        const int length = p[i] == '\\' ? 0 : PrintableSequence(p + i, n - i);
        if (length > 0) {
            out.Append(reinterpret_cast<const char*>(p + i), length);
            i += length;
            continue;
        }
        if (p[i] == '\\') {
            out += "\\\\";
        } else {
            const char escape[] = {'\\', 'x', kHex[p[i] >> 4], kHex[p[i] & 15], 0};
            out += escape;
        }
        ++i;
    }
    return out;
}

CString CutCharacters(const CString& text, int maxCharacters)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text.GetText());
    const int n = text.GetLength();
    int i = 0;
    for (int count = 0; i < n && count < maxCharacters; ++count) {
        // A lead byte and the continuation bytes (10xxxxxx) after it.
        ++i;
        if (p[i - 1] >= 0xC0)
            while (i < n && (p[i] & 0xC0) == 0x80)
                ++i;
    }
    if (i >= n)
        return text;
    CString out = text;
    out.Truncate(i);
    return out;
}

} // namespace Zorlin
