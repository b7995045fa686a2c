#pragma once

#include "client/view/BrowserPage.h"
#include "client/view/WebPanel.h"
#include "foundation/Config.h"

// The frame's "Browser" view: the start page of CBrowserPage shown in a web
// panel, rebuilt whenever something it shows may have changed.
class CBrowserPanel : public CWebPanel {
public:
    CBrowserPanel(wxWindow* parent, wxWindowID id);
    ~CBrowserPanel() override;

    // Rebuilds the page; with reload, first re-reads the live content and
    // the version file (link commands rebuild without). While the panel is
    // hidden (a game ends on the board) the rebuild waits for its showing.
    void Rebuild(bool reloadLiveContent);
    bool Show(bool show = true) override;
    bool IsRebuildPending() const { return m_pending; }
    void ListActiveGames();
    void ListPlayedGames();
    // Shows the shared played-games list as it stands (a game was added).
    void ShowPlayedGames();

    void PreparePage(CHtmlText& page) override;

    const CBrowserPage& GetPage() const { return m_page; }

private:
    void ReadLiveContent();
    // The page's long game lists go to the window beside the page.
    void HandOverLinkLists();

    CBrowserPage m_page;
    Zorlin::CConfig m_version;
    bool m_pending = false;
    bool m_pendingReload = false;
    // The lists the window holds now.
    std::map<std::string, std::vector<CBrowserPage::SLink>> m_handedOver;
};
