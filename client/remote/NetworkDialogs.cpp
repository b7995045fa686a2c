#include "client/remote/OpponentStore.h"
#include "client/remote/NetworkDialogs.h"

#include <cstdlib>
#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/radiobox.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/FrameView.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/PreferencesDialog.h"
#include "client/remote/MachineAddresses.h"
#include "client/remote/NetworkOpponents.h"
#include "client/remote/OpponentList.h"
#include "foundation/Config.h"

using Zorlin::CString;

namespace {

template <class T> T* Control(const wxWindow* dialog, int id)
{
    return dynamic_cast<T*>(dialog->FindWindow(id));
}

void AppendLine(wxWindow* dialog, int id, const CString& text)
{
    if (wxTextCtrl* status = Control<wxTextCtrl>(dialog, id))
        status->AppendText(ToWx(CString("\n") + text));
}

// Stored opponents as list entries: the name shown, the data given.
void FillOpponentList(wxListBox* list, bool dataIsId)
{
    if (!list)
        return;
    COpponentList& opponents = GetOpponentList();
    for (const auto& entry : opponents.GetNumbers()) {
        COpponentProfile* profile = opponents.GetByNumber(entry.first);
        if (!profile || !profile->Load())
            continue;
        const CString name = profile->m_profile.GetValueOr("Profile.Name", "");
        const int index = list->Append(ToWx(name.IsEmpty() ? profile->GetId() : name));
        if (dataIsId)
            list->SetClientObject(index, new wxStringClientData(ToWx(profile->GetId())));
        else
            list->SetClientObject(index, new wxStringClientData(wxString::Format("%d", entry.first)));
    }
}

} // namespace

// ------------------------------------------------------------ host

wxBEGIN_EVENT_TABLE(CStartNetworkGameDialog, wxDialog)
    EVT_BUTTON(ID_HOST_START, CStartNetworkGameDialog::OnStart)
    EVT_BUTTON(ID_HOST_CANCEL, CStartNetworkGameDialog::OnCancel)
    EVT_BUTTON(ID_HOST_HELP, CStartNetworkGameDialog::OnHelp)
    EVT_BUTTON(ID_HOST_VOICES, CStartNetworkGameDialog::OnVoices)
    EVT_BUTTON(ID_HOST_EMAIL_INVITE, CStartNetworkGameDialog::OnEmailInvite)
    EVT_TIMER(CStartNetworkGameDialog::kGaugeTimerId, CStartNetworkGameDialog::OnGaugeTimer)
    EVT_CLOSE(CStartNetworkGameDialog::OnClose)
wxEND_EVENT_TABLE()

CStartNetworkGameDialog::CStartNetworkGameDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Start Network Game", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU),
      m_game(nullptr), m_running(false), m_port(0), m_gaugeTimer(this, kGaugeTimerId)
{
    StartNetworkGameLayout(this, true, true);
    SetAppIcon(this);
    const CString port = GetAppServices().GetProgramSettings().GetValueOr("network.port", "");
    const SMachineAddresses addresses = ClassifyMachineAddresses(ListMachineAddresses());
    if (wxTextCtrl* status = Control<wxTextCtrl>(this, ID_HOST_STATUS))
        status->SetValue(ToWx(HostInformationText(port, addresses, FromWx(wxGetHostName()))));
    if (wxGauge* gauge = Control<wxGauge>(this, ID_HOST_GAUGE))
        gauge->SetValue(0);
    m_game = new CNetworkGame();
    m_game->SetListener(this);
    m_port = std::atoi(port.GetText());
    CentreOnParent(wxBOTH);
}

CStartNetworkGameDialog::~CStartNetworkGameDialog()
{
    m_gaugeTimer.Stop();
    if (m_game)
        m_game->Destroy();
}

void CStartNetworkGameDialog::AddStatusLine(const CString& text)
{
    AppendLine(this, ID_HOST_STATUS, text);
}

void CStartNetworkGameDialog::OnNetworkState(int state)
{
    wxButton* start = Control<wxButton>(this, ID_HOST_START);
    switch (state) {
    case CNetworkGame::kListening:
        if (start)
            start->SetLabel("Stop");
        m_gaugeTimer.Start(100);
        m_running = true;
        break;
    case CNetworkGame::kStopped:
        if (start)
            start->SetLabel("&Start!");
        m_gaugeTimer.Stop();
        if (wxGauge* gauge = Control<wxGauge>(this, ID_HOST_GAUGE))
            gauge->SetValue(0);
        m_running = false;
        break;
    case CNetworkGame::kBegun:
        // The board has the game now.
        m_game->SetListener(nullptr);
        m_game = nullptr;
        m_gaugeTimer.Stop();
        m_running = false;
        if (IsModal())
            EndModal(0);
        break;
    default:
        break;
    }
}

void CStartNetworkGameDialog::OnStart(wxCommandEvent&)
{
    if (!m_game)
        return;
    const int choice = Control<wxRadioBox>(this, ID_HOST_START_AS)->GetSelection();
    m_game->SetColourChoice(choice == 2 ? (std::rand() % 2 == 0 ? 1 : 0) : choice);
    if (m_running) {
        m_game->StopServer();
        return;
    }
    if (!m_game->StartServer(m_port))
        GetPrompt().ShowMessage("Could not start server", "Error", wxOK, this);
}

void CStartNetworkGameDialog::Leave()
{
    if (m_game) {
        m_game->StopServer();
        m_game->Destroy();
        m_game = nullptr;
    }
    m_gaugeTimer.Stop();
    if (IsModal())
        EndModal(0);
}

void CStartNetworkGameDialog::OnCancel(wxCommandEvent&)
{
    Leave();
}

void CStartNetworkGameDialog::OnClose(wxCloseEvent&)
{
    Leave();
}

void CStartNetworkGameDialog::OnHelp(wxCommandEvent&)
{
    GetDialogHost().ShowHelp("network", nullptr);
}

void CStartNetworkGameDialog::OnVoices(wxCommandEvent&)
{
    CPreferencesDialog preferences(this);
    preferences.ShowModal();
}

void CStartNetworkGameDialog::OnEmailInvite(wxCommandEvent&)
{
    SendNetworkInvitation(this);
}

void CStartNetworkGameDialog::OnGaugeTimer(wxTimerEvent&)
{
    wxGauge* gauge = Control<wxGauge>(this, ID_HOST_GAUGE);
    if (!gauge)
        return;
    const int value = gauge->GetValue() + 5;
    gauge->SetValue(value > 100 ? 0 : value);
}

// ------------------------------------------------------------ join

wxBEGIN_EVENT_TABLE(CJoinNetworkGameDialog, wxDialog)
    EVT_LISTBOX(ID_JOIN_OPPONENTS, CJoinNetworkGameDialog::OnOpponent)
    EVT_BUTTON(ID_JOIN_JOIN, CJoinNetworkGameDialog::OnJoin)
    EVT_BUTTON(ID_JOIN_CANCEL, CJoinNetworkGameDialog::OnCancel)
    EVT_BUTTON(ID_JOIN_HELP, CJoinNetworkGameDialog::OnHelp)
    EVT_BUTTON(ID_JOIN_VOICES, CJoinNetworkGameDialog::OnVoices)
    EVT_CLOSE(CJoinNetworkGameDialog::OnClose)
wxEND_EVENT_TABLE()

CJoinNetworkGameDialog::CJoinNetworkGameDialog(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, "Join a Network Game", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU),
      m_game(nullptr)
{
    JoinNetworkGameLayout(this, true, true);
    SetAppIcon(this);
    FillOpponentList(Control<wxListBox>(this, ID_JOIN_OPPONENTS), false);
    m_game = new CNetworkGame();
    m_game->SetListener(this);
    CentreOnParent(wxBOTH);
    // The address is what the user comes to type.
    Control<wxTextCtrl>(this, ID_JOIN_ADDRESS)->SetFocus();
}

CJoinNetworkGameDialog::~CJoinNetworkGameDialog()
{
    if (m_game)
        m_game->Destroy();
}

void CJoinNetworkGameDialog::SetAddress(const CString& address)
{
    Control<wxTextCtrl>(this, ID_JOIN_ADDRESS)->SetValue(ToWx(address));
}

void CJoinNetworkGameDialog::AddStatusLine(const CString& text)
{
    AppendLine(this, ID_JOIN_STATUS, text);
}

void CJoinNetworkGameDialog::OnOpponent(wxCommandEvent&)
{
    wxListBox* list = Control<wxListBox>(this, ID_JOIN_OPPONENTS);
    const int index = list ? list->GetSelection() : wxNOT_FOUND;
    if (index == wxNOT_FOUND)
        return;
    auto* data = dynamic_cast<wxStringClientData*>(list->GetClientObject(index));
    long number = -1;
    if (!data || !data->GetData().ToLong(&number))
        return;
    COpponentProfile* profile = GetOpponentList().GetByNumber(int(number));
    CString address;
    if (profile && profile->Load())
        address = profile->m_profile.GetValueOr("Profile.IP", "");
    SetAddress(address);
}

void CJoinNetworkGameDialog::OnJoin(wxCommandEvent&)
{
    CString address = FromWx(Control<wxTextCtrl>(this, ID_JOIN_ADDRESS)->GetValue());
    address.Trim();
    if (address.IsEmpty()) {
        GetPrompt().ShowMessage("Please enter an IP address in the form xxx.xxx.xxx.xxx,\nor the name of a machine on your "
                                "network.\n\nClick the 'Help' button if you need more information.",
                                "IP Required", wxOK, this);
        return;
    }
    if (!m_game)
        return;
    // Cancel stays: the user may give up on a host that never answers.
    Control<wxButton>(this, ID_JOIN_JOIN)->Enable(false);
    if (!m_game->Connect(address.GetText()))
        JoinFailed("Could not contact the server");
}

void CJoinNetworkGameDialog::JoinFailed(const char* text)
{
    GetPrompt().ShowMessage(text, "Join network game", wxOK | wxICON_ERROR, this);
    if (wxButton* join = Control<wxButton>(this, ID_JOIN_JOIN))
        join->Enable(true);
}

void CJoinNetworkGameDialog::OnNetworkState(int state)
{
    switch (state) {
    case CNetworkGame::kBegun:
        m_game->SetListener(nullptr);
        m_game = nullptr;
        if (IsModal())
            EndModal(0);
        break;
    case CNetworkGame::kConnectFailed:
        JoinFailed("Could not contact the server");
        break;
    case CNetworkGame::kLost:
        JoinFailed("The connection to the host was lost before the game began.");
        break;
    default:
        break;
    }
}

void CJoinNetworkGameDialog::Leave()
{
    if (m_game) {
        m_game->Disconnect();
        m_game->Destroy();
        m_game = nullptr;
    }
    if (IsModal())
        EndModal(0);
}

void CJoinNetworkGameDialog::OnCancel(wxCommandEvent&)
{
    Leave();
}

void CJoinNetworkGameDialog::OnClose(wxCloseEvent&)
{
    Leave();
}

void CJoinNetworkGameDialog::OnHelp(wxCommandEvent&)
{
    GetDialogHost().ShowHelp("network", nullptr);
}

void CJoinNetworkGameDialog::OnVoices(wxCommandEvent&)
{
    CPreferencesDialog preferences(this);
    preferences.ShowModal();
}

// ------------------------------------------------------------ invitation

wxBEGIN_EVENT_TABLE(CEmailInvitationDialog, wxDialog)
    EVT_BUTTON(ID_INVITE_SEND, CEmailInvitationDialog::OnSend)
    EVT_BUTTON(ID_INVITE_CANCEL, CEmailInvitationDialog::OnCancel)
    EVT_LISTBOX(ID_INVITE_OPPONENTS, CEmailInvitationDialog::OnOpponent)
wxEND_EVENT_TABLE()

CEmailInvitationDialog::CEmailInvitationDialog(wxWindow* parent, CString& address)
    : wxDialog(parent, wxID_ANY, "Send Email Invitation", wxDefaultPosition, wxDefaultSize, wxCAPTION | wxSYSTEM_MENU),
      m_address(address)
{
    EmailInvitationLayout(this, true, true);
    FillOpponentList(Control<wxListBox>(this, ID_INVITE_OPPONENTS), true);
    CentreOnParent(wxBOTH);
    Control<wxTextCtrl>(this, ID_INVITE_EMAIL)->SetFocus();
}

void CEmailInvitationDialog::OnOpponent(wxCommandEvent&)
{
    wxListBox* list = Control<wxListBox>(this, ID_INVITE_OPPONENTS);
    const int index = list ? list->GetSelection() : wxNOT_FOUND;
    if (index == wxNOT_FOUND)
        return;
    auto* data = dynamic_cast<wxStringClientData*>(list->GetClientObject(index));
    CString name, email;
    if (data)
        FindNetworkOpponent(FromWx(data->GetData()), name, email);
    Control<wxTextCtrl>(this, ID_INVITE_EMAIL)->SetValue(ToWx(email));
}

void CEmailInvitationDialog::OnSend(wxCommandEvent&)
{
    CString address = FromWx(Control<wxTextCtrl>(this, ID_INVITE_EMAIL)->GetValue());
    address.Trim();
    if (address.IsEmpty()) {
        CFrameView* frame = CGame::GetFrame();
        GetPrompt().ShowMessage("Please enter an email address, or select a previous opponent.", "Cant send", wxOK,
                                frame ? frame->GetWindow() : this);
        return;
    }
    m_address = address;
    EndModal(0);
}

void CEmailInvitationDialog::OnCancel(wxCommandEvent&)
{
    EndModal(0);
}
