#include "client/view/HtmlText.h"

#include <cstring>

#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using namespace Zorlin;

namespace {

// Position of the first occurrence of needle at or after from, ignoring the
// case of ASCII letters; -1 when there is none.
int FindNoCase(const CString& text, const char* needle, int from)
{
    int n = int(std::strlen(needle));
    const char* t = text.GetText();
    for (int i = from; i + n <= text.GetLength(); ++i) {
        int k = 0;
        while (k < n && LowerCaseByte(uint8_t(t[i + k])) == LowerCaseByte(uint8_t(needle[k])))
            ++k;
        if (k == n)
            return i;
    }
    return -1;
}

} // namespace

CHtmlText::CHtmlText()
{
    SetGrowStep(kGrowStep);
}

CHtmlText::CHtmlText(const CString& text) : CString(text) {}

CHtmlText& CHtmlText::operator=(const CString& text)
{
    Assign(text);
    return *this;
}

bool CHtmlText::LoadFile(CFile& file)
{
    Truncate(0);
    if (!file.IsOpen())
        return false;
    AppendFile(file);
    return GetLength() > 0;
}

int CHtmlText::ExpandVariables(const CHtmlVariables& variables, bool removeUnknown)
{
    int count = 0;
    int pos = 0;
    while (pos < GetLength() - 1) {
        int start = 0;
        if (!Find("*[", &start, pos))
            break;
        int end = 0;
        if (!Find(']', &end, start + 2))
            break;
        CString name = Mid(start + 2, end - 1);
        name.Trim();
        const CString* value = variables.Find(name.GetText());
        if (value) {
            CString inserted(*value);
            Replace(start, end, inserted);
            pos = start + inserted.GetLength();
            ++count;
        } else if (removeUnknown) {
            // Go on where the field stood, so a field right after it is filled too.
            Delete(start, end);
            pos = start;
            ++count;
        } else {
            pos = end + 1;
        }
    }
    return count;
}

CHtmlText& CHtmlText::ExtractBody()
{
    int open = FindNoCase(*this, "<body", 0);
    if (open < 0)
        return *this;
    int tagEnd = 0;
    if (!Find('>', &tagEnd, open))
        return *this;
    int close = FindNoCase(*this, "</body", tagEnd + 1);
    if (close < 0)
        close = GetLength();
    Assign(Mid(tagEnd + 1, close - 1));
    return *this;
}

bool CHtmlText::NamesCharset() const
{
    int body = FindNoCase(*this, "<body", 0);
    int named = FindNoCase(*this, "charset=", 0);
    return named >= 0 && (body < 0 || named < body);
}

CHtmlText& CHtmlText::DeclareCharset(const char* charset)
{
    if (NamesCharset())
        return *this;
    int head = FindNoCase(*this, "<head", 0);
    int body = FindNoCase(*this, "<body", 0);
    int at = 0;
    int tagEnd = 0;
    if (head >= 0 && (body < 0 || head < body) && Find('>', &tagEnd, head))
        at = tagEnd + 1;
    CString meta("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=");
    meta.Append(charset);
    meta.Append("\">");
    Insert(at, meta);
    return *this;
}

CHtmlText& CHtmlText::BeginLink(const char* url)
{
    Append("<a href=\"");
    Append(url);
    Append("\">");
    return *this;
}

CHtmlText& CHtmlText::EndLink()
{
    Append("</a>");
    return *this;
}

CHtmlText& CHtmlText::BeginItalic()
{
    Append("<i>");
    return *this;
}

CHtmlText& CHtmlText::EndItalic()
{
    Append("</i>");
    return *this;
}

CHtmlText& CHtmlText::LineBreak()
{
    Append("<br>");
    return *this;
}

CHtmlText& CHtmlText::BeginParagraph(const char* align)
{
    if (!align) {
        Append("<P>");
        return *this;
    }
    Append("<P align= \"");
    Append(align);
    Append("\">");
    return *this;
}

CHtmlText& CHtmlText::AppendImage(const char* source, unsigned width, unsigned height, unsigned border)
{
    Append("<img src= \"");
    Append(source);
    Append("\" ");
    if (width != kNoSize)
        AppendFormat("width= \"%u\" ", width);
    if (height != kNoSize)
        AppendFormat("height= \"%u\" ", height);
    AppendFormat("border= \"%u\">", border);
    return *this;
}

CString GetLanguage(CConfig& userConfig)
{
    CString language = userConfig.GetValueOr("Preferences.Language", "english");
    language.Trim();
    if (!CURL::IsPlainName(language))
        return "english";
    return language;
}

CString GetHtmlFolder(const CString& language)
{
    return CString("/html/") + language + "/";
}

bool LoadTemplate(CDrive& drive, const char* path, CHtmlText& out)
{
    CAutoPointer<CFile> file = drive.OpenFile(CURL(path), CFile::kModeRead);
    if (!file.Get()) {
        out.Truncate(0);
        return false;
    }
    return out.LoadFile(*file.Get());
}
