#pragma once

#include <functional>

#include "foundation/Array.h"
#include "foundation/String.h"

class wxWindow;

// The one way the client asks the user something: message boxes, yes/no
// questions, choice lists, text prompts and file choosers all go through the
// current prompt, so tests can script the answers and never block on a modal
// window. Styles are the toolkit's message box bits (wxOK, wxYES_NO,
// wxCANCEL, wxICON_*; wxFD_* for files); answers are wxOK, wxYES, wxNO or
// wxCANCEL.
class CPrompt {
public:
    virtual ~CPrompt() = default;

    virtual int ShowMessage(const Zorlin::CString& text, const Zorlin::CString& caption, long style,
                            wxWindow* parent) = 0;
    // The index of the chosen entry, or -1 when cancelled.
    virtual int AskChoice(const Zorlin::CString& message, const Zorlin::CString& caption,
                          const Zorlin::CArray<Zorlin::CString>& choices, wxWindow* parent,
                          int width, int height) = 0;
    // False when cancelled; text holds the default on entry, the answer after.
    virtual bool AskText(const Zorlin::CString& message, const Zorlin::CString& caption,
                         Zorlin::CString& text, wxWindow* parent) = 0;
    // False when cancelled; path holds the chosen file.
    virtual bool AskFile(const Zorlin::CString& message, const Zorlin::CString& folder,
                         const Zorlin::CString& file, const Zorlin::CString& wildcard, long style,
                         wxWindow* parent, Zorlin::CString& path) = 0;
    // The colour chooser opened on red, green and blue (0 to 255 each):
    // false when cancelled, else the channels hold the chosen colour.
    virtual bool AskColour(const Zorlin::CString& caption, int& red, int& green, int& blue, wxWindow* parent);

    // A Yes/No question with a question icon: true for Yes.
    bool AskYesNo(const Zorlin::CString& text, const Zorlin::CString& caption, wxWindow* parent);
};

// A save dialog as on any desktop: a name typed without an extension gets
// the filter's, and an existing file is replaced only after a Yes to
// "<name> already exists." (asked by us, so every prompt asks it; No goes
// back to the dialog). own may be replaced without asking.
struct SSaveFile {
    const char* title = "";
    Zorlin::CString folder;
    Zorlin::CString file;
    const char* filter = "";
    const char* caption = "";
    Zorlin::CString own;
};
bool AskFileToSave(const SSaveFile& dialog, wxWindow* parent, Zorlin::CString& path);

// The prompt in use: the toolkit's real dialogs unless another was set.
CPrompt& GetPrompt();
// Makes prompt current and returns the previous one (null restores the
// toolkit's dialogs). The caller keeps ownership.
CPrompt* SetPrompt(CPrompt* prompt);

// The toolkit's modal dialogs.
class CWxPrompt : public CPrompt {
public:
    int ShowMessage(const Zorlin::CString& text, const Zorlin::CString& caption, long style,
                    wxWindow* parent) override;
    int AskChoice(const Zorlin::CString& message, const Zorlin::CString& caption,
                  const Zorlin::CArray<Zorlin::CString>& choices, wxWindow* parent, int width,
                  int height) override;
    bool AskText(const Zorlin::CString& message, const Zorlin::CString& caption, Zorlin::CString& text,
                 wxWindow* parent) override;
    bool AskFile(const Zorlin::CString& message, const Zorlin::CString& folder, const Zorlin::CString& file,
                 const Zorlin::CString& wildcard, long style, wxWindow* parent,
                 Zorlin::CString& path) override;
    bool AskColour(const Zorlin::CString& caption, int& red, int& green, int& blue, wxWindow* parent) override;
};

// Answers from a script, recording every question. Each question takes the
// next queued answer; with none queued, the responder (when set) decides;
// otherwise the question is counted as unexpected and gets the cautious
// answer: Cancel when offered, else No, else OK; -1 for a choice; false for
// text and files.
class CScriptedPrompt : public CPrompt {
public:
    // A colour question's text is its starting colour as "red,green,blue".
    enum Kind { kMessage, kChoice, kText, kFile, kColour };

    struct SQuestion {
        Kind kind = kMessage;
        Zorlin::CString text;
        Zorlin::CString caption;
        long style = 0;
        Zorlin::CArray<Zorlin::CString> choices;
        int width = 0;
        int height = 0;
        // File questions: the start folder and the proposed name.
        Zorlin::CString folder;
        Zorlin::CString file;
    };
    struct SAnswer {
        int code = 0;          // the button, or the choice index
        Zorlin::CString text;  // text prompts and files
        bool accepted = false; // text prompts and files
    };
    using Responder = std::function<SAnswer(const SQuestion&)>;

    CScriptedPrompt();
    ~CScriptedPrompt() override;
    // Installs itself as the current prompt and restores the previous one on
    // destruction.
    void Install();

    void QueueButton(int button);
    void QueueChoice(int index);
    void QueueText(const Zorlin::CString& text, bool accepted = true);
    void QueueColour(int red, int green, int blue, bool accepted = true);
    void SetResponder(Responder responder) { m_responder = std::move(responder); }

    int GetCount() const { return m_asked.GetCount(); }
    const SQuestion& GetQuestion(int i) const { return *m_asked.GetAt(i); }
    // How many questions found no scripted answer.
    int GetUnexpectedCount() const { return m_unexpected; }
    // The number of questions whose text equals text.
    int CountText(const char* text) const;
    void Clear();

    int ShowMessage(const Zorlin::CString& text, const Zorlin::CString& caption, long style,
                    wxWindow* parent) override;
    int AskChoice(const Zorlin::CString& message, const Zorlin::CString& caption,
                  const Zorlin::CArray<Zorlin::CString>& choices, wxWindow* parent, int width,
                  int height) override;
    bool AskText(const Zorlin::CString& message, const Zorlin::CString& caption, Zorlin::CString& text,
                 wxWindow* parent) override;
    bool AskFile(const Zorlin::CString& message, const Zorlin::CString& folder, const Zorlin::CString& file,
                 const Zorlin::CString& wildcard, long style, wxWindow* parent,
                 Zorlin::CString& path) override;
    bool AskColour(const Zorlin::CString& caption, int& red, int& green, int& blue, wxWindow* parent) override;

private:
    SAnswer Take(const SQuestion& question, const SAnswer& cautious);

    Zorlin::CArray<SQuestion> m_asked;
    Zorlin::CArray<SAnswer> m_queue;
    int m_next = 0;
    int m_unexpected = 0;
    Responder m_responder;
    CPrompt* m_previous = nullptr;
    bool m_installed = false;
};
