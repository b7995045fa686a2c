#include "client/view/LinkListCell.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include <wx/dc.h>
#include <wx/html/htmlwin.h>
#include <wx/html/winpars.h>

namespace {

wxString OneLine(const wxString& text)
{
    wxString out(text);
    for (wxString::iterator it = out.begin(); it != out.end(); ++it)
        if (*it == '\n' || *it == '\r' || *it == '\t')
            *it = ' ';
    return out;
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
        wxHtmlWindowInterface* window = m_WParser->GetWindowInterface();
        auto* owner = window ? dynamic_cast<ILinkListWindow*>(window->GetHTMLWindow()) : nullptr;
        std::shared_ptr<CLinkLists::SList> list = owner ? owner->GetLinkLists().Find(tag.GetParam("NAME")) : nullptr;
        if (list && !list->items.empty())
            m_WParser->GetContainer()->InsertCell(new CLinkListCell(*m_WParser, list, owner->GetLinkLists()));
        // Whatever the element holds is not shown.
        return true;
    }
};

class CLinkListModule : public wxHtmlTagsModule {
public:
    void FillHandlersTable(wxHtmlWinParser* parser) override { parser->AddTagHandler(new CLinkListHandler); }
};

} // namespace

CLinkListCell::CLinkListCell(wxHtmlWinParser& parser, std::shared_ptr<SList> list, CLinkLists& measure)
    : m_list(std::move(list)), m_linkFont(CurrentFont(parser, true)),
      m_textFont(CurrentFont(parser, false)), m_linkColour(parser.GetLinkColor()),
      m_textColour(parser.GetActualColor()), m_align(parser.GetAlign()), m_separatorWidth(0), m_lineHeight(0),
      m_oneLineWidth(0)
{
    wxDC& dc = *parser.GetDC();
    wxFont was = dc.GetFont();
    int height = 0;
    measure.UseFont(dc, m_linkFont);
    m_widths.reserve(m_list->items.size());
    for (const SItem& item : m_list->items) {
        std::pair<int, int> size = measure.Measure(dc, item.label);
        m_widths.push_back(size.first);
        height = std::max(height, size.second);
    }
    measure.UseFont(dc, m_textFont);
    std::pair<int, int> separatorSize = measure.Measure(dc, m_list->separator);
    m_separatorWidth = separatorSize.first;
    m_lineHeight = std::max(height, separatorSize.second);
    if (was.IsOk())
        dc.SetFont(was);
    for (int width : m_widths)
        m_oneLineWidth += width + m_separatorWidth;
    m_oneLineWidth -= m_separatorWidth;
    m_Width = m_oneLineWidth;
    m_Height = m_lineHeight;
    m_Descent = 0;
}

void CLinkListCell::Layout(int width)
{
    // Lines break after a separator; its closing blank is not kept at a line's end.
    wxString trimmed = wxString(m_list->separator).Strip(wxString::trailing);
    int separatorEnd = m_list->separator.empty() ? 0 : int(m_separatorWidth * trimmed.length() / m_list->separator.length());
    m_lines.clear();
    m_left.assign(m_list->items.size(), 0);
    std::vector<int> ends; // where each line's last separator ends
    int count = int(m_list->items.size());
    int x = 0;
    for (int i = 0; i < count; ++i) {
        int w = WidthOf(i);
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
    return wxRect(m_left[size_t(index)], line * m_lineHeight, WidthOf(index), m_lineHeight);
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
    int count = int(m_list->items.size());
    for (int line = first; line <= last; ++line) {
        int begin = m_lines[size_t(line)];
        int end = line + 1 < int(m_lines.size()) ? m_lines[size_t(line) + 1] : count;
        int lineTop = top + line * m_lineHeight;
        for (int i = begin; i < end; ++i) {
            const SItem& item = m_list->items[size_t(i)];
            int at = left + m_left[size_t(i)];
            dc.SetFont(m_linkFont);
            dc.SetTextForeground(m_linkColour);
            dc.DrawText(item.label, at, lineTop);
            if (i + 1 < count) {
                dc.SetFont(m_textFont);
                dc.SetTextForeground(m_textColour);
                dc.DrawText(m_list->separator, at + WidthOf(i), lineTop);
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
    int end = line + 1 < int(m_lines.size()) ? m_lines[size_t(line) + 1] : int(m_list->items.size());
    for (int i = begin; i < end; ++i)
        if (x >= m_left[size_t(i)] && x < m_left[size_t(i)] + WidthOf(i))
            return &m_list->items[size_t(i)].link;
    return nullptr;
}

wxString CLinkListCell::ConvertToText(wxHtmlSelection*) const
{
    wxString text;
    for (size_t i = 0; i < m_list->items.size(); ++i) {
        if (i)
            text += m_list->separator;
        text += m_list->items[i].label;
    }
    return text;
}

void CLinkLists::Set(const wxString& name, std::vector<CLinkListCell::SItem> items, const wxString& separator)
{
    for (CLinkListCell::SItem& item : items)
        item.label = OneLine(item.label);
    auto list = std::make_shared<SList>();
    list->items = std::move(items);
    list->separator = separator;
    m_lists[name] = std::move(list);
}

std::shared_ptr<CLinkLists::SList> CLinkLists::Find(const wxString& name) const
{
    auto found = m_lists.find(name);
    return found == m_lists.end() ? nullptr : found->second;
}

void CLinkLists::UseFont(wxDC& dc, const wxFont& font)
{
    dc.SetFont(font);
    // A list's two fonts differ in the underline alone, which changes no
    // size, so one table serves both.
    wxString key = font.GetFaceName() << '/' << font.GetFractionalPointSize() << '/' << int(font.GetWeight())
                                      << '/' << int(font.GetStyle());
    if (key != m_measuredFont) {
        m_sizes.clear();
        m_measuredFont = key;
    }
}

std::pair<int, int> CLinkLists::Measure(wxDC& dc, const wxString& text)
{
    std::wstring key = text.ToStdWstring();
    auto found = m_sizes.find(key);
    if (found != m_sizes.end())
        return found->second;
    int width = 0, height = 0;
    dc.GetTextExtent(text, &width, &height);
    return m_sizes.emplace(std::move(key), std::make_pair(width, height)).first->second;
}

void RegisterLinkListTag()
{
    static CLinkListModule* module = nullptr;
    if (module)
        return;
    module = new CLinkListModule;
    wxHtmlWinParser::AddModule(module);
}
