#pragma once

#include <cstdio>

#include "foundation/String.h"

// How the updater talks to the user: message boxes with the caption
// "Updater" and no owner window. The program uses the toolkit's boxes when
// there is a display, and this console form otherwise.
class CUpdaterPrompt {
public:
    virtual ~CUpdaterPrompt() = default;
    // A message with an OK button.
    virtual void Tell(const Zorlin::CString& text) = 0;
    // A question with OK and Cancel: true for OK.
    virtual bool AskOkCancel(const Zorlin::CString& text) = 0;
    // Shows that file n of count (from 1) is being copied; count 0 ends
    // the showing.
    virtual void ShowProgress(int, int, const Zorlin::CString&) {}
};

// Messages go to out; a question reads one line from in, where "cancel",
// "c", "no" or "n" (any case) cancels and anything else, or no input at all,
// goes ahead: the user already chose to install in the client.
class CConsolePrompt : public CUpdaterPrompt {
public:
    CConsolePrompt(FILE* in, FILE* out) : m_in(in), m_out(out) {}

    void Tell(const Zorlin::CString& text) override;
    bool AskOkCancel(const Zorlin::CString& text) override;
    void ShowProgress(int n, int count, const Zorlin::CString& path) override;

    static bool IsCancelAnswer(const Zorlin::CString& line);

private:
    FILE* m_in;
    FILE* m_out;
};
