#include "client/dialogs/SendEmailDialog.h"

#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "chess/ChessTypes.h"
#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/core/FrameView.h"
#include "client/core/Game.h"
#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogHost.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/DialogSupport.h"
#include "client/dialogs/MenuBar.h"
#include "client/dialogs/SendOrSaveDialog.h"
#include "client/remote/EmailGame.h"
#include "client/remote/EmailPlayer.h"
#include "client/remote/EmailTurn.h"
#include "client/remote/MailHandOver.h"
#include "foundation/DiskDrive.h"
#include "foundation/Drive.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"

using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

wxBEGIN_EVENT_TABLE(CSendEmailDialog, wxDialog)
    EVT_BUTTON(ID_SENDEMAIL_SEND, CSendEmailDialog::OnSend)
    EVT_BUTTON(ID_SENDEMAIL_QUOTE, CSendEmailDialog::OnQuote)
    EVT_RADIOBUTTON(ID_SENDEMAIL_SHOW_MESSAGE, CSendEmailDialog::OnMessageSelected)
    EVT_RADIOBUTTON(ID_SENDEMAIL_SHOW_REPLY, CSendEmailDialog::OnReplySelected)
    EVT_CHECKBOX(ID_SENDEMAIL_OFFER_DRAW, CSendEmailDialog::OnOfferDrawClicked)
    EVT_CHECKBOX(ID_SENDEMAIL_RESIGN, CSendEmailDialog::OnResignClicked)
    EVT_CLOSE(CSendEmailDialog::OnClose)
    EVT_TIMER(wxID_ANY, CSendEmailDialog::OnRestoreTimer)
wxEND_EVENT_TABLE()

namespace {

template <class T> T* Control(const wxWindow* dialog, int id)
{
    return dynamic_cast<T*>(dialog->FindWindow(id));
}

const char* const kCaptionSendMail = "Send Mail";
const char* const kSaveFailure = "Couldn't save turn file!";

CString UserSetting(const char* key)
{
    return GetAppServices().GetUserSettings().GetValueOr(key, "");
}

} // namespace

CSendEmailDialog::CSendEmailDialog(CEmailPlayer* owner, const CString& opponentMessage)
    : CHeldWindow<wxDialog>(nullptr, wxID_ANY, "Send Email - Rookwell", wxDefaultPosition, wxSize(600, 400),
                            wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxMAXIMIZE_BOX | wxRESIZE_BORDER),
      m_owner(owner), m_opponentMessage(opponentMessage), m_replyCaret(0), m_replyShown(false), m_sent(false),
      m_sending(false), m_restoreTimer(this)
{
    SendEmailLayout(this, false, true);
    SetSize(600, 300);
    SetAppIcon(this);
    Centre(wxBOTH);
    InitPages();
    Iconize(true);
}

void CSendEmailDialog::InitPages()
{
    m_replyCaret = 0;
    m_replyShown = false;
    wxTextCtrl* text = Control<wxTextCtrl>(this, ID_SENDEMAIL_TEXT);
    text->ChangeValue(ToWx(m_opponentMessage));
    text->SetEditable(false);
    Control<wxWindow>(this, ID_SENDEMAIL_QUOTE)->Enable(false);
    m_savedReply = "";
}

void CSendEmailDialog::SetSendProfile(bool send)
{
    Control<wxCheckBox>(this, ID_SENDEMAIL_SEND_PROFILE)->SetValue(send);
}

void CSendEmailDialog::SetResign(bool resign)
{
    Control<wxCheckBox>(this, ID_SENDEMAIL_RESIGN)->SetValue(resign);
    Control<wxCheckBox>(this, ID_SENDEMAIL_OFFER_DRAW)->SetValue(false);
}

void CSendEmailDialog::SetOfferDraw(bool offer)
{
    Control<wxCheckBox>(this, ID_SENDEMAIL_OFFER_DRAW)->SetValue(offer);
    Control<wxCheckBox>(this, ID_SENDEMAIL_RESIGN)->SetValue(false);
}

bool CSendEmailDialog::IsOfferDrawTicked() const
{
    return Control<wxCheckBox>(this, ID_SENDEMAIL_OFFER_DRAW)->GetValue();
}

bool CSendEmailDialog::IsResignTicked() const
{
    return Control<wxCheckBox>(this, ID_SENDEMAIL_RESIGN)->GetValue();
}

void CSendEmailDialog::SetMove(const CString& move)
{
    Control<wxTextCtrl>(this, ID_SENDEMAIL_MOVE)->ChangeValue(ToWx(move));
}

CString CSendEmailDialog::GetMove() const
{
    CString move = FromWx(Control<wxTextCtrl>(this, ID_SENDEMAIL_MOVE)->GetValue());
    move.Trim();
    return move;
}

void CSendEmailDialog::SetAddressing(int moveNumber, const CString& address, const CString& subject)
{
    Control<wxTextCtrl>(this, ID_SENDEMAIL_TO)->ChangeValue(ToWx(address));
    Control<wxTextCtrl>(this, ID_SENDEMAIL_SUBJECT)->ChangeValue(ToWx(subject));
    CString label;
    label.AppendFormat("(Move #%i)", moveNumber);
    Control<wxStaticText>(this, ID_SENDEMAIL_MOVE_NO)->SetLabel(ToWx(label));
    if (!m_replyShown) {
        wxTextCtrl* text = Control<wxTextCtrl>(this, ID_SENDEMAIL_TEXT);
        text->Clear();
        text->ChangeValue(ToWx(m_opponentMessage));
    }
}

void CSendEmailDialog::ShowMessagePage()
{
    wxTextCtrl* text = Control<wxTextCtrl>(this, ID_SENDEMAIL_TEXT);
    m_savedReply = FromWx(text->GetValue());
    m_replyCaret = text->GetInsertionPoint();
    text->Clear();
    text->ChangeValue(ToWx(m_opponentMessage));
    text->SetInsertionPoint(0);
    text->SetEditable(false);
    m_replyShown = false;
    Control<wxWindow>(this, ID_SENDEMAIL_QUOTE)->Enable(false);
}

void CSendEmailDialog::ShowReplyPage()
{
    wxTextCtrl* text = Control<wxTextCtrl>(this, ID_SENDEMAIL_TEXT);
    text->SetEditable(true);
    text->Clear();
    text->ChangeValue(ToWx(m_savedReply));
    text->SetInsertionPoint(m_replyCaret);
    text->ShowPosition(m_replyCaret > 0 ? m_replyCaret - 1 : 0);
    m_replyShown = true;
    Control<wxWindow>(this, ID_SENDEMAIL_QUOTE)->Enable(true);
}

void CSendEmailDialog::ShowReply(bool reply)
{
    if (reply == m_replyShown)
        return;
    if (reply)
        ShowReplyPage();
    else
        ShowMessagePage();
    Control<wxRadioButton>(this, ID_SENDEMAIL_SHOW_MESSAGE)->SetValue(!reply);
    Control<wxRadioButton>(this, ID_SENDEMAIL_SHOW_REPLY)->SetValue(reply);
}

void CSendEmailDialog::StartRestoreTimer(int ms)
{
    m_restoreTimer.StartOnce(ms);
}

void CSendEmailDialog::Restore()
{
    if (IsIconized())
        Iconize(false);
    Show();
    Raise();
}

void CSendEmailDialog::CaptureReply()
{
    m_replyToSend = m_replyShown ? FromWx(Control<wxTextCtrl>(this, ID_SENDEMAIL_TEXT)->GetValue()) : m_savedReply;
}

CString CSendEmailDialog::MakeFileName() const
{
    CEmailGame* game = m_owner ? dynamic_cast<CEmailGame*>(m_owner->GetGame()) : nullptr;
    if (!game)
        return "move.rwf";
    const int ply = game->GetBoard().GetPly();
    return EmailTurn::FileName(ply, game->GetLocalColour(), ply == 0 && game->GetLocalColour() == BLACK);
}

bool CSendEmailDialog::WriteTurnFile(CFile& host)
{
    CEmailGame* game = m_owner ? dynamic_cast<CEmailGame*>(m_owner->GetGame()) : nullptr;
    if (!game)
        return false;
    EmailTurn::STurn turn;
    turn.move = FromWx(Control<wxTextCtrl>(this, ID_SENDEMAIL_MOVE)->GetValue());
    turn.offerDraw = IsOfferDrawTicked();
    turn.resign = IsResignTicked();
    turn.from = UserSetting(".profile.email");
    turn.id = UserSetting(".profile.id");
    turn.message = m_replyToSend;
    if (turn.offerDraw)
        EmailTurn::RecordDrawOffer(game->GetSettings(), game->GetLocalColour(), game->GetBoard().GetPly());
    game->Save(turn.game);

    CMemFile profile;
    profile.Open(CString("Profile.rwf"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    bool withProfile = false;
    CChessApp* app = GetChessApp();
    if (app && Control<wxCheckBox>(this, ID_SENDEMAIL_SEND_PROFILE)->GetValue()) {
        CString keepPrivate = UserSetting(".profile.KeepIPPrivate");
        keepPrivate.Trim();
        withProfile = app->WriteProfileArchive(profile, true, !CConfig::IsTrue(keepPrivate));
    }
    if (!EmailTurn::Write(host, turn, withProfile ? &profile : nullptr))
        return false;
    // A copy for the user to look at; nothing reads it.
    EmailTurn::MakeMoveConfig(turn).Write(GetAppServices().GetProgramDrive(), CURL("/move.cfg"), true);
    return true;
}

bool CSendEmailDialog::WriteAttachment(CString& diskPath)
{
    // attach.tmp of the user's folder: left there, replaced by the next turn.
    Zorlin::CDrive& user = GetAppServices().GetUserDrive();
    Zorlin::CDiskDrive* disk = dynamic_cast<Zorlin::CDiskDrive*>(&user);
    if (!disk)
        return false;
    diskPath = disk->GetDiskPath(CURL("attach.tmp"));
    Zorlin::CAutoPointer<CFile> attach =
        user.OpenFile(CURL("attach.tmp"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    return attach && attach->IsOpen() && WriteTurnFile(*attach);
}

void CSendEmailDialog::KeepSentRecord()
{
    // The next turn from the opponent is held against what left here.
    if (CEmailGame* game = m_owner ? dynamic_cast<CEmailGame*>(m_owner->GetGame()) : nullptr)
        game->KeepSentRecord();
}

bool CSendEmailDialog::SaveTurn()
{
    CaptureReply();
    CString written;
    if (!WriteAttachment(written)) {
        GetPrompt().ShowMessage(kSaveFailure, "Problem", wxOK | wxICON_ERROR, this);
        return false;
    }
    if (!SaveCopyAs(written, "Save Turn File", MakeFileName(), "RWF Files (*.RWF)|*.RWF", kSaveFailure, this))
        return false;
    m_sent = true;
    KeepSentRecord();
    SetTitle("Rookwell - Send Email (Saved)");
    Raise();
    return true;
}

void CSendEmailDialog::MailTurn()
{
    CString own = UserSetting(".profile.email");
    own.Trim();
    if (own.IsEmpty()) {
        if (!GetPrompt().AskText("Please enter your email address", "Reply to", own, this))
            return;
        own.Trim();
        if (own.IsEmpty())
            return;
        GetAppServices().GetUserSettings().GetValue(".profile.email") = own;
        GetDialogHost().SaveUserSettings();
    }
    if (!HasMailProgram()) {
        GetPrompt().ShowMessage("Couldn't find your default mail application!", kCaptionSendMail,
                                wxOK | wxICON_ERROR, this);
        // Nothing is lost: the turn can still leave as a file.
        if (GetPrompt().ShowMessage("Do you wish to save the turn file instead?", kCaptionSendMail,
                                    wxYES_NO | wxICON_QUESTION, this) == wxYES)
            SaveTurn();
        return;
    }
    if (GetMove().IsEmpty() && !IsOfferDrawTicked() && !IsResignTicked() &&
        GetPrompt().ShowMessage("You have made no response.\n\nSend mail anyway?", "No Response",
                                wxYES_NO | wxICON_QUESTION, this) != wxYES)
        return;
    CString address = FromWx(Control<wxTextCtrl>(this, ID_SENDEMAIL_TO)->GetValue());
    address.Trim();
    if (address.IsEmpty()) {
        GetPrompt().ShowMessage("Please enter your opponent's email address.", "Send mail",
                                wxOK | wxICON_INFORMATION, this);
        return;
    }
    wxWindow* send = FindWindow(ID_SENDEMAIL_SEND);
    send->Enable(false);
    SMailToSend mail;
    mail.to = address;
    mail.subject = FromWx(Control<wxTextCtrl>(this, ID_SENDEMAIL_SUBJECT)->GetValue());
    CaptureReply();
    mail.attachmentName = MakeFileName();
    const bool written = WriteAttachment(mail.attachmentPath);
    if (!written) {
        GetPrompt().ShowMessage("There was a problem sending the mail.", "Send mail error", wxOK | wxICON_ERROR,
                                this);
        send->Enable(true);
        return;
    }
    mail.body = GetAppServices().GetProgramSettings().GetValueOr(".text.email", "");
    mail.body.ReplaceAll("[sender]", UserSetting(".profile.name").GetText());
    m_sending = true;
    const EMailHandOver result = HandMailOver(mail);
    m_sending = false;
    // The game may have ended during the send: the window is then an
    // orphan waiting to be freed and does nothing more.
    if (!m_owner)
        return;
    Raise();
    if (result != EMailHandOver::kSent) {
        GetPrompt().ShowMessage("There was a problem sending the mail.", "Send mail error", wxOK | wxICON_ERROR,
                                this);
        Raise();
    } else {
        CFrameView* frame = GetAppServices().GetFrameView();
        GetPrompt().ShowMessage(
            "Mail has been placed in your Outbox.\n\nYou may have to click the 'send' button in your email application.",
            "Send mail successful", wxOK | wxICON_INFORMATION, frame ? frame->GetWindow() : nullptr);
        if (!m_owner)
            return;
        Raise();
        m_sent = true;
        KeepSentRecord();
        SetTitle("Rookwell - Send Email (Sent)");
    }
    send->Enable(true);
}

void CSendEmailDialog::OnSend(wxCommandEvent&)
{
    if (m_sending || !m_owner)
        return;
    if (m_sent && GetPrompt().ShowMessage("Mail already sent.\n\nSend again?", kCaptionSendMail,
                                          wxYES_NO | wxICON_QUESTION, this) != wxYES)
        return;
    int choice = CSendOrSaveDialog::kCancel;
    {
        CSendOrSaveDialog dialog(this);
        choice = dialog.ShowModal();
    }
    if (!m_owner)
        return;
    if (choice == CSendOrSaveDialog::kSave)
        SaveTurn();
    else if (choice == CSendOrSaveDialog::kEmail)
        MailTurn();
}

void CSendEmailDialog::OnQuote(wxCommandEvent&)
{
    if (m_replyShown)
        Control<wxTextCtrl>(this, ID_SENDEMAIL_TEXT)->WriteText(ToWx(EmailTurn::AppendQuoted(m_opponentMessage, 80)));
}

void CSendEmailDialog::OnMessageSelected(wxCommandEvent&)
{
    if (m_replyShown)
        ShowMessagePage();
}

void CSendEmailDialog::OnReplySelected(wxCommandEvent&)
{
    if (!m_replyShown)
        ShowReplyPage();
}

void CSendEmailDialog::OnOfferDrawClicked(wxCommandEvent&)
{
    if (IsOfferDrawTicked())
        Control<wxCheckBox>(this, ID_SENDEMAIL_RESIGN)->SetValue(false);
}

void CSendEmailDialog::OnResignClicked(wxCommandEvent&)
{
    if (IsResignTicked())
        Control<wxCheckBox>(this, ID_SENDEMAIL_OFFER_DRAW)->SetValue(false);
}

void CSendEmailDialog::OnClose(wxCloseEvent& event)
{
    if (!event.CanVeto()) {
        event.Skip();
        return;
    }
    event.Veto();
    if (m_sending || !m_owner)
        return;
    CChessApp* app = GetChessApp();
    if (app && app->m_frame) {
        wxCommandEvent endGame(wxEVT_MENU, ID_MENU_END_GAME);
        app->m_frame->GetEventHandler()->AddPendingEvent(endGame);
    }
}

void CSendEmailDialog::OnRestoreTimer(wxTimerEvent&)
{
    Restore();
}
