// The invitation to a hosted game: a small configuration file carrying this
// machine's address, mailed to the opponent or, when mail fails, saved
// where the user chooses so it can be passed on another way.

#include <wx/filedlg.h>

#include "client/core/AppServices.h"
#include "client/core/ChessApp.h"
#include "client/core/Prompt.h"
#include "client/remote/MachineAddresses.h"
#include "client/remote/MailHandOver.h"
#include "client/remote/NetworkDialogs.h"
#include "foundation/Config.h"

using Zorlin::CConfig;
using Zorlin::CString;

namespace {

void OfferToSave(const CConfig& invitation, wxWindow* parent)
{
    CString path;
    if (!GetPrompt().AskFile("Save the invitation to pass it on", CString(), "invite.rwf", "Invitations (*.rwf)|*.rwf",
                             wxFD_SAVE | wxFD_OVERWRITE_PROMPT, parent, path) ||
        path.IsEmpty())
        return;
    if (!invitation.WriteDiskFile(path, true))
        GetPrompt().ShowMessage("The invitation could not be saved.", "Mail not sent", wxOK | wxICON_ERROR, parent);
}

} // namespace

void SendNetworkInvitation(wxWindow* parent)
{
    const CString address = ClassifyMachineAddresses(ListMachineAddresses()).Best();
    CString to;
    {
        CEmailInvitationDialog dialog(parent, to);
        dialog.ShowModal();
    }
    if (to.IsEmpty())
        return;

    const CString sender = GetAppServices().GetUserSettings().GetValueOr("profile.name", "");
    CConfig invitation;
    invitation.GetValue("type") = "network invite";
    invitation.GetValue("from") = sender;
    invitation.GetValue("ip") = address;

    if (!HasMailProgram()) {
        GetPrompt().ShowMessage("There was a problem opening your mail application", "Mail not sent",
                                wxOK | wxICON_ERROR, parent);
        OfferToSave(invitation, parent);
        return;
    }
    CChessApp* app = GetChessApp();
    const CString path = app && app->m_programDrive ? app->m_programDrive->GetWritablePath(Zorlin::CURL("/invite.rwf"))
                                                    : CString("invite.rwf");
    if (!invitation.WriteDiskFile(path, true)) {
        GetPrompt().ShowMessage("There was a problem sending mail.", "Mail not sent", wxOK | wxICON_ERROR, parent);
        OfferToSave(invitation, parent);
        return;
    }
    SMailToSend mail;
    mail.to = to;
    mail.subject = "Invitation to play Rookwell";
    mail.body = InvitationText(GetAppServices().GetProgramSettings().GetValueOr("text.networkinvite", ""), sender,
                               address);
    mail.attachmentPath = path;
    mail.attachmentName = "invite.rwf";
    mail.notice = "Please Wait. Sending mail...";
    // Input is shut off while the mail program takes it: the host dialog
    // cannot be used (or this command run again) under the send.
    const bool sent = HandMailOver(mail) == EMailHandOver::kSent;
    if (sent) {
        GetPrompt().ShowMessage("Invitation mail has been placed in your Outbox.\n\nYou may have to click 'send' in "
                                "your mail application.\n\nStart the server and wait for your opponent to join. :)",
                                "Mail Sent", wxOK, parent);
        return;
    }
    GetPrompt().ShowMessage("There was a problem sending mail.", "Mail not sent", wxOK | wxICON_ERROR, parent);
    OfferToSave(invitation, parent);
}
