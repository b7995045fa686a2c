#pragma once

#include <vector>

#include <wx/font.h>
#include <wx/html/htmlcell.h>

class wxHtmlWinParser;

// A long run of links in an HTML window as one cell: the page's
// <linklist> element holds plain links, each followed by the same
// separator ("<a href=..>label</a> / <a ..>..</a>"). The toolkit would make
// a cell of every word of every label and take seconds over thousands of
// links; this cell measures each label once, lays out lines by arithmetic
// and draws only the lines in view. Lines break between links.
class CLinkListCell : public wxHtmlCell {
public:
    struct SItem {
        wxString label;
        wxHtmlLinkInfo link;
        int width = 0;
    };

    // Takes the parser's current fonts, colours and alignment.
    CLinkListCell(wxHtmlWinParser& parser, std::vector<SItem> items, const wxString& separator);

    void Layout(int width) override;
    void Draw(wxDC& dc, int x, int y, int viewTop, int viewBottom, wxHtmlRenderingInfo& info) override;
    wxHtmlLinkInfo* GetLink(int x = 0, int y = 0) const override;
    int GetMaxTotalWidth() const override { return m_oneLineWidth; }
    wxString ConvertToText(wxHtmlSelection*) const override;

    int GetCount() const { return int(m_items.size()); }
    const SItem& GetItem(int index) const { return m_items[size_t(index)]; }
    // Where a label stands, relative to the cell (after Layout).
    wxRect GetLabelRect(int index) const;

private:
    int LineOf(int index) const;

    mutable std::vector<SItem> m_items;
    std::vector<int> m_left; // x of each item on its line
    std::vector<int> m_lines; // the first item of each line
    wxString m_separator;
    wxFont m_linkFont;
    wxFont m_textFont;
    wxColour m_linkColour;
    wxColour m_textColour;
    int m_align;
    int m_separatorWidth;
    int m_lineHeight;
    int m_oneLineWidth;
};

// Makes HTML windows created from now on show <linklist> elements as one
// CLinkListCell. Safe to call more than once.
void RegisterLinkListTag();
