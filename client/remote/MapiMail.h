#pragma once

// One mail with attachments handed to the user's mail program. The desktop
// command named by the program setting "mail.command" (default xdg-email)
// gets the subject, the body, each recipient and each attachment as
// arguments of their own; no shell sees them. Attachments are first copied
// under the names the recipient is to see into a temporary folder of their
// own ("rookwell-mail-<pid>-..."). A mail program that keeps the command
// running reads them meanwhile: the folder goes when the command ends. A
// command that hands the mail on and returns leaves the folder for the
// program it started; the client's next start removes it.

#include <cstdint>
#include <vector>

#include "foundation/String.h"

class CMapiMail {
public:
    struct SRecipient {
        Zorlin::CString name;
        Zorlin::CString address;
        uint32_t recipientClass = 0; // 0 To, 1 Cc, 2 Bcc
    };
    struct SAttachment {
        Zorlin::CString path;     // the file to attach
        Zorlin::CString fileName; // the name the recipient sees
    };

    // How long Send waits for the command before it takes the mail as
    // handed over (a mail program may keep its compose window open).
    static const int kWaitMs = 20000;

    // Finds the command; usable says whether it was found.
    CMapiMail();

    // True when the command took the mail (it ended with status 0, or was
    // still running with the mail when the wait ran out).
    bool Send();

    // The argument list Send runs, the command first, with the attachments'
    // copies; empty when a recipient's address is unfit.
    std::vector<Zorlin::CString> MakeArguments(const std::vector<Zorlin::CString>& copies) const;

    // A plain address: no blanks, controls or quotes, not starting with "-"
    // (a command would take it for an option), one "@" with text each side.
    static bool IsMailAddress(const Zorlin::CString& address);
    // The name an attachment gets in the folder: the last component of
    // wanted, with anything a file name cannot hold replaced; never empty,
    // ".", ".." or hidden.
    static Zorlin::CString SafeFileName(const Zorlin::CString& wanted);
    // Frees what is left of commands that were still running when their
    // Send returned and have ended since; the count still running.
    static int ReleaseFinished();
    // Removes the attachment folders in the temporary folder (TMPDIR, else
    // /tmp) of clients that are no longer running; the count removed.
    static int RemoveStaleFolders();

    bool m_usable;
    Zorlin::CString m_command; // the program's path
    SRecipient m_originator;   // not sent
    std::vector<SRecipient> m_recipients;
    Zorlin::CString m_body;
    Zorlin::CString m_subject;
    std::vector<SAttachment> m_attachments;
    bool m_showDialog;
    Zorlin::CString m_log;
    int m_waitMs;
};
