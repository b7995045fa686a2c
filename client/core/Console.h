#pragma once

#include "foundation/String.h"

// A window that shows log text: the services of the console window that
// games, players and engines write their dialogue to. Deleting it closes the
// window.
class CConsole {
public:
    virtual ~CConsole() = default;
    // Appends the text as it stands.
    virtual void Write(const char* text) = 0;
    // Lets the window take input while a modal dialog runs, for as long as
    // it lives; a console without a window has nothing to enable.
    virtual void EnableBesideModals() {}
    void Print(const char* text) { Write(text); }
    void PrintString(const Zorlin::CString& text) { Write(text.GetText()); }
    void NewLine() { Write("\n"); }
};
