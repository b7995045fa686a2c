#pragma once

#include <wx/dialog.h>
#include <wx/html/htmlwin.h>

#include "foundation/String.h"

class CHtmlMessageBox;
class CLinkHandler;
class wxBitmap;

// The HTML area of a message box: shows the box's page, hands its link
// clicks to the box and loads nothing else.
class CHtmlView : public wxHtmlWindow {
public:
    CHtmlView(CHtmlMessageBox* box, wxWindowID id);

    void OnLinkClicked(const wxHtmlLinkInfo& link) override;
    wxHtmlOpeningStatus OnOpeningURL(wxHtmlURLType type, const wxString& url, wxString* redirect) const override;

private:
    CHtmlMessageBox* m_box;
};

// A modeless message window showing an HTML page on a muted picture. Web
// and mail links open outside; other links go to the link handler, which
// closes the box by answering true. Callers make it with new, SetHtml, set
// the handler and Show; the toolkit frees it when it closes.
class CHtmlMessageBox : public wxDialog {
public:
    static constexpr int kInitialWidth = 320;
    static constexpr int kInitialHeight = 160;

    CHtmlMessageBox(wxWindow* parent, const Zorlin::CString& title, bool popupStyle);
    ~CHtmlMessageBox() override;

    // Shows text as the page. A page taller than the area makes the box
    // taller by the overflow, but never taller than the screen's work area:
    // a longer page scrolls.
    void SetHtml(const Zorlin::CString& text);
    // A link that is not a web or mail address: asks the handler, and a
    // handled link closes the box with force. Nothing without a handler.
    virtual void OnLink(const Zorlin::CString& link);
    // Tiles the muted picture over the client area, one tile centred.
    void DrawBackground(wxDC& dc, int xOffset, int yOffset);

    // A link clicked in the HTML area, handled once the click is over.
    void FollowLinkLater(const Zorlin::CString& link);
    // Web and mail links go to the launcher; others to OnLink.
    void FollowLink(const Zorlin::CString& link);

    // Shows the box where it does not cover avoid (a screen rectangle, the
    // board), raised and ready to close with Return or Escape.
    void ShowBeside(const wxRect& avoid);
    // Beside the frame when there is room, else beside the board and the
    // frame's status bar.
    void ShowOffFrame(const wxRect& frame, const wxRect& board);
    // The text last given to SetHtml.
    const Zorlin::CString& GetText() const { return m_text; }
    // The open box with this title and text, or null.
    static CHtmlMessageBox* FindOpen(const Zorlin::CString& title, const Zorlin::CString& text);
    // The open box with this title, whatever it shows, or null.
    static CHtmlMessageBox* FindTitled(const Zorlin::CString& title);
    // Destroys every open box that has no parent (the frame's close: a
    // box left open would keep the program running).
    static void CloseParentless();

    void SetLinkHandler(CLinkHandler* handler) { m_linkHandler = handler; }
    CLinkHandler* GetLinkHandler() const { return m_linkHandler; }
    CHtmlView* GetView() const { return m_view; }
    const Zorlin::CString& GetPageText() const { return m_page; }
    void SetDrawBackground(bool draw) { m_drawBackground = draw; }

    // How often the shared background picture has been made (once per run).
    static int GetBackgroundLoadCount();
    // The background shared by every box; null until the first box.
    static const wxBitmap* GetBackground();

protected:
    CLinkHandler* m_linkHandler;

private:
    void OnPaint(wxPaintEvent& event);
    void OnCloseWindow(wxCloseEvent& event);
    void OnOk(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void Finish();
    static void MakeBackground();

    CHtmlView* m_view;
    Zorlin::CString m_page;
    Zorlin::CString m_text;
    bool m_drawBackground;

    wxDECLARE_EVENT_TABLE();
};
