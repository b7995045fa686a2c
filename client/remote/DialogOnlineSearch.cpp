#include "client/remote/DialogOnlineSearch.h"

#include <cmath>
#include <strings.h>

#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/html/htmlwin.h>
#include <wx/stattext.h>
#include <wx/uri.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/Console.h"
#include "client/core/Launch.h"
#include "client/core/MediaSet.h"
#include "client/core/ProfileArchive.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/NewPlayerAlert.h"
#include "client/remote/GridmoorSession.h"
#include "client/remote/OnlineGameStart.h"
#include "client/remote/OnlinePreferencesDialog.h"
#include "client/remote/OnlineSearchSettingsDialog.h"
#include "client/remote/OpponentStore.h"
#include "client/remote/PacketHeader.h"
#include "client/view/Globe.h"
#include "client/view/HtmlText.h"
#include "foundation/AtomicFile.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/MemFile.h"
#include "foundation/OutputStream.h"
#include "foundation/URL.h"
#include "foundation/NameText.h"

using Zorlin::CAutoPointer;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace {

const int kMatchTimeoutMs = 30000;
const int kBeginWaitMs = 20000;

CConfig& User()
{
    return GetAppServices().GetUserSettings();
}

bool Is(const CString& text, const char* what)
{
    return strcasecmp(text.GetText(), what) == 0;
}

// The page view: links go to the dialog; the only picture it loads besides
// the page's own is the opponent's, from the program folder.
class CSearchPageView : public wxHtmlWindow {
public:
    CSearchPageView(CDialogOnlineSearch* dialog, wxWindowID id)
        : wxHtmlWindow(dialog, id, wxDefaultPosition, wxSize(320, 200), wxHW_SCROLLBAR_AUTO, "htmlWindow"),
          m_dialog(dialog)
    {
    }
    void OnLinkClicked(const wxHtmlLinkInfo& link) override
    {
        const CString target = FromWx(link.GetHref());
        // Handled once the click is over: a link may end the dialog.
        CallAfter([this, target] { m_dialog->OnLinkClicked(target); });
    }
    wxHtmlOpeningStatus OnOpeningURL(wxHtmlURLType type, const wxString& url, wxString* redirect) const override
    {
        if (type != wxHTML_URL_IMAGE)
            return wxHTML_BLOCK;
        const wxString picture = wxFileSystem::FileNameToURL(wxFileName(ToWx(m_dialog->GetOpponentPicturePath())));
        if (url == "opponent.bmp") {
            if (!wxFileName::FileExists(wxFileSystem::URLToFileName(picture).GetFullPath()))
                return wxHTML_BLOCK;
            *redirect = picture;
            return wxHTML_REDIRECT;
        }
        // The view asks again with the redirect unescaped.
        const bool ours = url == picture || url == wxURI(picture).BuildUnescapedURI();
        return ours || !url.Contains(":") ? wxHTML_OPEN : wxHTML_BLOCK;
    }

private:
    CDialogOnlineSearch* m_dialog;
};

// A batch on the session's output: everything inside leaves in one write.
class CBatch {
public:
    explicit CBatch(CGridmoorSession& session) : m_out(session.GetOutput()) { m_out.Begin(); }
    ~CBatch() { m_out.End(); }

private:
    Zorlin::COutputStream& m_out;
};

} // namespace

class CSearchListener : public CSessionListener {
public:
    explicit CSearchListener(CDialogOnlineSearch* dialog) : m_dialog(dialog) {}
    // The session deletes a replaced listener; the dialog must not use it then.
    ~CSearchListener() override
    {
        if (m_dialog)
            m_dialog->OnListenerGone();
    }
    void OnSessionState(int state) override
    {
        if (m_dialog)
            m_dialog->OnSessionState(state);
    }
    bool OnPacket(const CPacketHeader& header, CFile& body) override
    {
        return m_dialog ? m_dialog->OnPacket(header, body) : true;
    }
    CDialogOnlineSearch* m_dialog;
};

wxBEGIN_EVENT_TABLE(CDialogOnlineSearch, wxDialog)
    EVT_CLOSE(CDialogOnlineSearch::OnClose)
    EVT_BUTTON(ID_SEARCH_CANCEL, CDialogOnlineSearch::OnCloseButton)
    EVT_BUTTON(ID_SEARCH_FIND, CDialogOnlineSearch::OnFind)
    EVT_BUTTON(ID_SEARCH_HELP, CDialogOnlineSearch::OnHelp)
    EVT_TIMER(CDialogOnlineSearch::kSearchTimer, CDialogOnlineSearch::OnSearchTick)
    EVT_TIMER(CDialogOnlineSearch::kBeginTimer, CDialogOnlineSearch::OnBeginTick)
    EVT_TIMER(CDialogOnlineSearch::kTimeoutTimer, CDialogOnlineSearch::OnTimeout)
    EVT_INIT_DIALOG(CDialogOnlineSearch::OnInitDialog)
wxEND_EVENT_TABLE()

CDialogOnlineSearch::CDialogOnlineSearch(wxWindow* parent, int id, CGridmoorSession* session)
    : wxDialog(parent, id, "Find An Opponent Online", wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX),
      m_session(session), m_listener(new CSearchListener(this)), m_globe(nullptr), m_view(nullptr), m_peer(0),
      m_first(false), m_begunSent(false), m_begunReceived(false), m_searchPending(false), m_connectedAtOpen(false),
      m_closing(false), m_everConnected(false), m_searchTimer(this, kSearchTimer), m_beginTimer(this, kBeginTimer),
      m_timeoutTimer(this, kTimeoutTimer)
{
    m_session->ArmPlayerNotify(false);
    m_session->SetListener(m_listener);
    m_globe = new CGlobe(this, ID_SEARCH_GLOBE, wxDefaultPosition, wxSize(100, 100));
    m_globe->SetFrameRate(40);
    m_view = new CSearchPageView(this, ID_SEARCH_PAGE);
    for (const char* page : {"search", "searching", "searchfail", "noconnect", "found", "disconnected"})
        GetPage(page);
    ShowPage("front");
    OnlineSearchLayout(this, true, true);
    SetAppIcon(this);
    Centre(wxBOTH);
    OnlineSearch::SetDefaults(User());
    m_connectedAtOpen = m_session->IsConnected();
    m_everConnected = m_connectedAtOpen;
}

CDialogOnlineSearch::~CDialogOnlineSearch()
{
    m_searchTimer.Stop();
    m_beginTimer.Stop();
    m_timeoutTimer.Stop();
    // The session may outlive the dialog with its listener still in place.
    if (m_listener) {
        m_listener->m_dialog = nullptr;
        if (m_session->GetListener() == m_listener)
            m_session->SetListener(nullptr);
    }
}

void CDialogOnlineSearch::OnListenerGone()
{
    m_listener = nullptr;
}

void CDialogOnlineSearch::OnInitDialog(wxInitDialogEvent& event)
{
    event.Skip();
    // The session's traffic stays readable behind the search.
    if (CConsole* log = m_session->GetLog())
        log->EnableBesideModals();
}

const CString& CDialogOnlineSearch::GetPage(const char* name)
{
    auto found = m_pages.find(name);
    if (found != m_pages.end())
        return found->second;
    CHtmlText text;
    const CString path = GetHtmlFolder(GetLanguage(User())) + "search/" + name + ".htm";
    LoadTemplate(GetAppServices().GetProgramDrive(), path.GetText(), text);
    return m_pages[name] = text;
}

void CDialogOnlineSearch::ShowPage(const char* name)
{
    m_view->SetPage(ToWx(GetPage(name)));
}

void CDialogOnlineSearch::ShowOpponent(bool begin)
{
    CHtmlText page = GetPage(begin ? "showopponentbegin" : "showopponent");
    CHtmlVariables values;
    OnlineSearch::OpponentPageValues(m_opponentProfile, m_terms, values);
    page.ExpandVariables(values, true);
    WriteOpponentPicture();
    m_view->SetPage(ToWx(page));
}

// The page's "opponent.bmp" is a file of the program folder. Where it cannot
// be written (a read-only install) the page shows the no-photo picture, not
// the one an earlier opponent left there.
void CDialogOnlineSearch::WriteOpponentPicture()
{
    Zorlin::CDrive& drive = GetAppServices().GetProgramDrive();
    CURL picture("/opponent.bmp");
    drive.GetFullPath(picture, "");
    const size_t size = m_opponentPicture.GetSize();
    if (size > 0 && Zorlin::WriteFileAtomically(picture, m_opponentPicture.GetData(), size)) {
        m_picturePath = picture;
        return;
    }
    m_session->LogLine((CString("Opponent picture not written: ") + Zorlin::EscapeForLog(picture)).GetText());
    CURL none("/assets/images/misc/nophoto.bmp");
    drive.GetFullPath(none, "");
    m_picturePath = none;
}

void CDialogOnlineSearch::SetStatus(const wxString& text)
{
    if (wxStaticText* label = dynamic_cast<wxStaticText*>(FindWindow(ID_SEARCH_TITLE)))
        label->SetLabel(text);
}

void CDialogOnlineSearch::Beep()
{
    wxBell();
}

void CDialogOnlineSearch::EnableButtons(bool on)
{
    for (int id : {ID_SEARCH_FIND, ID_SEARCH_CANCEL, ID_SEARCH_HINT})
        if (wxWindow* w = FindWindow(id))
            w->Enable(on);
}

void CDialogOnlineSearch::RestartTimeout(int ms)
{
    m_timeoutTimer.Stop();
    m_timeoutTimer.StartOnce(ms);
}

void CDialogOnlineSearch::Begin()
{
    if (!m_session->IsConnected()) {
        ShowPage("connecting");
        EnableButtons(false);
        m_globe->Start();
        m_session->ConnectToServer();
    } else if (CGridmoorSession::TakeStartSearchAtOnce()) {
        StartSearch();
    }
}

// ------------------------------------------------------------ session

void CDialogOnlineSearch::OnSessionState(int state)
{
    switch (state) {
    case CSessionListener::kIdle:
        SetStatus("Gridmoor");
        break;
    case CSessionListener::kConnecting:
        m_everConnected = false;
        SetStatus("Contacting server...");
        break;
    case CSessionListener::kConnected:
        m_everConnected = true;
        SetStatus("Logging in...");
        break;
    case CSessionListener::kLoggedIn:
        if (!m_searchPending) {
            SetStatus("Logged in OK");
            m_session->SendProfile();
            EnableButtons(true);
            m_globe->Stop();
            m_searchTimer.Stop();
            ShowPage("front");
        } else {
            SetStatus("Sending search...");
            m_session->SendProfile();
            SendSearch();
        }
        break;
    case CSessionListener::kDisconnected:
        SetStatus(m_everConnected ? "Disconnected" : "Cannot find server");
        EnableButtons(true);
        m_globe->Stop();
        m_searchTimer.Stop();
        ShowPage(m_everConnected ? "disconnected" : m_searchPending ? "noconnect" : "nologin");
        if (!m_closing)
            Beep();
        m_beginTimer.Stop();
        m_timeoutTimer.Stop();
        m_searchPending = false;
        ClearMatch();
        m_peer = 0;
        break;
    default:
        break;
    }
}

bool CDialogOnlineSearch::OnPacket(const CPacketHeader& header, CFile& body)
{
    switch (header.m_type) {
    case pktSearchMatch:
        OnSearchMatch(header, body);
        break;
    case pktSearching:
        OnSearching();
        break;
    case pktConnectInvite:
        OnConnectInvite(header);
        break;
    case pktConnectFailed:
        OnConnectFailed();
        break;
    case pktConnectionClosed:
    case pktConnectionBroken:
        OnOpponentLeft();
        break;
    case pktForward:
        OnForward(header, body);
        break;
    default:
        break;
    }
    return true;
}

// ------------------------------------------------------------ search

void CDialogOnlineSearch::StartSearch()
{
    ShowPage("searching");
    EnableButtons(false);
    m_globe->Start();
    m_searchPending = true;
    if (m_session->ConnectToServer()) {
        CBatch batch(*m_session);
        SendSearch();
    }
}

void CDialogOnlineSearch::SendSearch()
{
    OnlineSearch::WriteSettings(m_session->StartPacket(pktSet), User(), m_session->GetClientId());
    m_session->SendStarted();
    const uint32_t exclude = OnlineSearch::TakeExclusion(CGridmoorSession::GetLastOpponentId());
    OnlineSearch::WriteRequest(m_session->StartPacket(pktSearch), exclude);
    m_session->SendStarted();
}

void CDialogOnlineSearch::OnSearching()
{
    m_searchTimer.Start(100);
    m_searchWatch.Start();
    SetStatus("Searching... 60.0");
}

void CDialogOnlineSearch::OnSearchTick(wxTimerEvent&)
{
    double remaining = kSearchSeconds - m_searchWatch.Time() * 0.001;
    if (remaining < 0.0)
        remaining = 0.0;
    SetStatus(wxString::Format("Searching... %.01f", remaining));
    if (remaining > 0.0)
        return;
    m_searchTimer.Stop();
    m_timeoutTimer.Stop();
    EnableButtons(true);
    m_globe->Stop();
    m_searchPending = false;
    SetStatus("No Results");
    ShowPage("searchfail");
}

void CDialogOnlineSearch::CancelSearch()
{
    m_searchTimer.Stop();
    m_beginTimer.Stop();
    m_timeoutTimer.Stop();
    {
        CBatch batch(*m_session);
        if (m_searchPending && m_session->IsConnected()) {
            OnlineSearch::WriteCancel(m_session->StartPacket(pktSearch));
            m_session->SendStarted();
            m_searchPending = false;
        }
        if (m_session->IsConnected() && m_peer != 0) {
            m_session->SendHeaderOnly(pktCloseConnection, m_peer);
            m_peer = 0;
        }
    }
    m_searchPending = false;
    ClearMatch();
    m_peer = 0;
    EnableButtons(true);
    m_globe->Stop();
    SetStatus("Gridmoor");
}

void CDialogOnlineSearch::ClearMatch()
{
    m_first = false;
    m_terms = SMatchTerms();
    m_begunSent = false;
    m_begunReceived = false;
    m_profileReceived = false;
    m_opponentProfile.Clear();
    m_opponentPicture.Resize(0);
}

// ------------------------------------------------------------ match

void CDialogOnlineSearch::OnSearchMatch(const CPacketHeader& header, CFile& body)
{
    // Only an answer to a search of ours, and one peer at a time.
    if (!m_searchPending || m_peer != 0 || header.m_id == 0) {
        if (header.m_id != 0 && header.m_id != m_peer)
            m_session->SendHeaderOnly(pktCloseConnection, header.m_id);
        return;
    }
    ShowPage("found");
    SetStatus("Retrieving details...");
    m_searchTimer.Stop();
    m_timeoutTimer.Stop();
    CSearchTable peer;
    OnlineSearch::ReadMatch(body, m_first, peer);
    m_peer = header.m_id;
    m_terms = OnlineSearch::NegotiateGame(OnlineSearch::ReadOwnSearch(User()), peer, OnlineSearch::RandomBit);
    CString line;
    line.AppendFormat("Matched with %u (%s): own terms %s, %s, %i s", unsigned(m_peer), m_first ? "first" : "second",
                      m_terms.side == 0 ? "white" : "black", m_terms.timed ? "timed" : "untimed", m_terms.clock);
    m_session->LogLine(line.GetText());
    SendProfileAndProposal();
    OnlineSearch::OnMatched();
    RestartTimeout(kMatchTimeoutMs);
}

void CDialogOnlineSearch::SendProfileAndProposal()
{
    CMemFile archive;
    archive.Open(CString("gridmoorprofile.rwf"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    const bool built = OnlineSearch::WriteProfile(archive, User(), GetAppServices().GetUserDrive());
    CBatch batch(*m_session);
    if (m_first) {
        CFile& out = m_session->StartPacket(pktRequestForward, m_peer);
        OnlineSearch::WriteU32(out, OnlineSearch::kProposalMessage);
        OnlineSearch::WriteProposal(out, m_terms);
        m_session->SendStarted();
    }
    if (!built || !archive.Seek(0, CFile::kSeekStart))
        return;
    CFile& out = m_session->StartPacket(pktRequestForward, m_peer);
    OnlineSearch::WriteU32(out, OnlineSearch::kProfileMessage);
    const uint32_t size = archive.GetSize32();
    std::string bytes(size, '\0');
    if (size > 0 && archive.Read(&bytes[0], size))
        out.Write(bytes.data(), size);
    m_session->SendStarted();
}

void CDialogOnlineSearch::OnConnectInvite(const CPacketHeader& header)
{
    const bool ours = m_searchPending && m_peer != 0 && header.m_id == m_peer;
    m_session->SendHeaderOnly(ours ? pktConnectAccepted : pktConnectRejected, header.m_id);
}

void CDialogOnlineSearch::OnConnectFailed()
{
    m_searchTimer.Stop();
    m_beginTimer.Stop();
    m_timeoutTimer.Stop();
    m_searchPending = false;
    ClearMatch();
    CancelSearch();
    EnableButtons(true);
    ShowPage("connectfail");
    Beep();
}

void CDialogOnlineSearch::OnOpponentLeft()
{
    if (m_peer == 0)
        return;
    m_searchTimer.Stop();
    m_beginTimer.Stop();
    m_timeoutTimer.Stop();
    m_searchPending = false;
    ClearMatch();
    m_peer = 0;
    CancelSearch();
    EnableButtons(true);
    ShowPage("opponentleft");
    Beep();
}

void CDialogOnlineSearch::OnForward(const CPacketHeader& header, CFile& body)
{
    // Only the matched client speaks to us here.
    if (m_peer == 0 || header.m_id != m_peer) {
        if (header.m_id != 0)
            m_session->SendHeaderOnly(pktCloseConnection, header.m_id);
        return;
    }
    uint32_t type = 0;
    if (!OnlineSearch::ReadU32(body, type))
        return;
    m_session->LogLine((CString("CDialogOnlineSearch ChPacket ") + OnlineSearch::MessageName(type)).GetText());
    switch (type) {
    case OnlineSearch::kProfileMessage:
        OnOpponentProfile(body);
        break;
    case OnlineSearch::kProposalMessage:
        OnGameProposal(body);
        break;
    case OnlineSearch::kBeginMessage:
        m_timeoutTimer.Stop();
        m_begunReceived = true;
        if (m_begunSent)
            StartGame();
        break;
    default:
        break;
    }
}

void CDialogOnlineSearch::OnOpponentProfile(CFile& body)
{
    // One profile a match: each would restart the begin countdown, so a
    // peer repeating it could hold the game off for ever.
    if (m_profileReceived) {
        m_session->LogLine("Profile ignored: the opponent's profile has already come");
        return;
    }
    RestartTimeout(kMatchTimeoutMs);
    CMemFile archive;
    archive.Open(CString("gridmoorprofile.rwf"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    const uint32_t at = body.GetPosition32(), size = body.GetSize32();
    if (size > at) {
        std::string bytes(size - at, '\0');
        if (!body.Read(&bytes[0], size - at) || !archive.Write(bytes.data(), size - at))
            return;
    }
    CConfig profile;
    Zorlin::CBuffer picture;
    if (!OnlineSearch::ReadProfile(archive, profile, picture, GetAppServices().GetProgramDrive())) {
        m_session->LogLine("Profile refused");
        return;
    }
    m_profileReceived = true;
    m_opponentProfile = profile;
    m_opponentPicture = picture;
    if (OnlineSearch::IsSet(User(), ".preferences.online.storeopponents", true) && !AskToStore())
        return;
    ShowOpponent(false);
    if (CChessApp* app = GetChessApp()) {
        if (CMediaSet* media = app->GetMediaSet()) {
            if (!media->IsLoaded())
                app->LoadMedia();
            media->PlayEffect(CMediaSet::kFoundOpponent);
        }
    }
    SetStatus("Begin in 10");
    m_globe->Stop();
    m_beginWatch.Start();
    m_beginTimer.Start(1000);
}

bool CDialogOnlineSearch::AskToStore()
{
    CString id = m_opponentProfile.GetValueOr("ID", "");
    id.Trim();
    if (!IsProfileId(id)) {
        m_session->LogLine((CString("Opponent not stored: ") + kProfileRefused).GetText());
        return true;
    }
    // The question runs the event loop: the match may end meanwhile, and
    // its time-out waits for the user.
    const uint32_t peer = m_peer;
    m_timeoutTimer.Stop();
    const bool yes = AskToStoreOpponent(m_opponentProfile.GetValueOr("name", ""));
    if (m_peer != peer || !m_profileReceived)
        return false;
    if (yes && !OnlineSearch::StoreOpponent(m_opponentProfile, m_opponentPicture, GetAppServices().GetUserDrive()))
        m_session->LogLine("Opponent not stored");
    return true;
}

void CDialogOnlineSearch::OnGameProposal(CFile& body)
{
    if (const char* why = OnlineSearch::ProposalRefusal(m_first, m_begunSent)) {
        // Both sides would otherwise play by different terms.
        m_session->LogLine((CString("Proposal refused: ") + why).GetText());
        return;
    }
    if (!OnlineSearch::ReadProposal(body, m_terms))
        m_session->LogLine("Proposal refused");
    RestartTimeout(kMatchTimeoutMs);
}

void CDialogOnlineSearch::OnBeginTick(wxTimerEvent&)
{
    double remaining = kBeginSeconds - m_beginWatch.Time() * 0.001;
    if (remaining < 0.0)
        remaining = 0.0;
    SetStatus(wxString::Format("Begin in %i", int(std::ceil(remaining))));
    if (remaining > 0.0)
        return;
    m_beginTimer.Stop();
    SetStatus("Game Starting...");
    SendBeginGame();
    if (m_peer != 0 && !m_begunReceived)
        RestartTimeout(kBeginWaitMs);
}

void CDialogOnlineSearch::SendBeginGame()
{
    if (m_peer == 0 || m_begunSent)
        return;
    CFile& out = m_session->StartPacket(pktRequestForward, m_peer);
    OnlineSearch::WriteU32(out, OnlineSearch::kBeginMessage);
    m_session->SendStarted();
    m_session->LogLine("Send packet chpktBeginGame");
    m_begunSent = true;
    if (!m_begunReceived)
        ShowOpponent(true);
    else
        StartGame();
}

void CDialogOnlineSearch::OnTimeout(wxTimerEvent&)
{
    ShowPage("timeout");
    m_globe->Stop();
    SetStatus("Waiting...");
    Beep();
}

void CDialogOnlineSearch::StartGame()
{
    if (m_peer == 0)
        return;
    m_beginTimer.Stop();
    m_timeoutTimer.Stop();
    CString line;
    line.AppendFormat("Game agreed with %u: playing %s, %s, clock %i s", unsigned(m_peer),
                      m_terms.side == 0 ? "white" : "black", m_terms.timed ? "timed" : "untimed", m_terms.clock);
    m_session->LogLine(line.GetText());
    SOnlineGameStart start;
    start.peerId = m_peer;
    start.localSide = m_terms.side == 0 ? 0 : 1;
    start.timed = m_terms.timed;
    start.clock = m_terms.clock;
    start.opponentProfile = m_opponentProfile;
    start.opponentPicture = m_opponentPicture;
    OnlineGameMaker maker = GetOnlineGameMaker();
    const bool made = maker && maker(GetParent(), start);
    m_searchPending = false;
    ClearMatch();
    m_peer = 0;
    if (made) {
        EndModal(1);
        return;
    }
    // Nothing can play the game here: the peer is let go.
    m_session->SendHeaderOnly(pktCloseConnection, start.peerId);
    EnableButtons(true);
    m_globe->Stop();
    SetStatus("Gridmoor");
    ShowPage("front");
    // Said once the packet in hand is done with.
    CallAfter([this] {
        GetPrompt().ShowMessage("Online games are not available in this version.", "Play Online",
                                wxOK | wxICON_INFORMATION, this);
    });
}

// ------------------------------------------------------------ links and buttons

void CDialogOnlineSearch::OnLinkClicked(const CString& target)
{
    int colon = 0;
    if (target.Find(':', &colon) && colon > 0 && Is(target.Mid(0, colon - 1), "http")) {
        OpenUrl(target.GetText());
    } else if (Is(target, "EDIT SEARCH")) {
        CancelSearch();
        COnlineSearchSettingsDialog settings(this);
        settings.ShowModal();
        ShowPage("front");
    } else if (Is(target, "CANCEL SEARCH")) {
        CancelSearch();
        ShowPage("front");
    } else if (Is(target, "SEARCH")) {
        StartSearch();
    } else if (Is(target, "DEFAULT SEARCH")) {
        if (GetPrompt().AskYesNo("Set the search to the default (broad) settings?", "Set Default Search", this)) {
            OnlineSearch::SetDefaultSearch(User());
            GetDialogHost().SaveUserSettings();
        }
    } else if (Is(target, "BEGIN GAME")) {
        SendBeginGame();
    } else if (Is(target, "PREFERENCES")) {
        COnlinePreferencesDialog preferences(this);
        preferences.ShowModal();
    } else if (Is(target, "LOGIN FAILED")) {
        Begin();
    }
}

void CDialogOnlineSearch::OnFind(wxCommandEvent&)
{
    StartSearch();
}

void CDialogOnlineSearch::OnHelp(wxCommandEvent&)
{
    if (CChessApp* app = GetChessApp())
        app->ShowHelp("gridmoor", nullptr);
}

void CDialogOnlineSearch::OnClose(wxCloseEvent&)
{
    if (m_searchPending) {
        Beep();
        return;
    }
    EndModal(0);
}

void CDialogOnlineSearch::OnCloseButton(wxCommandEvent&)
{
    if (m_session->IsConnected() && !m_session->IsNotifyArmed()) {
        CNewPlayerAlertDialog alert(this, wxID_ANY);
        if (alert.ShowModal() == 1) {
            m_session->ArmPlayerNotify(true);
            EndModal(0);
            return;
        }
        m_session->ArmPlayerNotify(false);
    }
    if (!m_connectedAtOpen && m_session->IsConnected()) {
        m_closing = true;
        m_session->Close();
    }
    EndModal(0);
}
