#include "client/remote/MailHandOver.h"

#include <wx/app.h>
#include <wx/busyinfo.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "client/core/ChessApp.h"
#include "client/core/Prompt.h"
#include "client/remote/MapiMail.h"
#include "client/view/ConsoleWindow.h"
#include "foundation/Win32File.h"

using Zorlin::CFile;
using Zorlin::CString;
using Zorlin::CWin32File;

namespace {

void ToConsole(const CString& log)
{
    CChessApp* app = GetChessApp();
    if (app && app->m_console && !log.IsEmpty()) {
        app->m_console->Write(log.GetText());
        app->m_console->Write("\n");
    }
}

} // namespace

bool HasMailProgram()
{
    CMapiMail mail;
    return mail.m_usable;
}

EMailHandOver HandMailOver(const SMailToSend& mail)
{
    CMapiMail sender;
    if (!sender.m_usable) {
        ToConsole(sender.m_log);
        return EMailHandOver::kNoMailProgram;
    }
    CMapiMail::SRecipient recipient;
    recipient.address = mail.to;
    sender.m_recipients.push_back(recipient);
    sender.m_subject = mail.subject;
    sender.m_body = mail.body;
    if (!mail.attachmentPath.IsEmpty()) {
        CMapiMail::SAttachment attachment;
        attachment.path = mail.attachmentPath;
        attachment.fileName = mail.attachmentName;
        sender.m_attachments.push_back(attachment);
    }
    bool sent = false;
    {
        // Every window refuses input until the mail program has it: the
        // toolkit still runs, and a click must not end the game under us.
        wxWindowDisabler noInput;
        wxBusyInfo notice(mail.notice);
        if (wxTheApp)
            wxTheApp->Yield(true);
        sent = sender.Send();
    }
    ToConsole(sender.m_log);
    return sent ? EMailHandOver::kSent : EMailHandOver::kFailed;
}

bool SaveCopyAs(const CString& sourcePath, const char* title, const CString& name, const char* filter,
                const char* failure, wxWindow* parent)
{
    CString path;
    if (!GetPrompt().AskFile(title, "", name, filter, wxFD_SAVE | wxFD_OVERWRITE_PROMPT, parent, path) ||
        path.IsEmpty())
        return false;
    CWin32File source(sourcePath, CFile::kModeRead);
    CWin32File target(path, CFile::kModeWrite | CFile::kModeCreate);
    bool ok = source.IsOpen() && target.IsOpen();
    char buffer[8192];
    uint32_t left = ok ? source.GetSize32() : 0;
    while (ok && left > 0) {
        const unsigned chunk = left > sizeof buffer ? unsigned(sizeof buffer) : unsigned(left);
        ok = source.Read(buffer, chunk) && source.GetLastReadCount() == chunk && target.Write(buffer, chunk);
        left -= chunk;
    }
    if (!ok) {
        GetPrompt().ShowMessage(failure, "Problem", wxOK | wxICON_ERROR, parent);
        return false;
    }
    return true;
}
