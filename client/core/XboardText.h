#pragma once

#include "chess/Move.h"
#include "foundation/Array.h"
#include "foundation/String.h"

// Pieces of the engine dialogue's text, kept apart from the player so each
// rule can be read (and tested) on its own.

// Words separated by blanks (' ' only), no quoting: how a line is looked at
// for moves.
int SplitAtBlanks(const Zorlin::CString& line, Zorlin::CArray<Zorlin::CString>& words);
// Words separated by any white space (blank, tab, LF, CR, VT, FF, BEL, BS),
// double quotes grouping: how a command line is read.
int SplitCommandWords(const Zorlin::CString& line, Zorlin::CArray<Zorlin::CString>& words);
// Words separated by '=' and blanks, double quotes grouping: a feature line.
int SplitFeatureWords(const Zorlin::CString& line, Zorlin::CArray<Zorlin::CString>& words);

// A move number as engines write it ("12", "12.", "12..."): digits first,
// not zero.
bool IsMoveNumberWord(const Zorlin::CString& word);
// "move X" or "N ... X": the line names the engine's move in its last word.
bool IsMoveLine(const Zorlin::CArray<Zorlin::CString>& words);

// The text after the first blank, or empty when there is none.
Zorlin::CString AfterFirstBlank(const Zorlin::CString& text);
// The text after the first ':', or the whole text when there is none.
Zorlin::CString AfterFirstColon(const Zorlin::CString& text);

// An engine's own words as a message box shows them: control characters
// become blanks and a long text is cut.
Zorlin::CString ShownEngineText(const Zorlin::CString& text);

// "level M m:s 0\n" from the settings' texts: a missing or unreadable move
// count is 0 (every move in one period), seconds are whole and not negative.
Zorlin::CString MakeLevelCommand(const Zorlin::CString& moves, const Zorlin::CString& seconds);
// A whole number read from settings text; 0 when there is none.
int ReadSettingNumber(const Zorlin::CString& text);
