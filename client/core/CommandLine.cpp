#include "client/core/CommandLine.h"

#include "foundation/NameText.h"

using Zorlin::CString;

namespace {

std::vector<CString> g_kept;

// The bytes of a text the toolkit read as Latin-1 (its reading in the C
// locale), as UTF-8.
CString Latin1AsUtf8(const CString& bytes)
{
    CString out;
    for (int i = 0; i < bytes.GetLength(); ++i) {
        const unsigned char c = (unsigned char)bytes[i];
        if (c < 0x80) {
            out.Append(char(c));
        } else {
            out.Append(char(0xC0 | (c >> 6)));
            out.Append(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Whether the toolkit made text from these bytes, in a UTF-8 locale or
// in the C locale.
bool Matches(const CString& raw, const CString& text)
{
    return raw == text || Latin1AsUtf8(raw) == text;
}

} // namespace

void KeepCommandLine(int argc, char** argv)
{
    g_kept.clear();
    for (int i = 0; i < argc && argv && argv[i]; ++i)
        g_kept.emplace_back(argv[i]);
}

const std::vector<CString>& GetKeptCommandLine()
{
    return g_kept;
}

std::vector<CString> ApplicationArguments(const std::vector<CString>& raw, const std::vector<CString>& toolkit)
{
    std::vector<CString> all(raw.size() > 1 ? raw.begin() + 1 : raw.end(), raw.end());
    std::vector<CString> kept;
    size_t next = 1;
    for (const CString& argument : all) {
        if (next < toolkit.size() && Matches(argument, toolkit[next])) {
            kept.push_back(argument);
            ++next;
        } else if (!Zorlin::IsPrintableUtf8(argument)) {
            // Not the toolkit's option (those are plain text): a name it could not read.
            kept.push_back(argument);
        }
    }
    return next >= toolkit.size() ? kept : all;
}

std::vector<CString> FileArguments(const std::vector<CString>& arguments)
{
    std::vector<CString> files;
    bool optionsEnded = false;
    for (const CString& argument : arguments) {
        if (!optionsEnded && argument == "--")
            optionsEnded = true;
        else if (optionsEnded || argument.IsEmpty() || argument[0] != '-')
            files.push_back(argument);
    }
    return files;
}
