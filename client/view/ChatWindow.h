#pragma once

// The chat pane under the board: a read-only transcript above a one-line
// input and a "Send" button. The user's lines go to the current game, which
// forwards them to the opponent when it has one; the games add the
// opponent's lines and notices. Lines reach the window in one batch per
// turn of the event loop, with at most one chat sound, and the transcript
// keeps only its newest lines (CChatTranscript), so a peer that floods the
// chat cannot hold the window.

#include <wx/defs.h>
#include <wx/sashwin.h>
#include <wx/laywin.h>

#include <deque>

#include "client/view/ChatTranscript.h"
#include "foundation/String.h"

class wxTextCtrl;

class CChatWindow : public wxSashLayoutWindow {
public:
    static constexpr int kTranscriptId = 10001;
    static constexpr int kInputId = 10002;
    static constexpr int kSendId = 10003;

    // Creation by name; Create must follow.
    CChatWindow();
    CChatWindow(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& position = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxCLIP_CHILDREN | wxSW_3D,
                const wxString& name = "Chat");
    bool Create(wxWindow* parent, wxWindowID id = wxID_ANY, const wxPoint& position = wxDefaultPosition,
                const wxSize& size = wxDefaultSize, long style = wxCLIP_CHILDREN | wxSW_3D,
                const wxString& name = "Chat");

    // A line "name: text", the name in bold; the batch it joins plays the
    // chat sound once.
    void AddMessage(const Zorlin::CString& name, const Zorlin::CString& text);
    // A line in red italics; no sound.
    void AddNotice(const Zorlin::CString& text);
    void Clear();
    // Puts the waiting batch into the window now (it also goes there by
    // itself at the next turn of the event loop).
    void ShowBatch();
    const CChatTranscript& GetLines() const { return m_lines; }
    // How many times the chat sound was asked for.
    int GetSoundCount() const { return m_sounds; }
    // The user's line: into the transcript, then to the current game.
    void SendLine(const Zorlin::CString& name, const Zorlin::CString& text);

    // The transcript as plain text, and the input line.
    Zorlin::CString GetTranscriptText() const;
    wxTextCtrl* GetTranscript() const { return m_transcript; }
    wxTextCtrl* GetInput() const { return m_input; }
    // How many lines the user has sent.
    int GetSentCount() const { return m_sent; }

private:
    void Construct();
    void Send();
    void AppendLine(const CChatTranscript::SLine& line);
    void Rebuild();
    void ShowLines();
    void PlayChatSound();
    void ScrollToEnd();
    void OnSize(wxSizeEvent& event);
    void OnTextEnter(wxCommandEvent& event);
    void OnSendButton(wxCommandEvent& event);
    void OnInputKey(wxKeyEvent& event);

    bool m_firstLine;
    wxTextCtrl* m_transcript;
    wxTextCtrl* m_input;
    int m_sent;
    CChatTranscript m_lines;
    // The window's length (in its own characters) of each line it shows,
    // the line break before it included.
    std::deque<long> m_shownLengths;
    bool m_batchQueued;
    int m_sounds;

    wxDECLARE_DYNAMIC_CLASS_NO_COPY(CChatWindow);
    wxDECLARE_EVENT_TABLE();
};
