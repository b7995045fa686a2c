#include "client/core/HtmlText.h"

using Zorlin::CString;

CString EscapeHtml(const CString& text)
{
    CString out;
    out.Reserve(text.GetLength() + 16);
    for (int i = 0; i < text.GetLength(); ++i) {
        char c = text[i];
        switch (c) {
        case '<': out.Append("&lt;"); break;
        case '>': out.Append("&gt;"); break;
        case '&': out.Append("&amp;"); break;
        case '"': out.Append("&quot;"); break;
        case '\'': out.Append("&#39;"); break;
        // Pages are filled in stages and every stage looks for "*[name]"
        // again: a remote name must never become a field of a later one.
        case '[': out.Append("&#91;"); break;
        default: out.Append(c); break;
        }
    }
    return out;
}
