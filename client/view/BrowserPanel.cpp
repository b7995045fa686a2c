#include "client/view/BrowserPanel.h"

#include <algorithm>

#include "client/core/AppServices.h"
#include "client/core/PlayedGames.h"
#include "client/core/Version.h"
#include "client/core/WxText.h"
#include "client/view/ViewHost.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using namespace Zorlin;

namespace {

const char* const kLayout = "layout2.htm";

bool SameList(const std::pair<const std::string, std::vector<CBrowserPage::SLink>>& a,
              const std::pair<const std::string, std::vector<CBrowserPage::SLink>>& b)
{
    auto same = [](const CBrowserPage::SLink& x, const CBrowserPage::SLink& y) {
        return x.href == y.href && x.label == y.label;
    };
    return a.first == b.first &&
           std::equal(a.second.begin(), a.second.end(), b.second.begin(), b.second.end(), same);
}

} // namespace

CBrowserPanel::CBrowserPanel(wxWindow* parent, wxWindowID id) : CWebPanel(parent, id)
{
    CAppServices& app = GetAppServices();
    CDrive& drive = app.GetProgramDrive();
    {
        CAutoDirectory folder(drive, GetHtmlFolder(GetLanguage()).GetText());
        if (folder)
            m_page.LoadTemplates(drive);
    }
    m_page.AdvanceTip(app.GetUserSettings(), app.GetProgramSettings());
    ListActiveGames();
    ListPlayedGames();
    ReadLiveContent();
    ShowTemplate(kLayout);
}

CBrowserPanel::~CBrowserPanel() = default;

void CBrowserPanel::ReadLiveContent()
{
    GetViewHost().ReloadLiveContent();
    m_version.Clear();
    CAutoPointer<CFile> file = GetAppServices().GetProgramDrive().OpenFile(CURL("/live content/version.cfg"),
                                                                             CFile::kModeRead);
    if (file->IsOpen())
        m_version.Read(*file);
}

void CBrowserPanel::Rebuild(bool reloadLiveContent)
{
    // A long-time user's page takes its time; nobody waits for a hidden one.
    if (!IsShown()) {
        m_pending = true;
        m_pendingReload = m_pendingReload || reloadLiveContent;
        return;
    }
    m_pending = m_pendingReload = false;
    if (reloadLiveContent)
        ReadLiveContent();
    ShowTemplate(kLayout);
}

bool CBrowserPanel::Show(bool show)
{
    bool changed = CWebPanel::Show(show);
    if (show && m_pending)
        Rebuild(m_pendingReload);
    return changed;
}

void CBrowserPanel::ListActiveGames()
{
    m_page.ListActiveGames(GetAppServices().GetUserDrive(),
                           GetAppServices().GetUserSettings().GetValueOr(".profile.id", ""));
}

void CBrowserPanel::ListPlayedGames()
{
    m_page.ListPlayedGames(GetAppServices().GetUserDrive());
}

void CBrowserPanel::ShowPlayedGames()
{
    m_page.ShowPlayedGames(GetPlayedGames());
}

void CBrowserPanel::PreparePage(CHtmlText& page)
{
    CAppServices& app = GetAppServices();
    CBrowserPage::SSources sources;
    sources.user = &app.GetUserSettings();
    sources.program = &app.GetProgramSettings();
    sources.live = &GetViewHost().GetLiveContent();
    sources.version = &m_version;
    sources.newerVersion = IsNewerVersion(m_version);
    CURL folder("/");
    app.GetUserDrive().GetFullPath(folder, nullptr);
    sources.userFolder = folder;
    m_page.Prepare(page, sources);
    HandOverLinkLists();
}

void CBrowserPanel::HandOverLinkLists()
{
    // Rebuilds mostly show the same lists: nothing to convert or measure again.
    const auto& now = m_page.GetLinkLists();
    if (std::equal(now.begin(), now.end(), m_handedOver.begin(), m_handedOver.end(), SameList))
        return;
    m_handedOver = now;
    CLinkLists& lists = GetLinkLists();
    lists.Clear();
    for (const auto& [name, links] : m_page.GetLinkLists()) {
        std::vector<CLinkListCell::SItem> items(links.size());
        for (size_t i = 0; i < links.size(); ++i) {
            items[i].label = ToWx(links[i].label);
            items[i].link = wxHtmlLinkInfo(ToWx(links[i].href));
        }
        lists.Set(wxString::FromUTF8(name), std::move(items), CBrowserPage::kLinkSeparator);
    }
}
