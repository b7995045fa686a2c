#pragma once

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <wx/font.h>
#include <wx/html/htmlcell.h>

class wxHtmlWinParser;
class CLinkLists;

// A long run of links in an HTML window as one cell: the page's
// <linklist name="..."></linklist> element stands for a list handed to the
// window beside the page (CLinkLists), each link followed by the same
// separator. The toolkit would parse markup for every link and make a cell
// of every word of every label, taking seconds over thousands of links;
// this cell lays out lines by arithmetic from widths measured once and
// draws only the lines in view. Lines break between links.
class CLinkListCell : public wxHtmlCell {
public:
    struct SItem {
        wxString label;
        wxHtmlLinkInfo link;
    };
    struct SList {
        std::vector<SItem> items;
        wxString separator;
    };

    // Takes the parser's current fonts, colours and alignment.
    CLinkListCell(wxHtmlWinParser& parser, std::shared_ptr<SList> list, CLinkLists& measure);

    void Layout(int width) override;
    void Draw(wxDC& dc, int x, int y, int viewTop, int viewBottom, wxHtmlRenderingInfo& info) override;
    wxHtmlLinkInfo* GetLink(int x = 0, int y = 0) const override;
    int GetMaxTotalWidth() const override { return m_oneLineWidth; }
    wxString ConvertToText(wxHtmlSelection*) const override;

    int GetCount() const { return int(m_list->items.size()); }
    const SItem& GetItem(int index) const { return m_list->items[size_t(index)]; }
    // Where a label stands, relative to the cell (after Layout).
    wxRect GetLabelRect(int index) const;

private:
    int LineOf(int index) const;

    int WidthOf(int index) const { return m_widths[size_t(index)]; }

    // Shared with the window's list, which a rebuild may replace meanwhile.
    std::shared_ptr<SList> m_list;
    std::vector<int> m_widths; // of each label
    std::vector<int> m_left; // x of each item on its line
    std::vector<int> m_lines; // the first item of each line
    wxFont m_linkFont;
    wxFont m_textFont;
    wxColour m_linkColour;
    wxColour m_textColour;
    int m_align;
    int m_separatorWidth;
    int m_lineHeight;
    int m_oneLineWidth;
};

// The lists a window's <linklist> elements show, by name, and the sizes of
// their labels: a page rebuilt with the same games measures none again.
class CLinkLists {
public:
    using SList = CLinkListCell::SList;

    // Labels are shown on one line: line breaks and tabs become blanks.
    void Set(const wxString& name, std::vector<CLinkListCell::SItem> items, const wxString& separator);
    void Clear() { m_lists.clear(); }
    std::shared_ptr<SList> Find(const wxString& name) const;

    // Sets the font on the DC for the Measure calls that follow.
    void UseFont(wxDC& dc, const wxFont& font);
    // Width and height of a text in that font, measured once a font.
    std::pair<int, int> Measure(wxDC& dc, const wxString& text);

private:
    std::map<wxString, std::shared_ptr<SList>> m_lists;
    wxString m_measuredFont;
    std::unordered_map<std::wstring, std::pair<int, int>> m_sizes;
};

// An HTML window that shows <linklist> elements holds their lists.
class ILinkListWindow {
public:
    virtual ~ILinkListWindow() = default;
    virtual CLinkLists& GetLinkLists() = 0;
};

// Makes HTML windows created from now on show <linklist> elements of an
// ILinkListWindow as one CLinkListCell. Safe to call more than once.
void RegisterLinkListTag();
