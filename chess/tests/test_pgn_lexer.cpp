#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "chess/Pgn.h"
#include "foundation/MemFile.h"
#include "support/pgn_oracle.h"

using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;

namespace {

struct SToken {
    PgnToken kind;
    std::string text;
    bool atLineStartAfter;
    bool operator==(const SToken& o) const
    {
        return kind == o.kind && text == o.text && atLineStartAfter == o.atLineStartAfter;
    }
};

std::ostream& operator<<(std::ostream& os, const SToken& t)
{
    return os << "{" << int(t.kind) << ", \"" << t.text << "\", " << t.atLineStartAfter << "}";
}

std::vector<SToken> Tokens(CFile& f, size_t limit = 100000)
{
    std::vector<SToken> out;
    bool atLineStart = true;
    CString text;
    for (;;) {
        const PgnToken kind = ReadPgnToken(f, text, atLineStart);
        if (kind == TOKEN_END_OF_FILE || out.size() >= limit)
            return out;
        out.push_back({kind, text.GetText(), atLineStart});
    }
}

std::vector<SToken> Tokens(const std::string& bytes)
{
    CMemFile f;
    FillMemFile(f, bytes);
    return Tokens(f);
}

const bool L = true;  // at a line start after the token
const bool M = false; // mid-line after the token

} // namespace

TEST(PgnLexer, TagLineAndMoveTextTokens)
{
    const std::vector<SToken> expected = {
        {TOKEN_BRACKET, "[", M},
        {TOKEN_SYMBOL, "Event", M},
        {TOKEN_STRING, "A \"B\" \\ C", M},
        {TOKEN_BRACKET, "]", M},
        {TOKEN_END_OF_LINE, "", L},
        {TOKEN_INTEGER, "1", M},
        {TOKEN_PUNCTUATION, ".", M},
        {TOKEN_SYMBOL, "e4", M},
        {TOKEN_NAG, "$12", M},
        {TOKEN_SYMBOL, "e5", M},
        {TOKEN_PUNCTUATION, "!", M},
        {TOKEN_PUNCTUATION, "?", M},
        {TOKEN_BRACKET, "{", M},
        {TOKEN_SYMBOL, "x", M},
        {TOKEN_BRACKET, "}", M},
        {TOKEN_BRACKET, "(", M},
        {TOKEN_INTEGER, "1", M},
        {TOKEN_PUNCTUATION, ".", M},
        {TOKEN_PUNCTUATION, ".", M},
        {TOKEN_PUNCTUATION, ".", M},
        {TOKEN_SYMBOL, "c5", M},
        {TOKEN_BRACKET, ")", M},
        {TOKEN_SYMBOL, "O-O-O+", M},
        {TOKEN_SYMBOL, "e8=Q#", M},
        {TOKEN_SYMBOL, "1/2-1/2", M},
        {TOKEN_PUNCTUATION, "*", M},
        {TOKEN_END_OF_LINE, "", L},
    };
    EXPECT_EQ(Tokens("[Event \"A \\\"B\\\" \\\\ C\"]\n1. e4 $12 e5!? {x} (1... c5) O-O-O+ e8=Q# 1/2-1/2 *\r\n"),
              expected);
}

TEST(PgnLexer, LineStartRulesForEscapeAndComment)
{
    // "%" escapes only a whole line; ";" comments to the end of the line
    // wherever it stands, and the words after it are not moves.
    const std::vector<SToken> expected = {
        {TOKEN_ESCAPE_LINE, "escape me", L},
        {TOKEN_COMMENT_LINE, "comment", L},
        {TOKEN_SYMBOL, "e4", M},
        {TOKEN_INVALID, "", M},
        {TOKEN_SYMBOL, "x", M},
        {TOKEN_COMMENT_LINE, " Nf3 is good", L},
        {TOKEN_ESCAPE_LINE, "indented", L},
        {TOKEN_SYMBOL, "d4", M},
    };
    EXPECT_EQ(Tokens("%escape me\n;comment\r\ne4 % x; Nf3 is good\n  %indented\nd4"), expected);
}

TEST(PgnLexer, BlanksControlBytesAndHighBytesAreSkipped)
{
    // A UTF-8 byte-order mark, Latin-1 letters, tabs and control bytes start
    // no token; a lone CR ends a line just as ReadLine takes it.
    const std::vector<SToken> expected = {
        {TOKEN_BRACKET, "[", M},
        {TOKEN_SYMBOL, "Event", M},
        {TOKEN_END_OF_LINE, "", L},
        {TOKEN_SYMBOL, "M", M},
        {TOKEN_SYMBOL, "ller", M},
        {TOKEN_END_OF_LINE, "", L},
        {TOKEN_INTEGER, "1", M},
        {TOKEN_PUNCTUATION, ".", M},
        {TOKEN_SYMBOL, "e4", M},
    };
    EXPECT_EQ(Tokens("\xEF\xBB\xBF[Event\x01\t\n M\xFCller\r1.e4"), expected);
}

TEST(PgnLexer, StringsStopAtTheLineEndAndTheFileEnd)
{
    const std::vector<SToken> expected = {
        {TOKEN_STRING, "abc", M}, // the line end is read again as a token
        {TOKEN_END_OF_LINE, "", L},
        {TOKEN_STRING, "aqb", M}, // a backslash before another byte is dropped
        {TOKEN_STRING, "open", M},
    };
    EXPECT_EQ(Tokens("\"abc\r\n\"a\\qb\" \"open"), expected);
}

TEST(PgnLexer, StepsBackOverTheByteAfterASymbolOrNag)
{
    const std::vector<SToken> expected = {
        {TOKEN_SYMBOL, "Nf3", M},
        {TOKEN_BRACKET, "{", M},
        {TOKEN_NAG, "$1", M},
        {TOKEN_BRACKET, "}", M},
        {TOKEN_NAG, "$", M},
        {TOKEN_SYMBOL, "a", M},
        {TOKEN_INTEGER, "42", M},
    };
    EXPECT_EQ(Tokens("Nf3{$1}$a 42"), expected);
}

TEST(PgnLexer, OverLongTokensAreCutButReadWhole)
{
    const std::string longWord(100000, 'a');
    const std::string longString = "\"" + std::string(50000, 'x') + "\"";
    const std::vector<SToken> tokens = Tokens(longWord + " " + longString + " e4");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[0].kind, TOKEN_SYMBOL);
    EXPECT_EQ(tokens[0].text, std::string(kPgnMaxTokenText, 'a'));
    EXPECT_EQ(tokens[1].kind, TOKEN_STRING);
    EXPECT_EQ(tokens[1].text.size(), size_t(kPgnMaxTokenText));
    EXPECT_EQ(tokens[2].text, "e4");
}
