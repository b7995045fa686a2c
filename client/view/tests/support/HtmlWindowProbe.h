#pragma once
// Looks into a real wxHtmlWindow: the links it has laid out, their place on
// the window, and clicks on them as the mouse would make them. Header only.

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <wx/html/htmlcell.h>
#include <wx/html/htmlwin.h>

#include "client/view/LinkListCell.h"

namespace HtmlTest {

struct SLink {
    std::string href;
    wxHtmlCell* cell;
    // Where the link's label stands in the cell; the whole cell for a word.
    wxRect place;
    std::string label;
};

inline void CollectLinks(wxHtmlCell* cell, std::vector<SLink>& out)
{
    for (; cell; cell = cell->GetNext()) {
        // Words and pictures, not the containers around them.
        if (cell->GetFirstChild()) {
            CollectLinks(cell->GetFirstChild(), out);
        } else if (auto* list = dynamic_cast<CLinkListCell*>(cell)) {
            for (int i = 0; i < list->GetCount(); ++i)
                out.push_back({std::string(list->GetItem(i).link.GetHref().utf8_str()), cell, list->GetLabelRect(i),
                               std::string(list->GetItem(i).label.utf8_str())});
        } else if (wxHtmlLinkInfo* link = cell->GetLink()) {
            out.push_back({std::string(link->GetHref().utf8_str()), cell,
                           wxRect(0, 0, cell->GetWidth(), cell->GetHeight()), std::string()});
        }
    }
}

inline std::vector<SLink> Links(wxHtmlWindow* window)
{
    std::vector<SLink> links;
    if (window->GetInternalRepresentation())
        CollectLinks(window->GetInternalRepresentation(), links);
    return links;
}

inline bool HasLink(wxHtmlWindow* window, const std::string& href)
{
    for (const SLink& link : Links(window))
        if (link.href == href)
            return true;
    return false;
}

// Presses and releases the left button over the middle of the first cell
// of the link, in window coordinates, as the toolkit would deliver them.
inline bool ClickLink(wxHtmlWindow* window, const std::string& href)
{
    for (const SLink& link : Links(window)) {
        if (link.href != href)
            continue;
        wxPoint at = link.cell->GetAbsPos() + link.place.GetPosition();
        at.x += link.place.width / 2;
        at.y += link.place.height / 2;
        // Scrolled so that the link is in view, as the user would.
        int unitX = 1, unitY = 1;
        window->GetScrollPixelsPerUnit(&unitX, &unitY);
        int top = unitY > 0 ? std::max(0, at.y - 20) / unitY : 0;
        window->Scroll(0, top);
        int viewX = 0, viewY = 0;
        window->GetViewStart(&viewX, &viewY);
        at.y -= viewY * unitY;
        for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
            wxMouseEvent event(type);
            event.SetPosition(at);
            event.m_x = at.x;
            event.m_y = at.y;
            event.SetEventObject(window);
            window->GetEventHandler()->ProcessEvent(event);
        }
        return true;
    }
    return false;
}

inline std::string PageText(wxHtmlWindow* window)
{
    return std::string(window->ToText().utf8_str());
}

inline std::string OpenedPage(wxHtmlWindow* window)
{
    return std::string(window->GetOpenedPage().utf8_str());
}

} // namespace HtmlTest
