#pragma once

#include <vector>

#include "foundation/Array.h"
#include "foundation/String.h"

// Command links: "LNK " followed by commands separated by commas, each
// command words separated by blanks, as in
//   LNK expand news, open 'active games/Game 10.rwg'
// Single or double quotes group text that holds blanks or commas.

using CLinkWords = Zorlin::CArray<Zorlin::CString>;

// True when the address holds the prefix word; commands then receives the
// text after the first "LNK " with every "%20" read as a blank.
bool ExtractLinkCommands(const Zorlin::CString& address, Zorlin::CString& commands);

// Splits at commas outside quotes; the quotes stay for the word split.
// Pieces that are blank are dropped.
void SplitLinkCommands(const Zorlin::CString& commands, std::vector<Zorlin::CString>& out);

// Splits one command into words at blanks outside quotes; quotes are dropped.
void SplitLinkWords(const Zorlin::CString& command, CLinkWords& out);

// The whole address: the words of each command in order; empty when the
// address is no command link.
std::vector<CLinkWords> ParseCommandLink(const Zorlin::CString& address);
