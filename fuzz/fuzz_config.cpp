// Reads arbitrary bytes as a configuration file. Whatever was read must
// write out and read back as the same store, and writing that again must give
// the same bytes, and read whole.
#include "foundation/Config.h"
#include "foundation/ConfigText.h"
#include "foundation/MemFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

using namespace Zorlin;

namespace {

std::string Lower(const CString& s)
{
    std::string out(s.GetText(), size_t(s.GetLength()));
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

std::map<std::string, std::string> Contents(const CConfig& store)
{
    std::map<std::string, std::string> out;
    store.ForEachValue([&](const CString& key, const CString& value) {
        out[Lower(key)] = std::string(value.GetText(), size_t(value.GetLength()));
    });
    return out;
}

// Keys the text format can carry: dotted names, none empty, nested no
// deeper than a reader accepts.
bool Representable(const CConfig& store)
{
    bool ok = true;
    store.ForEachValue([&](const CString& key, const CString&) {
        const int n = key.GetLength();
        int dots = 0;
        if (n == 0 || key[0] == '.' || key[n - 1] == '.')
            ok = false;
        for (int i = 0; i < n; ++i) {
            if (key[i] != '.')
                continue;
            ++dots;
            if (i + 1 < n && key[i + 1] == '.')
                ok = false;
        }
        if (dots > CConfig::kMaxDepth || n > CConfig::kMaxKeyLength)
            ok = false;
    });
    return ok;
}

void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_config: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > (1u << 20))
        return 0;
    CMemFile file;
    file.Open(CString("fuzz.cfg"), CFile::kModeRead | CFile::kModeWrite);
    if (size > 0)
        file.Write(data, unsigned(size));
    file.Seek(0, CFile::kSeekStart);

    CConfig store;
    store.Read(file);
    const CString written = store.ToText(true);
    if (!Representable(store))
        return 0;

    CConfig back;
    if (!back.ReadText(written.GetText(), written.GetLength()))
        Fail("the written text does not read back");
    // Nor may what the writer made ever look damaged to the strict reader.
    CConfig strict;
    if (!ReadTextWhole(strict, written.GetText(), written.GetLength()))
        Fail("the written text does not read whole");
    if (Contents(back) != Contents(store))
        Fail("the store read back differs");
    const CString again = back.ToText(true);
    if (!(again == written))
        Fail("writing what was read back gives other bytes");
    return 0;
}
