// Layouts of the HTML message boxes, the about box and the chat pane.

#include "client/dialogs/DialogIds.h"
#include "client/dialogs/DialogLayouts.h"
#include "client/dialogs/LayoutKit.h"

using namespace LayoutKit;

namespace {

wxBoxSizer* HtmlMessageBody(wxWindow* parent)
{
    wxBoxSizer* body = Column();
    wxBoxSizer* row = Row();
    AddFound(row, parent, ID_HTMLMESSAGE_PAGE, 1, GROW);
    Add(body, row, 1, GROW);
    return body;
}

} // namespace

wxSizer* HtmlMessageLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* body = HtmlMessageBody(parent);
    Add(body, Button(parent, ID_HTMLMESSAGE_OK, "&OK", nullptr, true));
    Add(top, body, 1, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* HtmlMessageBareLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    Add(top, HtmlMessageBody(parent), 1, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* AboutLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    AddFound(top, parent, ID_ABOUT_PAGE, 1, GROW);
    Add(top, Button(parent, ID_ABOUT_OK, "OK", nullptr, true), 0, GROW);
    return Finish(parent, top, callFit, setSizer);
}

wxSizer* ChatLayout(wxWindow* parent, bool callFit, bool setSizer)
{
    wxBoxSizer* top = Column();
    wxBoxSizer* history = Column();
    Add(history, Text(parent, ID_CHAT_HISTORY, wxSize(80, 10), wxTE_MULTILINE | wxTE_READONLY | wxTE_RICH,
                      "Chat with opponent", Font(11, wxFONTFAMILY_ROMAN)),
        1, GROW);
    Add(top, history, 1, GROW);
    wxBoxSizer* entry = Row();
    Add(entry, Text(parent, ID_CHAT_INPUT, wxSize(-1, 36), 0, "Type message to opponent here",
                    Font(11, wxFONTFAMILY_SWISS)),
        1, GROW);
    Add(entry, Button(parent, ID_CHAT_SEND, "Send", "Click to send message (or hit Return)", true, wxSize(44, 36)));
    Add(top, entry, 0, GROW);
    return Finish(parent, top, callFit, setSizer);
}
