// Opening a transport file: what it holds decides where it goes.

#include "client/core/ChessFrame.h"

#include "client/core/ChessApp.h"
#include "client/core/Prompt.h"

using Zorlin::CString;

bool CChessApp::OpenTransportFile(const char* path)
{
    CString text("Rookwell can not open files of this kind yet:\n\n");
    text += path ? path : "";
    GetPrompt().ShowMessage(text, "Open", wxOK | wxICON_INFORMATION, m_frame);
    return false;
}
