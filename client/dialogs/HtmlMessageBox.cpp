#include "client/dialogs/HtmlMessageBox.h"

#include <memory>

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/log.h>
#include <wx/module.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "client/core/AppServices.h"
#include "client/core/WxText.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/Icons.h"
#include "client/dialogs/LinkHandler.h"
#include "client/dialogs/MessagePlacement.h"
#include "client/view/NavigationPolicy.h"
#include "client/view/ViewHost.h"
#include "foundation/AutoPointer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/Image.h"
#include "foundation/URL.h"

using namespace Zorlin;

namespace {

const int kRgbFormat = 19; // bytes red, green, blue: the toolkit's image layout

std::unique_ptr<wxBitmap> g_background;
int g_backgroundLoads = 0;

// Frees the shared picture while the toolkit still runs.
class CHtmlMessageModule : public wxModule {
public:
    bool OnInit() override { return true; }
    void OnExit() override { g_background.reset(); }

private:
    wxDECLARE_DYNAMIC_CLASS(CHtmlMessageModule);
};

wxIMPLEMENT_DYNAMIC_CLASS(CHtmlMessageModule, wxModule);

CString ColourText(const wxColour& colour)
{
    CString text;
    text.AppendFormat("\"#%02X%02X%02X\"", colour.Red(), colour.Green(), colour.Blue());
    return text;
}

} // namespace

// ---------------------------------------------------------------- view

CHtmlView::CHtmlView(CHtmlMessageBox* box, wxWindowID id)
    : wxHtmlWindow(box, id, wxDefaultPosition, wxDefaultSize, wxHW_SCROLLBAR_AUTO, "htmlWindow"), m_box(box)
{
}

void CHtmlView::OnLinkClicked(const wxHtmlLinkInfo& link)
{
    m_box->FollowLinkLater(FromWx(link.GetHref()));
}

wxHtmlOpeningStatus CHtmlView::OnOpeningURL(wxHtmlURLType type, const wxString& url, wxString*) const
{
    // The box shows its own page only; pictures come from the disk.
    if (type == wxHTML_URL_PAGE)
        return wxHTML_BLOCK;
    return IsOutsideAddress(FromWx(url)) ? wxHTML_BLOCK : wxHTML_OPEN;
}

// ---------------------------------------------------------------- box

wxBEGIN_EVENT_TABLE(CHtmlMessageBox, wxDialog)
    EVT_PAINT(CHtmlMessageBox::OnPaint)
    EVT_CLOSE(CHtmlMessageBox::OnCloseWindow)
    EVT_BUTTON(ID_HTMLMESSAGE_OK, CHtmlMessageBox::OnOk)
    EVT_CHAR_HOOK(CHtmlMessageBox::OnCharHook)
wxEND_EVENT_TABLE()

CHtmlMessageBox::CHtmlMessageBox(wxWindow* parent, const CString& title, bool popupStyle)
    : wxDialog(parent, wxID_ANY, ToWx(title), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxCLIP_CHILDREN),
      m_linkHandler(nullptr), m_view(nullptr), m_drawBackground(true)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_view = new CHtmlView(this, ID_HTMLMESSAGE_PAGE);
    SetSize(kInitialWidth, kInitialHeight);
    wxIcon icon;
    icon.CopyFromBitmap(GetAppIcon(1));
    SetIcon(icon);
    if (popupStyle)
        HtmlMessageBareLayout(this, false, true);
    else
        HtmlMessageLayout(this, false, true);
    SetSize(kInitialWidth, kInitialHeight);
    Layout();
    Centre(wxBOTH);
    if (!g_background)
        MakeBackground();
    if (g_background && g_background->IsOk())
        m_view->SetBackgroundImage(*g_background);
}

CHtmlMessageBox::~CHtmlMessageBox()
{
    // The box may have covered the board.
    GetViewHost().RequestBoardRedraw();
}

void CHtmlMessageBox::MakeBackground()
{
    wxBusyCursor busy;
    ++g_backgroundLoads;
    CImage picture;
    CAutoPointer<CFile> file =
        GetAppServices().GetProgramDrive().OpenFile(CURL("/assets/images/misc/dialogback.jpg"), CFile::kModeRead);
    if (file->IsOpen())
        picture.Load(*file, kRgbFormat);
    file.Delete();
    g_background.reset(new wxBitmap());
    if (!picture.HasPixels())
        return;
    wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
    const int alpha = 200;
    const int fill[3] = {face.Red() * alpha >> 8, face.Green() * alpha >> 8, face.Blue() * alpha >> 8};
    int width = picture.GetWidth(), height = picture.GetHeight();
    wxImage image(width, height, false);
    unsigned char* out = image.GetData();
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = picture.GetRow(y);
        for (int x = 0; x < width * 3; ++x)
            *out++ = (unsigned char)(fill[x % 3] + (row[x] * (255 - alpha) >> 8));
    }
    *g_background = wxBitmap(image);
}

int CHtmlMessageBox::GetBackgroundLoadCount()
{
    return g_backgroundLoads;
}

const wxBitmap* CHtmlMessageBox::GetBackground()
{
    return g_background.get();
}

void CHtmlMessageBox::SetHtml(const CString& text)
{
    m_text = text;
    m_page.Truncate(0);
    m_page.Reserve(1024);
    m_page.Append("<html><body bgcolor=");
    m_page.Append(ColourText(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE)));
    m_page.Append(" text=");
    m_page.Append(ColourText(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT)));
    m_page.Append("><font face=\"arial,Helvetica,san-serif\">");
    m_page.Append(text);
    m_page.Append("</font></body></html>");
    {
        wxLogNull quiet;
        m_view->SetPage(ToWx(m_page));
    }
    Layout();
    int pageHeight = m_view->GetInternalRepresentation() ? m_view->GetInternalRepresentation()->GetHeight() : 0;
    int areaHeight = m_view->GetClientSize().y;
    if (pageHeight > areaHeight) {
        wxSize size = GetSize();
        int wanted = size.y + pageHeight - areaHeight;
        int display = wxDisplay::GetFromWindow(this);
        wxRect work = wxDisplay(display == wxNOT_FOUND ? 0u : unsigned(display)).GetClientArea();
        if (work.height > 0 && wanted > work.height)
            wanted = work.height;
        SetSize(size.x, wanted);
        Layout();
    }
    Centre(wxBOTH);
}

void CHtmlMessageBox::FollowLinkLater(const CString& link)
{
    CallAfter([this, link]() { FollowLink(link); });
}

void CHtmlMessageBox::FollowLink(const CString& link)
{
    if (IsOutsideAddress(link))
        GetViewHost().OpenUrl(link);
    else
        OnLink(link);
}

void CHtmlMessageBox::OnLink(const CString& link)
{
    if (m_linkHandler && m_linkHandler->HandleLink(link))
        Close(true);
}

void CHtmlMessageBox::DrawBackground(wxDC& dc, int xOffset, int yOffset)
{
    if (!m_drawBackground || !g_background || !g_background->IsOk())
        return;
    wxSize client = GetClientSize();
    int width = g_background->GetWidth(), height = g_background->GetHeight();
    int left = -((width - client.x) / 2) - xOffset;
    int top = -((height - client.y) / 2) - yOffset;
    while (left > 0)
        left -= width;
    while (top > 0)
        top -= height;
    for (int y = top; y < client.y; y += height)
        for (int x = left; x < client.x; x += width)
            dc.DrawBitmap(*g_background, x, y, false);
}

void CHtmlMessageBox::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
    DrawBackground(dc, 0, 0);
}

void CHtmlMessageBox::Finish()
{
    // A box shown modally is destroyed by whoever showed it.
    if (IsModal()) {
        EndModal(wxID_OK);
        return;
    }
    Hide();
    Destroy();
}

void CHtmlMessageBox::OnCloseWindow(wxCloseEvent&)
{
    Finish();
}

void CHtmlMessageBox::OnOk(wxCommandEvent&)
{
    Finish();
}

void CHtmlMessageBox::OnCharHook(wxKeyEvent& event)
{
    switch (event.GetKeyCode()) {
    case WXK_RETURN:
    case WXK_NUMPAD_ENTER:
    case WXK_ESCAPE:
        // As the close box: a popup's close link (a request's decline) is followed.
        Close();
        return;
    default:
        event.Skip();
    }
}

void CHtmlMessageBox::ShowBeside(const wxRect& avoid)
{
    ShowOffFrame(wxRect(), avoid);
}

void CHtmlMessageBox::ShowOffFrame(const wxRect& frame, const wxRect& avoid)
{
    int display = wxDisplay::GetFromPoint(avoid.GetPosition());
    wxRect work = wxDisplay(display == wxNOT_FOUND ? 0u : unsigned(display)).GetClientArea();
    wxSize size = GetSize();
    SMessageRect board{avoid.x, avoid.y, avoid.width, avoid.height};
    SMessageRect screen{work.x, work.y, work.width, work.height};
    SMessageRect place = frame.IsEmpty()
                             ? PlaceMessage(board, size.x, size.y, screen)
                             : PlaceMessageOffFrame({frame.x, frame.y, frame.width, frame.height}, board, size.x,
                                                    size.y, screen);
    Move(place.x, place.y);
    Show(true);
    Raise();
    if (wxWindow* ok = FindWindow(ID_HTMLMESSAGE_OK))
        ok->SetFocus();
    else
        SetFocus();
}

CHtmlMessageBox* CHtmlMessageBox::FindOpen(const CString& title, const CString& text)
{
    for (wxWindow* window : wxTopLevelWindows) {
        CHtmlMessageBox* box = dynamic_cast<CHtmlMessageBox*>(window);
        if (box && !box->IsBeingDeleted() && box->IsShown() && FromWx(box->GetTitle()) == title &&
            box->GetText() == text)
            return box;
    }
    return nullptr;
}

CHtmlMessageBox* CHtmlMessageBox::FindTitled(const CString& title)
{
    for (wxWindow* window : wxTopLevelWindows) {
        CHtmlMessageBox* box = dynamic_cast<CHtmlMessageBox*>(window);
        if (box && !box->IsBeingDeleted() && box->IsShown() && FromWx(box->GetTitle()) == title)
            return box;
    }
    return nullptr;
}

void CHtmlMessageBox::CloseParentless()
{
    wxWindowList windows = wxTopLevelWindows;
    for (wxWindow* window : windows) {
        CHtmlMessageBox* box = dynamic_cast<CHtmlMessageBox*>(window);
        if (box && !box->GetParent() && !box->IsBeingDeleted()) {
            box->Hide();
            box->Destroy();
        }
    }
}
