#include "client/view/LinkCommand.h"

using Zorlin::CString;

namespace {

bool IsQuote(char c) { return c == '\'' || c == '"'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsBlankText(const CString& text)
{
    for (int i = 0; i < text.GetLength(); ++i)
        if (!IsBlank(text[i]))
            return false;
    return true;
}

} // namespace

bool ExtractLinkCommands(const CString& address, CString& commands)
{
    CString text(address);
    text.ReplaceAll("%20", " ");
    int pos = 0;
    if (!text.Find(CString("LNK "), &pos))
        return false;
    commands = text.Mid(pos + 4);
    return true;
}

void SplitLinkCommands(const CString& commands, std::vector<CString>& out)
{
    out.clear();
    CString piece;
    char quote = 0;
    for (int i = 0; i < commands.GetLength(); ++i) {
        char c = commands[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == ',') {
            if (!IsBlankText(piece))
                out.push_back(piece);
            piece = "";
            continue;
        }
        piece.Append(c);
    }
    if (!IsBlankText(piece))
        out.push_back(piece);
}

void SplitLinkWords(const CString& command, CLinkWords& out)
{
    out.RemoveAll();
    CString word;
    bool inWord = false;
    char quote = 0;
    for (int i = 0; i < command.GetLength(); ++i) {
        char c = command[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                word.Append(c);
        } else if (IsQuote(c)) {
            quote = c;
            inWord = true;
        } else if (IsBlank(c)) {
            if (inWord)
                out.Add(word);
            word = "";
            inWord = false;
        } else {
            word.Append(c);
            inWord = true;
        }
    }
    if (inWord)
        out.Add(word);
}

std::vector<CLinkWords> ParseCommandLink(const CString& address)
{
    std::vector<CLinkWords> result;
    CString commands;
    if (!ExtractLinkCommands(address, commands))
        return result;
    std::vector<CString> pieces;
    SplitLinkCommands(commands, pieces);
    for (const CString& piece : pieces) {
        CLinkWords words;
        SplitLinkWords(piece, words);
        if (words.GetCount() > 0)
            result.push_back(words);
    }
    return result;
}
