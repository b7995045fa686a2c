#include "client/view/ChatTranscript.h"

#include <cstring>

using Zorlin::CString;

namespace {

// At most max bytes, not ending inside a UTF-8 sequence; a cut text ends
// with mark (counted in max).
CString Cut(const CString& text, int max, const char* mark)
{
    if (text.GetLength() <= max)
        return text;
    int end = max - int(strlen(mark));
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    CString cut(text);
    cut.Truncate(end);
    cut.Append(mark);
    return cut;
}

} // namespace

CChatTranscript::CChatTranscript(int maxLines, int maxBytes)
    : m_maxLines(maxLines < 1 ? 1 : maxLines), m_maxBytes(maxBytes < 1 ? 1 : maxBytes)
{
    Clear();
}

int CChatTranscript::LineBytes(const SLine& line)
{
    // The line break before it and the ": " after a name count too.
    return line.name.GetLength() + line.text.GetLength() + (line.kind == kMessage ? 3 : 1);
}

void CChatTranscript::Clear()
{
    m_lines.clear();
    m_bytes = 0;
    m_firstWaiting = 0;
    m_droppedShown = 0;
    m_batchHasMessage = false;
}

void CChatTranscript::Add(EKind kind, const CString& name, const CString& text)
{
    SLine line{kind, kind == kMessage ? Cut(name, kMaxName, "") : CString(), Cut(text, kMaxText, " ...")};
    m_bytes += LineBytes(line);
    m_lines.push_back(line);
    if (kind == kMessage)
        m_batchHasMessage = true;
    // The newest line always stays, however long.
    while (m_lines.size() > 1 && (GetCount() > m_maxLines || m_bytes > m_maxBytes))
        DropOldest();
}

void CChatTranscript::DropOldest()
{
    m_bytes -= LineBytes(m_lines.front());
    m_lines.pop_front();
    // A line the window shows must leave it; one still waiting never got there.
    if (m_firstWaiting > 0) {
        --m_firstWaiting;
        ++m_droppedShown;
    }
}

void CChatTranscript::MarkShown()
{
    m_firstWaiting = GetCount();
    m_droppedShown = 0;
    m_batchHasMessage = false;
}
