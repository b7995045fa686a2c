#pragma once

#include "foundation/String.h"

namespace Zorlin {

// Whether the text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF) holding no control character (below 32, 127, or
// the C1 controls U+0080 to U+009F): what a name from outside must be
// before it becomes a file name or a line of a log.
bool IsPrintableUtf8(const CString& text);

// The text made safe to print on one line of a log or a terminal: every
// byte that is a control character, a backslash or not part of
// well-formed UTF-8 is written as \xNN (a backslash as \\), so no name can
// start a line of its own or send escape sequences.
CString EscapeForLog(const CString& text);

// The text cut to at most maxCharacters characters, counting a UTF-8
// sequence as one and never cutting one in two (a byte that is no UTF-8
// counts as one character).
CString CutCharacters(const CString& text, int maxCharacters);

} // namespace Zorlin
