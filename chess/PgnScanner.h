#pragma once

#include "chess/Pgn.h"
#include "foundation/String.h"

// Walks one game of a PGN file token by token. Both readers use it, so the
// game list and the loader always agree on where a game ends: at its result
// (with the rest of that line), at a "[" that begins a line outside any
// comment or variation (put back for the next game), or at the end of the
// file.
class CPgnScanner {
public:
    enum TagEnd {
        TAGS_NO_GAME,   // end of file before any tag or move text
        TAGS_ONLY,      // end of file after at least one tag pair
        TAGS_MOVE_TEXT, // a token that begins the move text is current
    };

    explicit CPgnScanner(Zorlin::CFile& f) : m_file(f) {}

    // Reads the tag section into tags (emptied first). A malformed pair is
    // dropped with the rest of its tag and its name goes to errorText.
    TagEnd ReadTags(Zorlin::CAssocArray<Zorlin::CString>& tags, Zorlin::CString& errorText);

    // Moves to the next move symbol of the move text (the token that opened
    // it comes first); false at the end of the game.
    bool NextMove();
    // Reads to the end of the game.
    void SkipGame()
    {
        while (NextMove()) {
        }
    }

    const Zorlin::CString& GetText() const { return m_text; }

private:
    PgnToken Next();
    bool ReadTagPair(Zorlin::CAssocArray<Zorlin::CString>& tags, Zorlin::CString& errorText);
    void FinishTagLine();
    void FinishResultLine();
    // Raw skips of bracketed text; false when a tag line cut them short
    // (the game then ends, with the "[" put back).
    bool SkipPast(char close);
    bool SkipVariation();
    // After a "[" that began a line inside a comment or variation.
    bool LooksLikeTagLine();
    void DropRestOfLine();
    bool ReadByte(char& c);
    void StepBack();

    Zorlin::CFile& m_file;
    Zorlin::CString m_text;
    PgnToken m_token = TOKEN_END_OF_FILE;
    bool m_atLineStart = true;
    bool m_tokenBeganLine = false; // the current token was the first on its line
    bool m_pending = false;        // the current token has not been handed to NextMove yet
};

// "1-0", "0-1", "1/2-1/2" or "*".
bool IsPgnResult(const Zorlin::CString& text);
