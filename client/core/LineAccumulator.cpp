#include "client/core/LineAccumulator.h"

#include <cstring>

using Zorlin::CString;

void CLineAccumulator::Feed(const char* data, int size)
{
    for (int i = 0; i < size; ++i) {
        char c = data[i];
        if (m_dropping) {
            if (c == '\n')
                m_dropping = false;
            continue;
        }
        m_buffer.Append(c);
        if (c == '\n') {
            ++m_lineCount;
            m_scanned = 0;
        } else if (++m_scanned >= kMaxLine) {
            // Cut an over-long line here; what follows up to its end goes.
            m_buffer.Append('\n');
            ++m_lineCount;
            m_scanned = 0;
            m_dropping = true;
        }
    }
}

void CLineAccumulator::FinishInput()
{
    if (m_scanned > 0) {
        m_buffer.Append('\n');
        ++m_lineCount;
        m_scanned = 0;
    }
}

bool CLineAccumulator::TakeLine(CString& line)
{
    if (m_lineCount == 0)
        return false;
    int end = m_buffer.Find('\n', m_start);
    if (end >= m_buffer.GetLength()) {
        m_lineCount = 0; // cannot happen; keep the counts honest
        return false;
    }
    int stop = end;
    if (stop > m_start && m_buffer[stop - 1] == '\r')
        --stop;
    line = "";
    line.Append(m_buffer.GetText() + m_start, stop - m_start);
    m_start = end + 1;
    --m_lineCount;
    Compact();
    return true;
}

bool CLineAccumulator::Contains(const char* text) const
{
    int n = int(std::strlen(text));
    const char* begin = m_buffer.GetText() + m_start;
    const char* end = m_buffer.GetText() + m_buffer.GetLength();
    for (const char* p = begin; p + n <= end; ++p)
        if (std::memcmp(p, text, size_t(n)) == 0)
            return true;
    return false;
}

void CLineAccumulator::Clear()
{
    m_buffer = "";
    m_start = 0;
    m_lineCount = 0;
    m_scanned = 0;
    m_dropping = false;
}

void CLineAccumulator::Compact()
{
    if (m_start == m_buffer.GetLength()) {
        m_buffer = "";
        m_start = 0;
    } else if (m_start > 4096 && m_start * 2 > m_buffer.GetLength()) {
        CString rest;
        rest.Append(m_buffer.GetText() + m_start, m_buffer.GetLength() - m_start);
        m_buffer = rest;
        m_start = 0;
    }
}
