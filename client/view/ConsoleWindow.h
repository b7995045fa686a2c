#pragma once

// A plain text window that keeps a transcript of what its owner writes:
// the application's start-up facts and moves, an engine's dialogue, the
// online session's and network game's traffic. The title names the log
// file "logs/<title>.log" of the program folder. With the program setting
// Debug on, the window is shown and every write reaches the file at once;
// otherwise the window stays hidden and the file is written whole when the
// console goes.

#include <wx/frame.h>

#include "foundation/String.h"

class wxTextCtrl;

class CConsoleWindow : public wxFrame {
public:
    // Null parent: a top-level window that its owner destroys.
    CConsoleWindow(wxWindow* parent, const char* title);
    ~CConsoleWindow() override;

    CConsoleWindow& Write(const char* text);
    CConsoleWindow& Print(const char* text) { return Write(text); }
    CConsoleWindow& PrintString(const Zorlin::CString& text) { return Write(text.GetText()); }
    CConsoleWindow& NewLine() { return Write("\n"); }

    const Zorlin::CString& GetTranscript() const { return m_transcript; }
    const Zorlin::CString& GetLogPath() const { return m_logPath; }
    bool IsDebug() const { return m_debug; }

    // A hidden console must never keep the program running after the frame.
    bool ShouldPreventAppExit() const override { return false; }

    // The log file's name for a title: characters that would leave the
    // logs folder or upset a file system become '_'.
    static Zorlin::CString LogFileName(const char* title);

private:
    void OnSize(wxSizeEvent& event);
    void OnClose(wxCloseEvent& event);
    void AppendToLog(const char* text, bool truncate);

    wxTextCtrl* m_text;
    Zorlin::CString m_title;
    Zorlin::CString m_transcript;
    // Kept from construction: the console may outlive the application's drives.
    Zorlin::CString m_logPath;
    bool m_debug;

    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CConsoleWindow);
    wxDECLARE_EVENT_TABLE();

    CConsoleWindow();
};
