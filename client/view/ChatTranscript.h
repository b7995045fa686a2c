#pragma once

// The lines of the chat pane, kept apart from the window so their limits
// can be tested without a display. A peer may send chat as fast as it
// likes: the transcript keeps at most kMaxLines lines and kMaxBytes bytes,
// dropping the oldest first, and the lines added since the window last
// showed them wait there as one batch.

#include <deque>

#include "foundation/String.h"

class CChatTranscript {
public:
    enum EKind { kMessage, kNotice };
    struct SLine {
        EKind kind;
        Zorlin::CString name; // empty for a notice
        Zorlin::CString text;
    };

    static constexpr int kMaxLines = 500;
    static constexpr int kMaxBytes = 64 * 1024;
    // A longer text is cut and marked " ..." (the wire carries no more).
    static constexpr int kMaxText = 8192;
    static constexpr int kMaxName = 64;

    explicit CChatTranscript(int maxLines = kMaxLines, int maxBytes = kMaxBytes);

    void Add(EKind kind, const Zorlin::CString& name, const Zorlin::CString& text);
    // Empties the transcript and the waiting batch.
    void Clear();

    int GetCount() const { return int(m_lines.size()); }
    const SLine& GetLine(int i) const { return m_lines[size_t(i)]; }
    int GetBytes() const { return m_bytes; }

    // ---- the batch the window has not shown yet
    bool HasBatch() const { return m_firstWaiting < GetCount() || m_droppedShown > 0; }
    // The first line of the batch; GetCount() when none waits.
    int GetFirstWaiting() const { return m_firstWaiting; }
    // Lines the window shows that have been dropped since the last batch:
    // they are to be removed from the top of the window.
    int GetDroppedShown() const { return m_droppedShown; }
    // Whether a message (not a notice) came in this batch: one sound for it.
    bool BatchHasMessage() const { return m_batchHasMessage; }
    // The window has shown every line.
    void MarkShown();

    // The bytes a line counts for.
    static int LineBytes(const SLine& line);

private:
    void DropOldest();

    int m_maxLines;
    int m_maxBytes;
    std::deque<SLine> m_lines;
    int m_bytes;
    int m_firstWaiting;
    int m_droppedShown;
    bool m_batchHasMessage;
};
