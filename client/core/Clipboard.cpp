#include "client/core/Clipboard.h"

#include <wx/clipbrd.h>
#include <wx/dataobj.h>

#include "client/core/WxText.h"

using Zorlin::CString;

namespace {

bool OpenClipboard()
{
    wxTheClipboard->UsePrimarySelection(false);
    return wxTheClipboard->Open();
}

bool OffersText()
{
    return wxTheClipboard->IsSupported(wxDF_UNICODETEXT) || wxTheClipboard->IsSupported(wxDF_TEXT);
}

} // namespace

bool PutClipboardText(const CString& text)
{
    if (!OpenClipboard())
        return false;
    bool placed = wxTheClipboard->SetData(new wxTextDataObject(ToWx(text)));
    if (placed)
        wxTheClipboard->Flush();
    wxTheClipboard->Close();
    return placed;
}

CString ClipboardText()
{
    CString text;
    if (!OpenClipboard())
        return text;
    if (OffersText()) {
        wxTextDataObject data;
        if (wxTheClipboard->GetData(data))
            text = FromWx(data.GetText());
    }
    wxTheClipboard->Close();
    return text;
}

bool ClipboardHasText()
{
    if (!OpenClipboard())
        return false;
    bool text = OffersText();
    wxTheClipboard->Close();
    return text;
}
