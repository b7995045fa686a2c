#pragma once

#include "chess/Pgn.h"
#include "foundation/String.h"

#include <cstdint>
#include <functional>

namespace Zorlin {
class CFile;
}

// The bytes of a file through a buffer of its own, so that taking a byte or
// stepping back one costs no call on the file (a step back on a disk file
// asks the system for its size). The file itself runs ahead of the reading;
// the destructor puts it back where the reading stands.
class CPgnInput {
public:
    explicit CPgnInput(Zorlin::CFile& f);
    ~CPgnInput() { Sync(); }
    CPgnInput(const CPgnInput&) = delete;
    CPgnInput& operator=(const CPgnInput&) = delete;

    bool Get(char& c)
    {
        if (m_next == m_end && !Refill())
            return false;
        c = m_buffer[m_next++];
        return true;
    }
    // Only after a Get that returned true.
    void Unget()
    {
        if (m_next > 0)
            --m_next;
        else
            SeekTo(GetPosition() - 1);
    }
    uint64_t GetPosition() const { return m_start + m_next; }
    // Back (or on) to a position already read.
    void SeekTo(uint64_t position);
    // The bytes from..to, when they are all still in the buffer.
    const char* FindBytes(uint64_t from, uint64_t to) const
    {
        return from >= m_start && from <= to && to <= m_start + m_end ? m_buffer + (from - m_start) : nullptr;
    }
    // Asks that the bytes from position on stay in the buffer while they
    // fit, for FindBytes.
    void KeepFrom(uint64_t position) { m_keep = position; }
    // Moves the file to where the reading stands.
    void Sync();
    // True once a read of the file gave nothing: the end of the file, or
    // a file that could not be read on.
    bool RanDry() const { return m_ranDry; }

    // Asked before each read of the file; false stops the reading there,
    // as at the end of the file. A long stretch of text (one that holds no
    // game) is read in many reads: the caller may keep a window answering.
    using Pace = std::function<bool()>;
    void SetPace(Pace pace) { m_pace = std::move(pace); }
    // True once the pace stopped the reading.
    bool WasStopped() const { return m_stopped; }

private:
    bool Refill();

    // Reads start small, as most games are short, and grow while a game
    // goes on.
    static const unsigned kBufferSize = 32768;
    static const unsigned kFirstRead = 2048;

    unsigned m_readSize = kFirstRead;
    uint64_t m_keep = UINT64_MAX;
    Zorlin::CFile& m_file;
    uint64_t m_start;    // file position of m_buffer[0]
    unsigned m_next = 0; // next byte to hand out
    unsigned m_end = 0;  // bytes in the buffer; the file stands at m_start + m_end
    bool m_ranDry = false;
    bool m_stopped = false;
    Pace m_pace;
    char m_buffer[kBufferSize];
};

// The lexer of ReadPgnToken over a buffered input.
PgnToken ReadPgnToken(CPgnInput& in, Zorlin::CString& text, bool& atLineStart);

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

    // The file is left where the reading stopped when the scanner goes.
    explicit CPgnScanner(Zorlin::CFile& f) : m_input(f) {}

    // Reads the tag section into tags (emptied first). A malformed pair is
    // dropped with the rest of its tag and its name goes to errorText. Text
    // before a game's tags that holds no move is passed over.
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
    // Where the move text goes on after the token that began it (valid
    // after ReadTags answered TAGS_MOVE_TEXT).
    uint64_t GetMoveTextStart() const { return m_moveTextStart; }
    uint64_t GetPosition() const { return m_input.GetPosition(); }
    // The raw bytes from an earlier position to the current one, when the
    // input still holds them; null otherwise.
    const char* FindBytesSince(uint64_t from) const { return m_input.FindBytes(from, GetPosition()); }
    void KeepFrom(uint64_t position) { m_input.KeepFrom(position); }
    // True when the reading met the end of what the file gave. A game that
    // ends so before the file's size was cut short by a failed read.
    bool RanDry() const { return m_input.RanDry(); }
    // See CPgnInput::SetPace.
    void SetPace(CPgnInput::Pace pace) { m_input.SetPace(std::move(pace)); }
    bool WasStopped() const { return m_input.WasStopped(); }

private:
    PgnToken Next();
    bool ReadTagPair(Zorlin::CAssocArray<Zorlin::CString>& tags, Zorlin::CString& errorText);
    void FinishTagLine();
    bool BeginsMoveText(int tagCount);
    void FinishResultLine();
    // Raw skips of bracketed text; false when a tag line cut them short
    // (the game then ends, with the "[" put back).
    bool SkipPast(char close);
    bool SkipVariation();
    // After a "[" that began a line inside a comment or variation.
    bool LooksLikeTagLine();
    void DropRestOfLine();
    bool ReadByte(char& c) { return m_input.Get(c); }
    void StepBack() { m_input.Unget(); }

    CPgnInput m_input;
    Zorlin::CString m_text;
    PgnToken m_token = TOKEN_END_OF_FILE;
    bool m_atLineStart = true;
    bool m_tokenBeganLine = false; // the current token was the first on its line
    bool m_pending = false;        // the current token has not been handed to NextMove yet
    uint64_t m_moveTextStart = 0;
};

// "1-0", "0-1", "1/2-1/2" or "*".
bool IsPgnResult(const Zorlin::CString& text);
