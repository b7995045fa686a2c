#include "foundation/LowerCase.h"

namespace Zorlin {

namespace {

struct STable {
    unsigned char bytes[256];
};

constexpr STable MakeTable()
{
    STable t{};
    for (int i = 0; i < 256; ++i)
        t.bytes[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + ('a' - 'A') : i);
    return t;
}

constexpr STable kTable = MakeTable();

} // namespace

// Constant initialised so a dictionary built by another file's static
// initialiser never sees an unfilled table.
unsigned char g_lowerCaseTable[256] = {
#define ROW(i) kTable.bytes[i], kTable.bytes[i + 1], kTable.bytes[i + 2], kTable.bytes[i + 3], \
               kTable.bytes[i + 4], kTable.bytes[i + 5], kTable.bytes[i + 6], kTable.bytes[i + 7]
    ROW(0), ROW(8), ROW(16), ROW(24), ROW(32), ROW(40), ROW(48), ROW(56),
    ROW(64), ROW(72), ROW(80), ROW(88), ROW(96), ROW(104), ROW(112), ROW(120),
    ROW(128), ROW(136), ROW(144), ROW(152), ROW(160), ROW(168), ROW(176), ROW(184),
    ROW(192), ROW(200), ROW(208), ROW(216), ROW(224), ROW(232), ROW(240), ROW(248),
#undef ROW
};

void BuildLowerCaseTable()
{
    for (int i = 0; i < 256; ++i)
        g_lowerCaseTable[i] = kTable.bytes[i];
}

} // namespace Zorlin
