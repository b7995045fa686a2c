#pragma once

namespace Zorlin {

// 256 entries indexed by a byte's unsigned value: 'A'..'Z' map to 'a'..'z',
// every other byte to itself. Valid from program start (constant
// initialised), read-only afterwards, so any thread may read it.
extern unsigned char g_lowerCaseTable[256];

// Fills the table; idempotent.
void BuildLowerCaseTable();

inline unsigned char LowerCaseByte(unsigned char c) { return g_lowerCaseTable[c]; }

} // namespace Zorlin
