#pragma once

#include "foundation/String.h"

// File chooser filters are written as "Description | *.ext" pairs. The
// toolkit on Linux takes every character of a pattern literally, blanks
// included, and matches case exactly, so "*.PGN" would hide "game.pgn".

// The filter as the file chooser wants it: each description and pattern
// trimmed, and each pattern matching its letters in either case
// ("*.pgn" becomes "*.[pP][gG][nN]").
Zorlin::CString MakeFileFilter(const Zorlin::CString& filter);

// The extension a save dialog adds when the user types none: the first
// pattern's text from its last '.', in lower case (".pgn"); empty when the
// first pattern names no extension ("*" or "*.*").
Zorlin::CString DefaultExtensionOf(const Zorlin::CString& filter);
