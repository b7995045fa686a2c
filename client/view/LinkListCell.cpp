#include "client/view/LinkListCell.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include <wx/dc.h>
#include <wx/html/htmlpars.h>
#include <wx/html/winpars.h>

namespace {

const wxString kOpen = "<a href=\"";
const wxString kClose = "</a>";

wxString OneLine(const wxString& text)
{
    wxString out(text);
    for (wxString::iterator it = out.begin(); it != out.end(); ++it)
        if (*it == '\n' || *it == '\r' || *it == '\t')
            *it = ' ';
    return out;
}

// The links of the element's source, exactly as the page builder writes
// them; false for anything else, which the toolkit then shows itself.
bool ParseLinks(const wxString& source, wxHtmlEntitiesParser& entities, std::vector<CLinkListCell::SItem>& items,
                wxString& separator)
{
    size_t at = 0;
    size_t length = source.length();
    bool haveSeparator = false;
    while (true) {
        size_t open = source.find(kOpen, at);
        wxString between = source.substr(at, open == wxString::npos ? wxString::npos : open - at);
        if (between.find('<') != wxString::npos)
            return false;
        if (open == wxString::npos)
            return between.Strip(wxString::both).empty();
        if (!items.empty()) {
            if (haveSeparator && between != separator)
                return false;
            separator = between;
            haveSeparator = true;
        } else if (!between.Strip(wxString::both).empty()) {
            return false;
        }
        size_t hrefStart = open + kOpen.length();
        size_t hrefEnd = source.find("\">", hrefStart);
        if (hrefEnd == wxString::npos)
            return false;
        wxString href = source.substr(hrefStart, hrefEnd - hrefStart);
        size_t labelStart = hrefEnd + 2;
        size_t close = source.find(kClose, labelStart);
        if (close == wxString::npos || href.find_first_of("<>\"") != wxString::npos)
            return false;
        wxString label = source.substr(labelStart, close - labelStart);
        if (label.find('<') != wxString::npos)
            return false;
        CLinkListCell::SItem item;
        item.label = OneLine(entities.Parse(label));
        item.link = wxHtmlLinkInfo(entities.Parse(href));
        items.push_back(item);
        at = close + kClose.length();
        if (at > length)
            return false;
    }
}

wxFont CurrentFont(wxHtmlWinParser& parser, bool underlined)
{
    int was = parser.GetFontUnderlined();
    parser.SetFontUnderlined(underlined);
    wxFont font = *parser.CreateCurrentFont();
    parser.SetFontUnderlined(was);
    return font;
}

class CLinkListHandler : public wxHtmlWinTagHandler {
public:
    wxString GetSupportedTags() override { return "LINKLIST"; }

    bool HandleTag(const wxHtmlTag& tag) override
    {
        if (!tag.HasEnding())
            return false;
        std::vector<CLinkListCell::SItem> items;
        wxString separator;
        if (!ParseLinks(m_WParser->GetInnerSource(tag), *m_WParser->GetEntitiesParser(), items, separator) ||
            items.empty())
            return false;
        m_WParser->GetContainer()->InsertCell(new CLinkListCell(*m_WParser, std::move(items), separator));
        return true;
    }
};

class CLinkListModule : public wxHtmlTagsModule {
public:
    void FillHandlersTable(wxHtmlWinParser* parser) override { parser->AddTagHandler(new CLinkListHandler); }
};

} // namespace

CLinkListCell::CLinkListCell(wxHtmlWinParser& parser, std::vector<SItem> items, const wxString& separator)
    : m_items(std::move(items)), m_separator(separator), m_linkFont(CurrentFont(parser, true)),
      m_textFont(CurrentFont(parser, false)), m_linkColour(parser.GetLinkColor()),
      m_textColour(parser.GetActualColor()), m_align(parser.GetAlign()), m_separatorWidth(0), m_lineHeight(0),
      m_oneLineWidth(0)
{
    wxDC& dc = *parser.GetDC();
    wxFont was = dc.GetFont();
    // Long-time users' lists repeat their opponents: each label is measured once.
    std::unordered_map<std::wstring, int> widths;
    dc.SetFont(m_linkFont);
    int height = 0;
    for (SItem& item : m_items) {
        std::wstring key = item.label.ToStdWstring();
        auto found = widths.find(key);
        if (found == widths.end()) {
            int w = 0, h = 0;
            dc.GetTextExtent(item.label, &w, &h);
            found = widths.emplace(key, w).first;
            height = std::max(height, h);
        }
        item.width = found->second;
    }
    dc.SetFont(m_textFont);
    int h = 0;
    dc.GetTextExtent(m_separator, &m_separatorWidth, &h);
    m_lineHeight = std::max(height, h);
    if (was.IsOk())
        dc.SetFont(was);
    for (const SItem& item : m_items)
        m_oneLineWidth += item.width + m_separatorWidth;
    m_oneLineWidth -= m_separatorWidth;
    m_Width = m_oneLineWidth;
    m_Height = m_lineHeight;
    m_Descent = 0;
}

void CLinkListCell::Layout(int width)
{
    // Lines break after a separator; its closing blank is not kept at a line's end.
    wxString trimmed = wxString(m_separator).Strip(wxString::trailing);
    int separatorEnd = m_separator.empty() ? 0 : int(m_separatorWidth * trimmed.length() / m_separator.length());
    m_lines.clear();
    m_left.assign(m_items.size(), 0);
    std::vector<int> ends; // where each line's last separator ends
    int count = int(m_items.size());
    int x = 0;
    for (int i = 0; i < count; ++i) {
        int w = m_items[size_t(i)].width;
        int tail = i + 1 < count ? separatorEnd : 0;
        if (m_lines.empty() || (x > 0 && x + w + tail > width)) {
            m_lines.push_back(i);
            ends.push_back(0);
            x = 0;
        }
        m_left[size_t(i)] = x;
        ends.back() = x + w + tail;
        x += w + m_separatorWidth;
    }
    int widest = 0;
    for (size_t line = 0; line < m_lines.size(); ++line) {
        widest = std::max(widest, ends[line]);
        int shift = 0;
        if (m_align == wxHTML_ALIGN_CENTER)
            shift = std::max(0, (width - ends[line]) / 2);
        else if (m_align == wxHTML_ALIGN_RIGHT)
            shift = std::max(0, width - ends[line]);
        int end = line + 1 < m_lines.size() ? m_lines[line + 1] : count;
        for (int i = m_lines[line]; i < end; ++i)
            m_left[size_t(i)] += shift;
    }
    m_Width = std::max(width, widest);
    m_Height = int(m_lines.size()) * m_lineHeight;
}

int CLinkListCell::LineOf(int index) const
{
    auto after = std::upper_bound(m_lines.begin(), m_lines.end(), index,
                                  [](int i, int first) { return i < first; });
    return int(after - m_lines.begin()) - 1;
}

wxRect CLinkListCell::GetLabelRect(int index) const
{
    int line = LineOf(index);
    return wxRect(m_left[size_t(index)], line * m_lineHeight, m_items[size_t(index)].width, m_lineHeight);
}

void CLinkListCell::Draw(wxDC& dc, int x, int y, int viewTop, int viewBottom, wxHtmlRenderingInfo&)
{
    if (m_lines.empty() || m_lineHeight <= 0)
        return;
    int top = y + m_PosY;
    int left = x + m_PosX;
    int first = std::max(0, (viewTop - top) / m_lineHeight);
    int last = std::min(int(m_lines.size()) - 1, (viewBottom - top) / m_lineHeight);
    if (last < first)
        return;
    // The words after this cell are drawn with the font and colour the page left set.
    wxFont font = dc.GetFont();
    wxColour colour = dc.GetTextForeground();
    int mode = dc.GetBackgroundMode();
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    int count = int(m_items.size());
    for (int line = first; line <= last; ++line) {
        int begin = m_lines[size_t(line)];
        int end = line + 1 < int(m_lines.size()) ? m_lines[size_t(line) + 1] : count;
        int lineTop = top + line * m_lineHeight;
        for (int i = begin; i < end; ++i) {
            const SItem& item = m_items[size_t(i)];
            int at = left + m_left[size_t(i)];
            dc.SetFont(m_linkFont);
            dc.SetTextForeground(m_linkColour);
            dc.DrawText(item.label, at, lineTop);
            if (i + 1 < count) {
                dc.SetFont(m_textFont);
                dc.SetTextForeground(m_textColour);
                dc.DrawText(m_separator, at + item.width, lineTop);
            }
        }
    }
    dc.SetBackgroundMode(mode);
    if (font.IsOk())
        dc.SetFont(font);
    dc.SetTextForeground(colour);
}

wxHtmlLinkInfo* CLinkListCell::GetLink(int x, int y) const
{
    if (m_lines.empty() || m_lineHeight <= 0 || y < 0 || x < 0)
        return nullptr;
    int line = y / m_lineHeight;
    if (line >= int(m_lines.size()))
        return nullptr;
    int begin = m_lines[size_t(line)];
    int end = line + 1 < int(m_lines.size()) ? m_lines[size_t(line) + 1] : int(m_items.size());
    for (int i = begin; i < end; ++i)
        if (x >= m_left[size_t(i)] && x < m_left[size_t(i)] + m_items[size_t(i)].width)
            return &m_items[size_t(i)].link;
    return nullptr;
}

wxString CLinkListCell::ConvertToText(wxHtmlSelection*) const
{
    wxString text;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (i)
            text += m_separator;
        text += m_items[i].label;
    }
    return text;
}

void RegisterLinkListTag()
{
    static CLinkListModule* module = nullptr;
    if (module)
        return;
    module = new CLinkListModule;
    wxHtmlWinParser::AddModule(module);
}
