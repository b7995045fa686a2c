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
    // The window shows at most the last kShownTail bytes, each line cut at
    // kShownLine; text reaches it in one batch per turn of the event loop.
    static const int kShownTail = 1 << 16;
    static const int kShownLine = 1000;
    // The transcript kept in memory (for the log written at the end).
    static const int kTranscriptLimit = 1 << 23;

    // Null parent: a top-level window that its owner destroys.
    CConsoleWindow(wxWindow* parent, const char* title);
    ~CConsoleWindow() override;

    CConsoleWindow& Write(const char* text);
    CConsoleWindow& Print(const char* text) { return Write(text); }
    CConsoleWindow& PrintString(const Zorlin::CString& text) { return Write(text.GetText()); }
    CConsoleWindow& NewLine() { return Write("\n"); }

    const Zorlin::CString& GetTranscript() const { return m_transcript; }
    // Puts the text written since the last batch into the window.
    void Flush();
    // What the window shows.
    wxString GetShownText() const;
    const Zorlin::CString& GetLogPath() const { return m_logPath; }
    bool IsDebug() const { return m_debug; }

    // From now on the window takes input while a modal dialog runs: the
    // toolkit's modal grab holds only the windows of its own window group,
    // and this window gets a group of its own.
    void EnableBesideModals();

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
    Zorlin::CString m_pending;  // written, not yet in the window
    Zorlin::CString m_shown;    // the window's text
    int m_lineLength;           // bytes of the shown text's last line
    bool m_flushQueued;
    // Kept from construction: the console may outlive the application's drives.
    Zorlin::CString m_logPath;
    bool m_debug;
    bool m_ownGroup;

    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CConsoleWindow);
    wxDECLARE_EVENT_TABLE();

    CConsoleWindow();
};
