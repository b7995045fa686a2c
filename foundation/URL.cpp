#include "foundation/URL.h"

#include <cstring>

namespace Zorlin {

namespace {

const int kPathGrowStep = 128;

inline bool IsSeparator(char c) { return c == '/' || c == '\\'; }

CString Piece(const char* text, int n)
{
    CString out;
    if (n > 0)
        out.Append(text, n);
    return out;
}

bool IsDot(const CString& name) { return name == "."; }
bool IsDotDot(const CString& name) { return name == ".."; }

// Applies one name to the list of parts.
void ApplyName(CArray<CString>& parts, const CString& name)
{
    if (name.IsEmpty() || IsDot(name))
        return;
    if (IsDotDot(name)) {
        if (parts.GetCount() > 0)
            parts.SetSize(parts.GetCount() - 1);
        return;
    }
    parts.Add(name);
}

// A name grouped by quotes may still hold separators; its pieces are names
// like any other, so quoting can never smuggle a ".." past the resolver.
void ApplyToken(CArray<CString>& parts, const CString& token)
{
    const char* text = token.GetText();
    int length = token.GetLength();
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i == length || IsSeparator(text[i])) {
            ApplyName(parts, Piece(text + start, i - start));
            start = i + 1;
        }
    }
}

void SplitFolders(const CString& folders, CArray<CString>& out)
{
    out.RemoveAll();
    if (!folders.IsEmpty())
        folders.Split(out, "\\/", "\"\"", "", false);
}

} // namespace

CURL::CURL(const char* text) : CString(text)
{
    SetGrowStep(kPathGrowStep);
}

bool CURL::Split(CString& drive, CString& device, CString& folders, CString& name) const
{
    drive = "";
    device = "";
    folders = "";
    name = "";
    CString path(*this);
    path.Trim();
    if (path.IsEmpty())
        return false;

    const char* text = path.GetText();
    int length = path.GetLength();
    int pos = 0;
    if (text[0] == '[') {
        const char* close = static_cast<const char*>(std::memchr(text + 1, ']', size_t(length - 1)));
        if (!close)
            return false;
        drive = Piece(text + 1, int(close - text) - 1);
        pos = int(close - text) + 1;
    }
    if (pos == length)
        return true;

    // A device is the text before a ':' that comes ahead of every separator,
    // so a name holding ':' further down is left alone.
    for (int i = pos; i < length && !IsSeparator(text[i]); ++i) {
        if (text[i] == ':') {
            device = Piece(text + pos, i - pos);
            pos = i + 1;
            break;
        }
    }
    if (pos == length)
        return true;

    CString rest = Piece(text + pos, length - pos);
    rest.Replace('\\', '/');
    const char* r = rest.GetText();
    int restLength = rest.GetLength();
    int lastSlash = -1;
    for (int i = restLength - 1; i >= 0; --i) {
        if (r[i] == '/') {
            lastSlash = i;
            break;
        }
    }
    folders = Piece(r, lastSlash + 1);
    name = Piece(r + lastSlash + 1, restLength - lastSlash - 1);
    return true;
}

bool CURL::SplitComponents(CArray<CString>& out, CString& name) const
{
    CString drive, device, folders;
    bool ok = Split(drive, device, folders, name);
    SplitFolders(folders, out);
    return ok;
}

bool CURL::IsAbsolute() const
{
    CString drive, device, folders, name;
    Split(drive, device, folders, name);
    return !folders.IsEmpty() && IsSeparator(folders[0]);
}

void CURL::GetDirectory(CString& out) const
{
    CString drive, device, name;
    Split(drive, device, out, name);
}

void CURL::GetFileName(CString& out) const
{
    CString drive, device, folders;
    Split(drive, device, folders, out);
}

void CURL::Append(const char* part)
{
    if (!part || !*part)
        return;
    if (IsSeparator(*part))
        ++part;
    CString::Append(part);
}

void CURL::Resolve(const char* relative)
{
    if (!relative || !*relative)
        return;

    CString drive, device, folders, name;
    Split(drive, device, folders, name);
    bool rooted = !folders.IsEmpty() && IsSeparator(folders[0]);

    CArray<CString> parts;
    CArray<CString> tokens;
    SplitFolders(folders, tokens);
    for (int i = 0; i < tokens.GetCount(); ++i)
        ApplyToken(parts, *tokens.GetAt(i));
    ApplyToken(parts, name);

    CURL rel(relative);
    rel.Trim();
    CString lastName;
    rel.SplitComponents(tokens, lastName);
    if (!rel.IsEmpty() && IsSeparator(rel[0]))
        parts.RemoveAll();
    for (int i = 0; i < tokens.GetCount(); ++i)
        ApplyToken(parts, *tokens.GetAt(i));
    // A last name of "." or ".." names a folder, which then ends the path.
    if (IsDot(lastName) || IsDotDot(lastName)) {
        ApplyName(parts, lastName);
        lastName = "";
    }

    CString out;
    out.Reserve(GetLength() + rel.GetLength() + 8);
    if (!drive.IsEmpty()) {
        out += '[';
        out += drive;
        out += ']';
    }
    if (!device.IsEmpty()) {
        out += device;
        out += ':';
    }
    if (rooted)
        out += '/';
    for (int i = 0; i < parts.GetCount(); ++i) {
        out += *parts.GetAt(i);
        out += '/';
    }
    out += lastName;
    Assign(out);
}

bool CURL::IsPlainName(const CString& name)
{
    int length = name.GetLength();
    if (length == 0 || IsDot(name) || IsDotDot(name))
        return false;
    const char* text = name.GetText();
    for (int i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '/' || c == '\\' || c == ':' || c == '"' || c == 0)
            return false;
    }
    return true;
}

} // namespace Zorlin
