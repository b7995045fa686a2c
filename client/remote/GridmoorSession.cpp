#include "client/remote/GridmoorSession.h"

#include <cstring>
#include <strings.h>

#include <wx/event.h>
#include <wx/timer.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/Console.h"
#include "client/core/MediaSet.h"
#include "client/dialogs/HtmlMessageBox.h"
#include "client/dialogs/LinkHandler.h"
#include "client/dialogs/MenuBar.h"
#include "client/view/HtmlPopup.h"
#include "foundation/Config.h"
#include "foundation/OutputStream.h"
#include "foundation/PacketStream.h"

using Zorlin::CBuffer;
using Zorlin::CBufferFile;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CString;

const char* const CGridmoorSession::kOpeningText = "multiserver session begin";

namespace {

const char* const kAccount = "plumo";
const char* const kClientName = "Rookwell Lite Lite v1.24";

uint32_t g_lastOpponentId = 0;
bool g_startSearchAtOnce = false;

CConfig& UserSettings()
{
    return GetAppServices().GetUserSettings();
}

// A batch on the connection's output: everything inside leaves in one write.
class CBatch {
public:
    explicit CBatch(Zorlin::COutputStream& out) : m_out(out) { m_out.Begin(); }
    ~CBatch() { m_out.End(); }

private:
    Zorlin::COutputStream& m_out;
};

} // namespace

class CKeepAliveTimer : public wxEvtHandler {
public:
    explicit CKeepAliveTimer(CGridmoorSession* session) : m_timer(this, wxID_ANY), m_session(session)
    {
        Bind(wxEVT_TIMER, [this](wxTimerEvent&) { m_session->SendKeepAlive(); });
        m_timer.Start(CGridmoorSession::kKeepAliveMs);
    }
    ~CKeepAliveTimer() override { m_timer.Stop(); }

private:
    wxTimer m_timer;
    CGridmoorSession* m_session;
};

class CSessionNotifyHandler : public CLinkHandler {
public:
    explicit CSessionNotifyHandler(CGridmoorSession* session) : m_session(session) {}
    bool HandleLink(const CString& link) override
    {
        if (strcasecmp(link.GetText(), "find opponent") == 0) {
            CGridmoorSession::SetStartSearchAtOnce(true);
            CChessApp* app = GetChessApp();
            if (app && app->m_frame) {
                wxCommandEvent command(wxEVT_MENU, ID_MENU_PLAY_ONLINE);
                app->m_frame->GetEventHandler()->AddPendingEvent(command);
            }
            return true;
        }
        if (strcasecmp(link.GetText(), "close") == 0) {
            m_session->ArmPlayerNotify(true);
            return true;
        }
        return false;
    }

private:
    CGridmoorSession* m_session;
};

CGridmoorSession::CGridmoorSession()
    : m_loginSent(false), m_loggedIn(false), m_connected(false), m_notifyWaiting(false), m_clientId(0),
      m_listener(new CDefaultSessionListener()), m_dispatching(0), m_sendFile(&m_sendBuffer, CFile::kLineLf),
      m_log(GetAppServices().CreateConsole("Gridmoor Log")), m_notifyHandler(new CSessionNotifyHandler(this)),
      m_alive(nullptr)
{
    m_sendBuffer.Resize(16384);
    m_sendBuffer.Resize(0);
}

CGridmoorSession::~CGridmoorSession()
{
    if (m_alive)
        *m_alive = false;
    StopKeepAlive();
    delete m_log;
    m_log = nullptr;
    delete m_listener;
    for (CSessionListener* listener : m_retired)
        delete listener;
}

void CGridmoorSession::Destroy()
{
    CConsole* log = m_log;
    m_log = nullptr;
    delete log;
    delete this;
}

uint32_t CGridmoorSession::GetLastOpponentId()
{
    return g_lastOpponentId;
}

void CGridmoorSession::SetLastOpponentId(uint32_t id)
{
    g_lastOpponentId = id;
}

bool CGridmoorSession::TakeStartSearchAtOnce()
{
    const bool at = g_startSearchAtOnce;
    g_startSearchAtOnce = false;
    return at;
}

void CGridmoorSession::SetStartSearchAtOnce(bool at)
{
    g_startSearchAtOnce = at;
}

void CGridmoorSession::LogLine(const char* text)
{
    if (!m_log)
        return;
    m_log->Write(text);
    m_log->NewLine();
}

void CGridmoorSession::SetListener(CSessionListener* listener)
{
    if (!listener)
        listener = new CDefaultSessionListener();
    if (listener == m_listener)
        return;
    // A handler that installs its successor is still running on the old
    // listener: it goes once the handler has returned.
    if (m_dispatching > 0)
        m_retired.push_back(m_listener);
    else
        delete m_listener;
    m_listener = listener;
}

void CGridmoorSession::ReportState(int state)
{
    CSessionListener* listener = m_listener;
    ++m_dispatching;
    listener->OnSessionState(state);
    --m_dispatching;
    if (m_dispatching == 0 && !m_retired.empty()) {
        std::vector<CSessionListener*> retired;
        retired.swap(m_retired);
        for (CSessionListener* old : retired)
            delete old;
    }
}

bool CGridmoorSession::PassToListener(const CPacketHeader& header, CFile& body)
{
    CSessionListener* listener = m_listener;
    ++m_dispatching;
    const bool answer = listener->OnPacket(header, body);
    --m_dispatching;
    if (m_dispatching == 0 && !m_retired.empty()) {
        std::vector<CSessionListener*> retired;
        retired.swap(m_retired);
        for (CSessionListener* old : retired)
            delete old;
    }
    return answer;
}

bool CGridmoorSession::ConnectToServer()
{
    if (IsConnected())
        return true;
    CConfig& settings = GetAppServices().GetProgramSettings();
    const CString host = settings.GetValueOr(".gridmoor.server", "");
    const CString port = settings.GetValueOr(".gridmoor.port", "");
    Connect(host.GetText(), port.IsEmpty() ? 0 : atoi(port.GetText()));
    return false;
}

CFile& CGridmoorSession::StartPacket(uint32_t type, uint32_t id)
{
    m_sendBuffer.Resize(0);
    m_sendFile.SetBuffer(&m_sendBuffer);
    m_sendFile.SetLineStyle(CFile::kLineLf);
    m_sendFile.Seek(0, CFile::kSeekStart);
    const CPacketHeader header = id != 0 ? CPacketHeader(type, id) : CPacketHeader(type);
    header.Write(m_sendFile);
    return m_sendFile;
}

bool CGridmoorSession::SendStarted()
{
    return SendPacket(m_sendBuffer);
}

void CGridmoorSession::SendHeaderOnly(int type, uint32_t id)
{
    StartPacket(uint32_t(type), id);
    SendStarted();
}

void CGridmoorSession::SendKeepAlive()
{
    SendHeaderOnly(pktKeepAlive, 0);
}

void CGridmoorSession::SendProfile()
{
    CConfig& user = UserSettings();
    const CString name = user.GetValueOr(".profile.name", "");
    const CString location = user.GetValueOr(".preferences.online.location", "");
    CBatch batch(GetOutput());
    CFile& set = StartPacket(pktSet);
    WireText::WriteLine(set, "begin");
    WireText::WriteLine(set, "name");
    WireText::WriteLine(set, name);
    WireText::WriteLine(set, "country");
    WireText::WriteLine(set, location);
    SendStarted();

    CString email = user.GetValueOr(".profile.email", "");
    email.ReplaceAll("@", "(at)");
    CFile& info = StartPacket(pktInfo);
    WireText::WriteLine(info, "begin");
    WireText::WriteLine(info, "name");
    WireText::WriteLine(info, name);
    WireText::WriteLine(info, "email");
    WireText::WriteLine(info, email);
    WireText::WriteLine(info, "country");
    WireText::WriteLine(info, location);
    WireText::WriteLine(info, "RW ID");
    WireText::WriteLine(info, user.GetValueOr(".profile.id", ""));
    SendStarted();
}

void CGridmoorSession::ArmPlayerNotify(bool arm)
{
    if (!arm || !IsConnected()) {
        m_notifyWaiting = false;
        return;
    }
    m_notifyWaiting = true;
    CFile& body = StartPacket(pktRequestNotify);
    if (g_lastOpponentId != 0) {
        CString avoid;
        avoid.AppendFormat("avoid=%u", unsigned(g_lastOpponentId));
        WireText::WriteLine(body, avoid);
    }
    WireText::WriteLine(body, "free search");
    SendStarted();
}

void CGridmoorSession::OnConnecting()
{
    m_connected = false;
    ReportState(CSessionListener::kConnecting);
}

void CGridmoorSession::OnConnected()
{
    m_connected = true;
    ReportState(CSessionListener::kConnected);
    if (!IsConnected())
        return; // the listener closed it
    {
        CBatch batch(GetOutput());
        CBuffer opening;
        opening.Resize(int(strlen(kOpeningText)));
        opening.WriteAt(kOpeningText, opening.GetSize(), 0);
        GetOutput().Write(opening);
        WireText::WriteLine(StartPacket(pktProtocol), "2");
        SendStarted();
        CFile& login = StartPacket(pktLogin);
        WireText::WriteLine(login, kAccount);
        WireText::WriteLine(login, kAccount);
        WireText::WriteLine(login, kClientName);
        SendStarted();
    }
    m_loginSent = true;
    m_keepAlive.reset();
    m_keepAlive.reset(new CKeepAliveTimer(this));
}

void CGridmoorSession::StopKeepAlive()
{
    m_keepAlive.reset();
}

void CGridmoorSession::OnDisconnected()
{
    m_notifyWaiting = false;
    m_loggedIn = false;
    m_loginSent = false;
    m_clientId = 0;
    m_connected = false;
    StopKeepAlive();
    LogLine("Disconnected");
    ReportState(CSessionListener::kDisconnected);
}

bool CGridmoorSession::OnPacket(CBuffer& payload)
{
    CBufferFile body(&payload, CFile::kLineLf);
    CPacketHeader header;
    if (!header.Read(body)) {
        LogLine("Packet without a header ignored");
        return true;
    }
    CString line;
    line.AppendFormat("%s (#%u)", header.GetTypeName(), unsigned(header.m_type));
    LogLine(line.GetText());

    bool alive = true;
    bool* outer = m_alive;
    m_alive = &alive;
    bool answer = true;
    switch (header.m_type) {
    case pktLoggedInOK:
        m_loggedIn = true;
        ReportState(CSessionListener::kLoggedIn);
        break;
    case pktAdminMessage: {
        CString html;
        WireText::ReadRest(body, html);
        ShowServerMessage("Message from Admin", html);
        PlayEffect(CMediaSet::kPopup);
        break;
    }
    case pktAlert:
        PlayEffect(CMediaSet::kAlert);
        break;
    case pktKick: {
        CString unused, html;
        WireText::ReadLine(body, unused);
        WireText::ReadRest(body, html);
        if (html.GetLength() > 1) {
            ShowServerMessage("Disconnected from Server", html);
            PlayEffect(CMediaSet::kPopup);
        }
        if (alive)
            Close();
        answer = false;
        break;
    }
    case pktId:
        m_clientId = header.m_id;
        break;
    case pktNotify:
        RunNotification();
        break;
    default:
        answer = PassToListener(header, body);
        break;
    }
    if (!alive)
        return false;
    m_alive = outer;
    return answer;
}

void CGridmoorSession::RunNotification()
{
    if (!m_notifyWaiting)
        return;
    m_notifyWaiting = false;
    ShowNewPlayerNotice();
    PlayEffect(CMediaSet::kPopup);
}

void CGridmoorSession::ShowServerMessage(const CString& title, const CString& html)
{
    // One window a title: a flood of messages replaces its text.
    if (CHtmlMessageBox* open = CHtmlMessageBox::FindTitled(title)) {
        open->SetHtml(html);
        open->Raise();
        return;
    }
    // Over a modal dialog (the search) a modeless box gets neither keys nor
    // clicks: there it is shown modally over that dialog, from the event
    // loop rather than inside this packet's handler.
    wxDialog* modal = nullptr;
    for (wxWindow* window : wxTopLevelWindows) {
        wxDialog* dialog = dynamic_cast<wxDialog*>(window);
        if (dialog && dialog->IsModal() && !dialog->IsBeingDeleted())
            modal = dialog;
    }
    CHtmlMessageBox* box = new CHtmlMessageBox(modal, title, false);
    box->SetSize(400, 300);
    box->SetHtml(html);
    box->Centre(wxBOTH);
    if (!modal) {
        box->Show(true);
        return;
    }
    box->CallAfter([box]() {
        box->ShowModal();
        box->Destroy();
    });
}

void CGridmoorSession::ShowNewPlayerNotice()
{
    CHtmlPopup* popup = new CHtmlPopup(nullptr, "New Player Online", "freesearchnotify", nullptr);
    popup->SetSize(420, 260);
    popup->Centre(wxBOTH);
    popup->SetCloseTimer(50);
    popup->SetLinkHandler(m_notifyHandler.get());
    popup->m_closeLink = "close";
    popup->m_timeoutLink = "close";
    popup->Show(true);
    CChessApp* app = GetChessApp();
    if (app && app->m_frame)
        app->m_frame->Raise();
}

void CGridmoorSession::PlayEffect(int effect)
{
    CChessApp* app = GetChessApp();
    if (!app)
        return;
    if (CMediaSet* media = app->GetMediaSet()) {
        if (!media->IsLoaded())
            app->LoadMedia();
        media->PlayEffect(CMediaSet::EEffect(effect));
    }
}
