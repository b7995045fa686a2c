#include "client/core/PromptLog.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "client/core/Prompt.h"

using Zorlin::CArray;
using Zorlin::CString;

namespace {

// A real toolkit prompt that also writes each exchange down, so code that
// asks whether the toolkit's dialogs are in use still gets its answer.
class CLoggingPrompt : public CWxPrompt {
public:
    explicit CLoggingPrompt(const char* path) : m_path(path) {}

    int ShowMessage(const CString& text, const CString& caption, long style, wxWindow* parent) override
    {
        Log("message", caption, text);
        return Answer(CWxPrompt::ShowMessage(text, caption, style, parent));
    }
    int AskChoice(const CString& message, const CString& caption, const CArray<CString>& choices,
                  wxWindow* parent, int width, int height) override
    {
        Log("choice", caption, message);
        return Answer(CWxPrompt::AskChoice(message, caption, choices, parent, width, height));
    }
    bool AskText(const CString& message, const CString& caption, CString& text, wxWindow* parent) override
    {
        Log("text", caption, message);
        bool ok = CWxPrompt::AskText(message, caption, text, parent);
        Write(std::string("answer\t") + (ok ? text.GetText() : "cancel"));
        return ok;
    }
    bool AskFile(const CString& message, const CString& folder, const CString& file, const CString& wildcard,
                 long style, wxWindow* parent, CString& path) override
    {
        Log("file", message, folder);
        bool ok = CWxPrompt::AskFile(message, folder, file, wildcard, style, parent, path);
        Write(std::string("answer\t") + (ok ? path.GetText() : "cancel"));
        return ok;
    }
    bool AskColour(const CString& caption, int& red, int& green, int& blue, wxWindow* parent) override
    {
        Log("colour", caption, "");
        bool ok = CWxPrompt::AskColour(caption, red, green, blue, parent);
        Write(ok ? "answer\t" + std::to_string(red) + "," + std::to_string(green) + "," + std::to_string(blue)
                 : "answer\tcancel");
        return ok;
    }

private:
    int Answer(int answer)
    {
        Write("answer\t" + std::to_string(answer));
        return answer;
    }
    // A line as the dialog opens, another with the answer when it closes;
    // line ends inside the text become "\n".
    void Log(const char* kind, const CString& caption, const CString& text)
    {
        std::string flat;
        for (const char* p = text.GetText(); *p; ++p) {
            if (*p == '\n')
                flat += "\\n";
            else if (*p != '\r')
                flat += *p;
        }
        Write(std::string(kind) + "\t" + caption.GetText() + "\t" + flat);
    }
    void Write(const std::string& line)
    {
        if (FILE* f = fopen(m_path.c_str(), "a")) {
            fprintf(f, "%s\n", line.c_str());
            fclose(f);
        }
    }

    std::string m_path;
};

} // namespace

void InstallPromptLogFromEnvironment()
{
    const char* path = getenv("ROOKWELL_PROMPT_LOG");
    if (path && *path)
        SetPrompt(new CLoggingPrompt(path));   // lives for the whole run
}
