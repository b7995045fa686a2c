#pragma once

// What travels between a second start and the running client: the files of
// the second start, and the client's answer. Both come from another program
// and are read as such.

#include <cstddef>
#include <vector>

#include "foundation/String.h"

// The bytes a hand-over carries: a tag, then the files one after another,
// each ended by a zero byte. Read refuses (false) what a start of ours does
// not send: more than kMaxHandedFiles files or kMaxHandOverBytes bytes, a
// name that is not absolute, or an unended one.
const int kMaxHandedFiles = 64;
const size_t kMaxHandOverBytes = 256 * 1024;
std::vector<char> WriteHandOver(const std::vector<Zorlin::CString>& files);
bool ReadHandOver(const char* data, size_t size, std::vector<Zorlin::CString>& files);
// The leading files that one hand-over carries within those bounds (the
// client opens the first of them, as of its own command line).
std::vector<Zorlin::CString> FitHandOver(const std::vector<Zorlin::CString>& files);
// What a start writes to its standard error when only the first handed of
// its files fit: the count, then each file left out on a line of its own
// (escaped), so the user can give them again. Empty when all fit.
Zorlin::CString LeftOutText(const std::vector<Zorlin::CString>& files, size_t handed);

// The answer: accepted, or refused and why, in words the second start puts
// into its message ("it was sent from another account").
const size_t kMaxAnswerBytes = 1024;
std::vector<char> WriteAnswer(bool accepted, const Zorlin::CString& why = Zorlin::CString());
// False for bytes that are no answer of ours.
bool ReadAnswer(const char* data, size_t size, bool& accepted, Zorlin::CString& why);
