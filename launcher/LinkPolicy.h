#pragma once

// Which addresses may be handed to the desktop's opener, shared by the
// client's OpenUrl and by linkhop so both refuse the same things. Only web
// pages, mail addresses and documents inside the program folder open; a
// file address is checked after its escapes and links are resolved, so
// "..", "%2e%2e" or a link out of the folder cannot reach other files.
// Header-only: linkhop is built from its own folder and links no client code.

#include <climits>
#include <cstdlib>
#include <string>

namespace LinkPolicy {

// linkhop's exit status when neither xdg-open nor a browser could open the
// address (the client then names the file to open by hand).
const int kNotOpened = 3;

enum ELinkKind { kRefused = 0, kWeb = 1, kMail = 2, kDocument = 3 };

inline bool StartsWithNoCase(const std::string& text, const char* prefix)
{
    for (size_t i = 0; prefix[i]; ++i) {
        if (i >= text.size())
            return false;
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

inline int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%xx" escapes decoded; false for a broken escape or an escaped zero byte.
inline bool PercentDecode(const std::string& text, std::string& out)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
            int low = high >= 0 && i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
            if (low < 0 || (high == 0 && low == 0))
                return false;
            c = char(high * 16 + low);
            i += 2;
        }
        result += c;
    }
    out = result;
    return true;
}

inline bool HasControlCharacter(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F)
            return true;
    return false;
}

// The real absolute path, links resolved; empty when it does not exist.
inline std::string RealPath(const std::string& path)
{
    char buffer[PATH_MAX];
    if (path.empty() || !realpath(path.c_str(), buffer))
        return std::string();
    return std::string(buffer);
}

// True when path names an existing file or folder at or below folder.
inline bool IsInsideFolder(const std::string& path, const std::string& folder)
{
    std::string real = RealPath(path);
    std::string root = RealPath(folder);
    if (real.empty() || root.empty())
        return false;
    if (root.back() != '/')
        root += '/';
    real += '/';
    return real.compare(0, root.size(), root) == 0;
}

// The local path that a file address or a plain path names: the part
// before any "#" or "?" of a file address, decoded; a plain relative path
// is taken from the program folder. False for another machine's file.
inline bool DocumentPath(const std::string& address, const std::string& programFolder, std::string& path)
{
    std::string rest = address;
    bool isFileUrl = StartsWithNoCase(rest, "file:");
    if (isFileUrl) {
        rest = rest.substr(5);
        if (rest.compare(0, 2, "//") == 0) {
            rest = rest.substr(2);
            size_t slash = rest.find('/');
            if (slash == std::string::npos)
                return false;
            std::string host = rest.substr(0, slash);
            if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, "localhost")))
                return false;
            rest = rest.substr(slash);
        }
        rest = rest.substr(0, rest.find_first_of("#?"));
        if (!PercentDecode(rest, rest))
            return false;
    }
    if (rest.empty())
        return false;
    if (rest[0] != '/') {
        if (isFileUrl || programFolder.empty())
            return false;
        std::string folder = programFolder;
        if (folder.back() != '/')
            folder += '/';
        rest = folder + rest;
    }
    path = rest;
    return true;
}

// What an address is, and in target what the opener is to be given: the
// address itself, or for a plain path the document's real absolute path.
inline ELinkKind Classify(const char* address, const char* programFolder, std::string& target)
{
    std::string text = address ? address : "";
    std::string folder = programFolder ? programFolder : "";
    target.clear();
    if (text.empty() || HasControlCharacter(text))
        return kRefused;
    if (StartsWithNoCase(text, "http://") || StartsWithNoCase(text, "https://")) {
        size_t start = StartsWithNoCase(text, "https://") ? 8 : 7;
        if (text.size() <= start)
            return kRefused;
        target = text;
        return kWeb;
    }
    if (StartsWithNoCase(text, "mailto:")) {
        if (text.size() <= 7)
            return kRefused;
        target = text;
        return kMail;
    }
    bool isFileUrl = StartsWithNoCase(text, "file:");
    // Any other scheme ("javascript:", "smb:", "ftp:") is refused.
    if (!isFileUrl && text.find(':') < text.find('/'))
        return kRefused;
    std::string path;
    if (!DocumentPath(text, folder, path) || !IsInsideFolder(path, folder))
        return kRefused;
    target = isFileUrl ? text : RealPath(path);
    return kDocument;
}

// The same where the documents of a second folder may be opened too: the
// user's own data folder, which stands in for a program folder the user
// cannot write. Empty when there is none.
inline ELinkKind Classify(const char* address, const char* programFolder, const char* ownFolder, std::string& target)
{
    ELinkKind kind = Classify(address, programFolder, target);
    if (kind == kRefused && ownFolder && *ownFolder)
        kind = Classify(address, ownFolder, target);
    return kind;
}

} // namespace LinkPolicy
