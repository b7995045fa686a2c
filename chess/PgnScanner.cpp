#include "chess/PgnScanner.h"

#include "foundation/AssocArray.h"
#include "foundation/File.h"

#include <algorithm>
#include <cstring>

using Zorlin::CAssocArray;
using Zorlin::CFile;
using Zorlin::CString;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Longest tag name LooksLikeTagLine looks through.
const int kTagNameLookahead = 64;

} // namespace

bool IsPgnResult(const CString& text)
{
    // Asked of every move: most are told apart by their first letter.
    const char first = text.IsEmpty() ? 0 : text[0];
    if (first != '0' && first != '1' && first != '*')
        return false;
    return text == "1-0" || text == "0-1" || text == "1/2-1/2" || text == "*";
}

CPgnInput::CPgnInput(CFile& f) : m_file(f), m_start(f.GetPosition()) {}

bool CPgnInput::Refill()
{
    // The last byte stays for Unget, and the kept bytes while they fit in
    // half the buffer.
    unsigned from = m_end > 0 ? m_end - 1 : 0;
    if (m_keep >= m_start && m_keep - m_start < from && m_end - (m_keep - m_start) <= kBufferSize / 2)
        from = static_cast<unsigned>(m_keep - m_start);
    if (from > 0) {
        std::memmove(m_buffer, m_buffer + from, m_end - from);
        m_start += from;
        m_end -= from;
        m_next -= from;
    }
    if (m_stopped || (m_pace && !m_pace())) {
        m_stopped = true;
        return false;
    }
    const unsigned want = std::min(m_readSize, kBufferSize - m_end);
    m_readSize = std::min(m_readSize * 2, kBufferSize / 2);
    if (!m_file.Read(m_buffer + m_end, want)) {
        m_ranDry = true;
        return false;
    }
    m_end += std::min(m_file.GetLastReadCount(), want);
    return m_next < m_end;
}

void CPgnInput::SeekTo(uint64_t position)
{
    if (position >= m_start && position <= m_start + m_end) {
        m_next = static_cast<unsigned>(position - m_start);
        return;
    }
    m_file.Seek(static_cast<int64_t>(position), CFile::kSeekStart);
    m_start = position;
    m_next = m_end = 0;
}

void CPgnInput::Sync()
{
    if (GetPosition() != m_start + m_end)
        m_file.Seek(static_cast<int64_t>(GetPosition()), CFile::kSeekStart);
}

PgnToken CPgnScanner::Next()
{
    m_tokenBeganLine = m_atLineStart;
    m_token = ReadPgnToken(m_input, m_text, m_atLineStart);
    return m_token;
}

CPgnScanner::TagEnd CPgnScanner::ReadTags(CAssocArray<CString>& tags, CString& errorText)
{
    // Each game starts with its own tags: nothing is carried from the last one.
    tags.RemoveAll();
    int count = 0;
    for (;;) {
        switch (Next()) {
        case TOKEN_END_OF_FILE:
            return count > 0 ? TAGS_ONLY : TAGS_NO_GAME;
        case TOKEN_END_OF_LINE:
        case TOKEN_INVALID:
        case TOKEN_COMMENT_LINE:
        case TOKEN_ESCAPE_LINE:
            break;
        case TOKEN_BRACKET:
            if (m_text == "[") {
                if (ReadTagPair(tags, errorText))
                    ++count;
                break;
            }
            // A stray "]" left on a tag line.
            if (m_text == "]")
                break;
            if (BeginsMoveText(count))
                return TAGS_MOVE_TEXT;
            break;
        default:
            if (BeginsMoveText(count))
                return TAGS_MOVE_TEXT;
            break;
        }
    }
}

// The current token begins move text. Without a tag before it, text that
// holds no move (a comment before the first game, a result or remarks
// between games) is no game: it is read past.
bool CPgnScanner::BeginsMoveText(int tagCount)
{
    m_moveTextStart = GetPosition();
    KeepFrom(m_moveTextStart);
    m_pending = true;
    if (tagCount > 0)
        return true;
    if (!NextMove())
        return false;
    m_pending = true;
    return true;
}

bool CPgnScanner::ReadTagPair(CAssocArray<CString>& tags, CString& errorText)
{
    Next();
    CString name = m_text;
    bool ok = m_token == TOKEN_SYMBOL;
    if (ok) {
        Next();
        ok = m_token == TOKEN_STRING;
    }
    if (!ok) {
        errorText = name.IsEmpty() ? CString("[") : name;
        // A line end (or a whole comment line) has already been read: the
        // next line may hold the next tag.
        if (m_token != TOKEN_END_OF_LINE && m_token != TOKEN_COMMENT_LINE &&
            m_token != TOKEN_ESCAPE_LINE && m_token != TOKEN_END_OF_FILE) {
            DropRestOfLine();
            m_atLineStart = true;
        }
        return false;
    }
    tags[name] = m_text;
    FinishTagLine();
    return true;
}

// After a tag's value: its "]", then the line's end, or what follows on the
// same line (another tag, or the move text), which is read as tokens. A
// value not closed by "]" loses the rest of its line.
void CPgnScanner::FinishTagLine()
{
    char c;
    do {
        if (!ReadByte(c))
            return;
    } while (IsBlank(c));
    if (c == ']') {
        do {
            if (!ReadByte(c))
                return;
        } while (IsBlank(c));
        // Import format: more tags, or the move text, on the same line.
        if (!IsLineEnd(c)) {
            StepBack();
            return;
        }
    }
    if (c == '\r') {
        if (ReadByte(c) && c != '\n')
            StepBack();
    } else if (c != '\n') {
        DropRestOfLine();
    }
    m_atLineStart = true;
}

bool CPgnScanner::NextMove()
{
    for (;;) {
        if (m_pending)
            m_pending = false;
        else
            Next();
        switch (m_token) {
        case TOKEN_END_OF_FILE:
            return false;
        case TOKEN_SYMBOL:
            if (IsPgnResult(m_text)) {
                FinishResultLine();
                return false;
            }
            return true;
        case TOKEN_PUNCTUATION:
            if (m_text == "*") {
                FinishResultLine();
                return false;
            }
            break;
        case TOKEN_BRACKET: {
            const char b = m_text[0];
            if (b == '[' && m_tokenBeganLine) {
                // The next game's tags: a game without a result ends here.
                StepBack();
                m_atLineStart = true;
                return false;
            }
            bool goesOn = true;
            if (b == '{')
                goesOn = SkipPast('}');
            else if (b == '<')
                goesOn = SkipPast('>');
            else if (b == '(')
                goesOn = SkipVariation();
            if (!goesOn)
                return false;
            m_atLineStart = false;
            break;
        }
        default:
            break;
        }
    }
}

// The rest of the result's line belongs to this game (a comment after the
// result, blanks), except a "[" that glues the next game on.
void CPgnScanner::FinishResultLine()
{
    char c;
    while (ReadByte(c)) {
        if (c == '\n')
            break;
        if (c == '\r') {
            if (ReadByte(c) && c != '\n')
                StepBack();
            break;
        }
        if (c == '[') {
            StepBack();
            break;
        }
        if (c == '{' && !SkipPast('}'))
            break;
    }
    m_atLineStart = true;
}

bool CPgnScanner::SkipPast(char close)
{
    bool lineStart = false;
    char c;
    while (ReadByte(c)) {
        if (c == close)
            return true;
        if (IsLineEnd(c)) {
            lineStart = true;
            continue;
        }
        if (c == '[' && lineStart && LooksLikeTagLine()) {
            StepBack();
            m_atLineStart = true;
            return false;
        }
        if (!IsBlank(c))
            lineStart = false;
    }
    return false;
}

bool CPgnScanner::SkipVariation()
{
    int depth = 1;
    bool lineStart = false;
    char c;
    while (ReadByte(c)) {
        if (IsLineEnd(c)) {
            lineStart = true;
            continue;
        }
        if (c == '[' && lineStart && LooksLikeTagLine()) {
            StepBack();
            m_atLineStart = true;
            return false;
        }
        if (!IsBlank(c))
            lineStart = false;
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0)
                return true;
        } else if (c == '{') {
            if (!SkipPast('}'))
                return false;
        } else if (c == ';') {
            DropRestOfLine();
            lineStart = true;
        }
    }
    return false;
}

// A comment or variation left open by a damaged game must not swallow the
// games after it: a line like [Name "... ends it. Clock and arrow commands
// ([%clk ...]) and other bracketed remarks do not look like that. The file
// is left just after the "[".
bool CPgnScanner::LooksLikeTagLine()
{
    const uint64_t start = m_input.GetPosition();
    bool looks = false;
    char c;
    if (ReadByte(c) && IsLetter(c)) {
        int n = 0;
        while (ReadByte(c) && (IsLetter(c) || IsDigit(c) || c == '_') && ++n < kTagNameLookahead) {
        }
        while (IsBlank(c) && ReadByte(c)) {
        }
        looks = c == '"';
    }
    m_input.SeekTo(start);
    return looks;
}

void CPgnScanner::DropRestOfLine()
{
    char c;
    while (ReadByte(c)) {
        if (c == '\n')
            return;
        if (c == '\r') {
            if (ReadByte(c) && c != '\n')
                StepBack();
            return;
        }
    }
}
