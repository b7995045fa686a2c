#include "updater/UpdaterPrompt.h"

#include <cctype>

#include "foundation/NameText.h"

using Zorlin::CString;

void CConsolePrompt::Tell(const CString& text)
{
    std::fprintf(m_out, "Updater: %s\n", text.GetText());
    std::fflush(m_out);
}

bool CConsolePrompt::AskOkCancel(const CString& text)
{
    std::fprintf(m_out, "Updater: %s\n[OK/Cancel] ", text.GetText());
    std::fflush(m_out);
    char line[256];
    if (!m_in || !std::fgets(line, sizeof line, m_in)) {
        std::fprintf(m_out, "OK\n");
        return true;
    }
    return !IsCancelAnswer(CString(line));
}

bool CConsolePrompt::IsCancelAnswer(const CString& line)
{
    CString word;
    for (int i = 0; i < line.GetLength(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (!std::isspace(c))
            word += char(std::tolower(c));
    }
    return word == "cancel" || word == "c" || word == "no" || word == "n";
}

void CConsolePrompt::ShowProgress(int n, int count, const CString& path)
{
    if (count <= 0)
        return;
    std::fprintf(m_out, "Updater: copying %d of %d: %s\n", n, count, Zorlin::EscapeForLog(path).GetText());
    std::fflush(m_out);
}
