#pragma once

#include <wx/html/htmlwin.h>
#include <wx/panel.h>

#include "client/view/HtmlText.h"
#include "client/view/LinkCommand.h"
#include "client/view/LinkListCell.h"

class CWebPanel;

// The browser control of a web panel: an HTML window whose every page load
// and link click passes the panel's navigation policy first.
class CWebPanelView : public wxHtmlWindow, public ILinkListWindow {
public:
    CWebPanelView(CWebPanel* panel, wxWindowID id);

    wxHtmlOpeningStatus OnOpeningURL(wxHtmlURLType type, const wxString& url, wxString* redirect) const override;
    void OnLinkClicked(const wxHtmlLinkInfo& link) override;

    // Loads an address that the policy has already let through.
    bool LoadApproved(const wxString& address);
    // Shows a page held in memory, its pictures found in folderPath.
    void ShowFromMemory(const wxString& html, const wxString& folderPath);

    CLinkLists& GetLinkLists() override { return m_linkLists; }

private:
    CWebPanel* m_panel;
    bool m_approved;
    CLinkLists m_linkLists;
};

// A panel showing the client's own pages, built from templates, written
// beside them and loaded from there so that their pictures resolve. Web
// and mail addresses open outside; "LNK " links run commands inside the
// client (see LinkCommand.h).
class CWebPanel : public wxPanel {
public:
    static constexpr int kBrowserId = 500;

    CWebPanel(wxWindow* parent, wxWindowID id);
    ~CWebPanel() override;

    // Loads a file path or address, letting exactly this load through.
    void LoadUrl(const Zorlin::CString& address);
    // A page built in memory: prepared, filled, written to this panel's own
    // page file and loaded.
    void ShowHtml(const CHtmlText& text);
    // A template of the language folder: filled, written as "_" + its name
    // beside it and loaded. False (the old page stays) when it cannot be read.
    bool ShowTemplate(const Zorlin::CString& name);

    // Called on every page before its final fill-in.
    virtual void PreparePage(CHtmlText& page);
    // Runs one link command; true lets the next command of the link run.
    virtual bool RunCommand(const CLinkWords& words);
    // After every resize; false lets the size event go on.
    virtual bool OnResize(int width, int height);

    // The navigation policy for one address: true lets the browser load it;
    // otherwise the address has been opened outside or its commands run.
    bool Navigate(const Zorlin::CString& address);
    // A click on a link, handled once the click's own event is over.
    void FollowLinkLater(const Zorlin::CString& href);

    wxHtmlWindow* GetBrowser() const { return m_view; }
    // What the pages' <linklist> elements show.
    CLinkLists& GetLinkLists() { return m_view->GetLinkLists(); }
    CHtmlVariables& GetVariables() { return m_variables; }
    const Zorlin::CString& GetLanguage() const { return m_language; }
    // "page.htm" for the first panel alive, "page2.htm" and so on for others,
    // so two panels never overwrite each other's page.
    const Zorlin::CString& GetPageFileName() const { return m_pageFile; }
    bool IsOwnNavigationPending() const { return m_ownNavigation; }

private:
    void OnSize(wxSizeEvent& event);
    void OnEraseBackground(wxEraseEvent&) {}
    void RunCommands(const Zorlin::CString& address);
    void RunMenu(const Zorlin::CString& name);
    void RunOpen(const Zorlin::CString& path, bool pgn);
    void RunExplore(const Zorlin::CString& folder);
    void RunSection(const Zorlin::CString& command, const Zorlin::CString& section);
    bool WriteAndLoad(const CHtmlText& text, const Zorlin::CString& fileName, bool inPageFolder);
    void FillVariables();

    CHtmlVariables m_variables;
    Zorlin::CString m_language;
    CWebPanelView* m_view;
    bool m_ownNavigation;
    int m_pageSlot;
    Zorlin::CString m_pageFile;

    wxDECLARE_EVENT_TABLE();
};

// The main frame as the parent of messages; null when there is none.
wxWindow* MainWindow();

// A user-folder path given by a link ("active games/x.rwg"), made a full
// disk path that cannot leave the user folder.
Zorlin::CString ResolveUserPath(const Zorlin::CString& relative);
