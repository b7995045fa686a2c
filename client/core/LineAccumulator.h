#pragma once

#include "foundation/String.h"

// Turns bytes that arrive in pieces into whole lines. A line ends with LF
// (a CR before it is dropped); a partial line waits for the rest. A line
// longer than the bound is cut there and the rest of it is dropped, so no
// input can grow memory without end or pass on a line nobody can show.
class CLineAccumulator {
public:
    static const int kMaxLine = 4096;

    void Feed(const char* data, int size);
    // The next whole line, without its end; false when none is complete.
    bool TakeLine(Zorlin::CString& line);
    // The end of the input: a partial line left over becomes a line.
    void FinishInput();
    bool HasLine() const { return m_lineCount > 0; }
    // Bytes fed and not yet taken.
    int GetPendingSize() const { return m_buffer.GetLength() - m_start; }
    // True when text occurs in what has not been taken yet.
    bool Contains(const char* text) const;
    void Clear();

private:
    void Compact();

    Zorlin::CString m_buffer;
    int m_start = 0;     // first byte not taken
    int m_lineCount = 0; // whole lines waiting
    int m_scanned = 0;   // bytes of the current partial line already counted
    bool m_dropping = false; // inside the cut-off rest of an over-long line
};
