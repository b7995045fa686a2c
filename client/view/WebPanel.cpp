#include "client/view/WebPanel.h"

#include <set>

#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/log.h>
#include <wx/sysopt.h>

#include "client/core/AppServices.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/HtmlText.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/view/LinkListCell.h"
#include "client/view/NavigationPolicy.h"
#include "client/view/ViewHost.h"
#include "foundation/AutoDirectory.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using namespace Zorlin;

namespace {

// Page file slots of the panels alive; slot 1 writes "page.htm".
std::set<int>& PageSlots()
{
    static std::set<int> slots;
    return slots;
}

int TakePageSlot()
{
    int slot = 1;
    while (PageSlots().count(slot))
        ++slot;
    PageSlots().insert(slot);
    return slot;
}

CString PageFileName(int slot)
{
    if (slot == 1)
        return "page.htm";
    CString name("page");
    name.Append(slot);
    name.Append(".htm");
    return name;
}

wxString FileUrl(const CString& diskPath)
{
    return wxFileSystem::FileNameToURL(wxFileName(ToWx(diskPath)));
}

CString FullPathOf(CDrive& drive, const CString& name)
{
    CURL url(name);
    drive.GetFullPath(url, nullptr);
    return url;
}

// A page as its file holds it. The HTML window reads a page file as Latin-1
// unless the page names its character set: the file is written as UTF-8
// (text that is no UTF-8 taken as Latin-1, as everywhere at the toolkit)
// and says so.
CHtmlText PageFileText(const CHtmlText& text)
{
    if (text.IsEmpty() || text.NamesCharset())
        return text;
    CHtmlText page(FromWx(ToWx(text)));
    page.DeclareCharset("utf-8");
    return page;
}

// A section name as the settings keys hold it: one plain name, no frames.
bool IsSectionName(const CString& name)
{
    return CURL::IsPlainName(name) && !name.Find('.', nullptr);
}

} // namespace

wxWindow* MainWindow()
{
    CFrameView* frame = GetAppServices().GetFrameView();
    return frame ? frame->GetWindow() : nullptr;
}

// ---------------------------------------------------------------- view

CWebPanelView::CWebPanelView(CWebPanel* panel, wxWindowID id)
    : wxHtmlWindow(panel, id, wxDefaultPosition, wxDefaultSize, wxHW_SCROLLBAR_AUTO, "panel"),
      m_panel(panel), m_approved(false)
{
}

wxHtmlOpeningStatus CWebPanelView::OnOpeningURL(wxHtmlURLType type, const wxString& url, wxString*) const
{
    CString address = FromWx(url);
    if (type != wxHTML_URL_PAGE)
        return IsOutsideAddress(address) ? wxHTML_BLOCK : wxHTML_OPEN;
    if (m_approved)
        return wxHTML_OPEN;
    return m_panel->Navigate(address) ? wxHTML_OPEN : wxHTML_BLOCK;
}

void CWebPanelView::OnLinkClicked(const wxHtmlLinkInfo& link)
{
    m_panel->FollowLinkLater(FromWx(link.GetHref()));
}

bool CWebPanelView::LoadApproved(const wxString& address)
{
    wxLogNull quiet;
    m_approved = true;
    bool ok = LoadPage(address);
    m_approved = false;
    return ok;
}

void CWebPanelView::ShowFromMemory(const wxString& html, const wxString& folderPath)
{
    wxLogNull quiet;
    m_FS->ChangePathTo(folderPath, true);
    SetPage(html);
}

// ---------------------------------------------------------------- panel

wxBEGIN_EVENT_TABLE(CWebPanel, wxPanel)
    EVT_SIZE(CWebPanel::OnSize)
    EVT_ERASE_BACKGROUND(CWebPanel::OnEraseBackground)
wxEND_EVENT_TABLE()

CWebPanel::CWebPanel(wxWindow* parent, wxWindowID id)
    : wxPanel(parent, id, wxDefaultPosition, wxDefaultSize, 0, "panel"),
      m_view(nullptr), m_ownNavigation(false), m_pageSlot(TakePageSlot())
{
    // The system's type table may call .htm files XHTML, which the HTML
    // window would show as plain text; its built-in table knows better.
    wxSystemOptions::SetOption("filesys.no-mimetypesmanager", 1);
    m_pageFile = PageFileName(m_pageSlot);
    FillVariables();
    RegisterLinkListTag();
    m_view = new CWebPanelView(this, kBrowserId);
}

CWebPanel::~CWebPanel()
{
    PageSlots().erase(m_pageSlot);
}

void CWebPanel::FillVariables()
{
    CConfig& user = GetAppServices().GetUserSettings();
    m_variables["VERSION_MAJOR"] = "1";
    m_variables["VERSION_MINOR"] = "24";
    m_variables["VERSION_SUB"] = "Lite";
    m_variables["BUILD_DATE"] = __DATE__;
    m_variables["username"] = EscapeHtml(user.GetValueOr("profile.name", ""));
    m_language = ::GetLanguage(user);
}

void CWebPanel::LoadUrl(const CString& address)
{
    wxString url = ToWx(address);
    if (address.GetLength() > 0 && address[0] == '/')
        url = FileUrl(address);
    wxLogNull quiet;
    m_ownNavigation = true;
    m_view->LoadPage(url);
    // The load is synchronous: whatever it did with the flag, the next
    // navigation is the user's.
    m_ownNavigation = false;
}

void CWebPanel::ShowHtml(const CHtmlText& text)
{
    CDrive& drive = GetAppServices().GetProgramDrive();
    CAutoDirectory folder(drive, GetHtmlFolder(m_language).GetText());
    CHtmlText page(text);
    PreparePage(page);
    page.ExpandVariables(m_variables, true);
    // The players' pictures are kept in the user folder (CGame::WritePlayerPictures).
    CDrive& user = GetAppServices().GetUserDrive();
    page.ReplaceAll("white.bmp", FromWx(FileUrl(FullPathOf(user, PlayerPictureName(true)))).GetText());
    page.ReplaceAll("black.bmp", FromWx(FileUrl(FullPathOf(user, PlayerPictureName(false)))).GetText());
    WriteAndLoad(page, m_pageFile, folder.Succeeded());
}

bool CWebPanel::ShowTemplate(const CString& name)
{
    CURL path(name);
    CString folderPart, fileName;
    path.GetDirectory(folderPart);
    path.GetFileName(fileName);
    CDrive& drive = GetAppServices().GetProgramDrive();
    CAutoDirectory folder(drive, (GetHtmlFolder(m_language) + folderPart).GetText());
    if (!folder)
        return false;
    CAutoPointer<CFile> file = drive.OpenFile(CURL(fileName), CFile::kModeRead);
    if (!file->IsOpen())
        return false;
    CHtmlText page;
    page.LoadFile(*file);
    file.Delete();
    PreparePage(page);
    page.ExpandVariables(m_variables, true);
    return WriteAndLoad(page, CString("_") + fileName, true);
}

bool CWebPanel::WriteAndLoad(const CHtmlText& text, const CString& fileName, bool inPageFolder)
{
    CDrive& drive = GetAppServices().GetProgramDrive();
    bool written = false;
    if (inPageFolder) {
        CHtmlText page = PageFileText(text);
        CAutoPointer<CFile> file = drive.OpenFile(CURL(fileName), CFile::kModeWrite | CFile::kModeCreate);
        written = file->IsOpen() && (page.IsEmpty() || file->WriteString(page));
    }
    // A page kept in the user's own folder lies apart from the pictures
    // beside its template, so it is shown with the template's folder.
    Zorlin::CDiskDrive* disk = dynamic_cast<Zorlin::CDiskDrive*>(&drive);
    const bool apart = disk && !disk->GetOwnFolder().IsEmpty();
    CString fullPath = FullPathOf(drive, fileName);
    if (written && !apart) {
        m_ownNavigation = true;
        LoadUrl(fullPath);
        return true;
    }
    // No language folder, or one we may not write to: show the page from
    // memory instead.
    CString folderPath = apart ? disk->RootPath(CURL(".")) : FullPathOf(drive, ".");
    if (folderPath.GetLength() > 1 && folderPath[folderPath.GetLength() - 1] == '/')
        folderPath = folderPath.Mid(0, folderPath.GetLength() - 2);
    m_view->ShowFromMemory(ToWx(text), FileUrl(folderPath + "/"));
    return true;
}

void CWebPanel::PreparePage(CHtmlText&) {}

bool CWebPanel::OnResize(int, int)
{
    return false;
}

void CWebPanel::OnSize(wxSizeEvent& event)
{
    wxSize size = GetClientSize();
    if (m_view)
        m_view->SetSize(0, 0, size.x, size.y);
    if (!OnResize(size.x, size.y))
        event.Skip();
}

bool CWebPanel::Navigate(const CString& address)
{
    switch (DecideNavigation(address, m_ownNavigation)) {
    case ENavigation::Allow:
        return true;
    case ENavigation::OpenOutside:
        GetViewHost().OpenUrl(address);
        return false;
    case ENavigation::RunCommands:
        RunCommands(address);
        return false;
    }
    return false;
}

void CWebPanel::FollowLinkLater(const CString& href)
{
    // The click's cell goes when a command rebuilds the page, so the
    // command runs after the click has been handled.
    CallAfter([this, href]() {
        if (Navigate(href))
            m_view->LoadApproved(ToWx(href));
    });
}

void CWebPanel::RunCommands(const CString& address)
{
    for (const CLinkWords& words : ParseCommandLink(address))
        if (!RunCommand(words))
            break;
}

bool CWebPanel::RunCommand(const CLinkWords& words)
{
    if (words.GetCount() < 2)
        return true;
    CString command(*words.GetAt(0));
    command.MakeLower();
    const CString& argument = *words.GetAt(1);
    if (command == "menu")
        RunMenu(argument);
    else if (command == "open")
        RunOpen(argument, false);
    else if (command == "pgn")
        RunOpen(argument, true);
    else if (command == "explore")
        RunExplore(argument);
    else if (command == "expand" || command == "reduce" || command == "close")
        RunSection(command, argument);
    return true;
}

void CWebPanel::RunMenu(const CString& name)
{
    GetViewHost().ExecuteCommand(name);
}

void CWebPanel::RunOpen(const CString& path, bool pgn)
{
    CString fullPath = ResolveUserPath(path);
    CViewHost& host = GetViewHost();
    if (!host.QueryCloseGame())
        return;
    if (pgn)
        host.OpenPgnFile(fullPath);
    else
        host.OpenGameFile(fullPath);
}

void CWebPanel::RunExplore(const CString& folder)
{
    GetViewHost().ExploreFolder(ResolveUserPath(folder));
}

void CWebPanel::RunSection(const CString& command, const CString& section)
{
    if (!IsSectionName(section))
        return;
    CViewHost& host = GetViewHost();
    CConfig& user = GetAppServices().GetUserSettings();
    if (command == "expand" || command == "reduce") {
        user.GetValue(CString("preferences.browser.expanded.") + section) = command == "expand" ? "yes" : "no";
        host.RebuildBrowser(false);
        return;
    }
    wxWindow* frame = MainWindow();
    if (!GetPrompt().AskYesNo("Remove this section from the browser view?", "Remove Section", frame))
        return;
    user.GetValue(CString("preferences.browser.active.") + section) = "no";
    host.RebuildBrowser(false);
    GetPrompt().ShowMessage("To re-display this section, check its entry in the 'Browser' page\n of the Preferences dialog.",
                            "Section Removed", wxOK | wxICON_INFORMATION, frame);
}

CString ResolveUserPath(const CString& relative)
{
    CURL url(CString("/") + relative);
    GetAppServices().GetUserDrive().GetFullPath(url, nullptr);
    return url;
}
