#pragma once

// One mail with one attachment handed to the user's mail program, as the
// turn window and a network invitation both send them: a busy notice while
// the program takes it, user input shut off meanwhile (the toolkit runs, so
// nothing may be closed under the sender), the sender's log in the console.

#include "foundation/String.h"

class wxWindow;

struct SMailToSend {
    Zorlin::CString to;
    Zorlin::CString subject;
    Zorlin::CString body;
    Zorlin::CString attachmentPath; // the file to attach
    Zorlin::CString attachmentName; // the name the recipient sees
    const char* notice = "Sending mail. Please wait..."; // shown while it goes
};

enum class EMailHandOver { kSent, kFailed, kNoMailProgram };

// Whether a mail program can be started at all (the program setting
// "mail.command").
bool HasMailProgram();
// Hands mail over; tells the user nothing (the callers have their texts).
EMailHandOver HandMailOver(const SMailToSend& mail);
// Copies the file at sourcePath to a file the user chooses (title, the
// proposed name, the filter); false when cancelled, or when it could not be
// written (then failure is shown).
bool SaveCopyAs(const Zorlin::CString& sourcePath, const char* title, const Zorlin::CString& name,
                const char* filter, const char* failure, wxWindow* parent);
