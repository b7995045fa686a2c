#include "client/core/WxText.h"

#include <cstring>

wxString ToWx(const char* text)
{
    if (!text || !*text)
        return wxString();
    wxString out = wxString::FromUTF8(text);
    if (out.empty())
        out = wxString(text, wxConvISO8859_1);
    return out;
}

wxString ToWx(const Zorlin::CString& text)
{
    if (text.IsEmpty())
        return wxString();
    // FromUTF8 with a length keeps embedded zero bytes out of the question.
    wxString out = wxString::FromUTF8(text.GetText(), size_t(text.GetLength()));
    if (out.empty())
        out = wxString(text.GetText(), wxConvISO8859_1, size_t(text.GetLength()));
    return out;
}

Zorlin::CString FromWx(const wxString& text)
{
    wxScopedCharBuffer utf8 = text.utf8_str();
    Zorlin::CString out;
    out.Append(utf8.data(), int(utf8.length()));
    return out;
}
