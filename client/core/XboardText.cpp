#include "client/core/XboardText.h"

#include <cctype>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <string>

using Zorlin::CArray;
using Zorlin::CString;

int SplitAtBlanks(const CString& line, CArray<CString>& words)
{
    return line.Split(words, " ", nullptr, nullptr, false);
}

int SplitCommandWords(const CString& line, CArray<CString>& words)
{
    return line.Split(words, " \t\n\r\v\f\a\b", "\"\"", nullptr, false);
}

int SplitFeatureWords(const CString& line, CArray<CString>& words)
{
    return line.Split(words, "= \t\r\n", "\"\"", nullptr, false);
}

bool IsMoveNumberWord(const CString& word)
{
    if (word.IsEmpty() || !std::isdigit(static_cast<unsigned char>(word[0])))
        return false;
    return std::atoi(word.GetText()) != 0;
}

bool IsMoveLine(const CArray<CString>& words)
{
    if (words.GetCount() == 0)
        return false;
    CString first = *words.GetAt(0);
    first.MakeLower();
    if (first == "move")
        return true;
    return words.GetCount() >= 2 && IsMoveNumberWord(*words.GetAt(0)) && *words.GetAt(1) == "...";
}

CString AfterFirstBlank(const CString& text)
{
    int at = text.Find(' ', 0);
    if (at >= text.GetLength())
        return CString();
    CString out;
    out.Append(text.GetText() + at + 1, text.GetLength() - at - 1);
    return out;
}

CString AfterFirstColon(const CString& text)
{
    int at = text.Find(':', 0);
    if (at >= text.GetLength())
        return text;
    CString out;
    out.Append(text.GetText() + at + 1, text.GetLength() - at - 1);
    return out;
}

CString ShownEngineText(const CString& text)
{
    const int kMostShown = 300;
    CString out;
    int length = text.GetLength() < kMostShown ? text.GetLength() : kMostShown;
    // Not inside a UTF-8 sequence.
    while (length < text.GetLength() && length > 0 && (static_cast<unsigned char>(text[length]) & 0xc0) == 0x80)
        --length;
    for (int i = 0; i < length; ++i) {
        char c = text[i];
        out.Append(static_cast<unsigned char>(c) < ' ' || c == 0x7f ? ' ' : c);
    }
    out.Trim();
    if (length < text.GetLength())
        out.Append("...");
    return out;
}

int ReadSettingNumber(const CString& text)
{
    long value = std::strtol(text.GetText(), nullptr, 10);
    if (value < 0)
        return 0;
    return value > INT_MAX ? INT_MAX : int(value);
}

CString MakeLevelCommand(const CString& moves, const CString& seconds)
{
    int total = ReadSettingNumber(seconds);
    CString out;
    out.AppendFormat("level %i %i:%i 0\n", ReadSettingNumber(moves), total / 60, total % 60);
    return out;
}
