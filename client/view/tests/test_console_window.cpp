// The console window under a private X server, its log file on disk.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/init.h>

#include "client/core/AppServices.h"
#include "client/core/Console.h"
#include "client/view/ConsoleWindow.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "testsupport/XvfbDisplay.h"
#include "client/view/tests/support/GuiLeaks.h"

namespace {

class CFolderServices : public CAppServices {
public:
    explicit CFolderServices(const std::string& root) : m_drive(root.c_str()) {}
    Zorlin::CDrive& GetProgramDrive() override { return m_drive; }
    Zorlin::CDrive& GetUserDrive() override { return m_drive; }
    Zorlin::CConfig& GetProgramSettings() override { return m_program; }
    Zorlin::CConfig& GetUserSettings() override { return m_user; }
    CFrameView* GetFrameView() override { return nullptr; }
    CConsole* CreateConsole(const Zorlin::CString&) override { return nullptr; }
    void ShowHtmlMessage(const Zorlin::CString&, const Zorlin::CString&) override {}

    Zorlin::CDiskDrive m_drive;
    Zorlin::CConfig m_program;
    Zorlin::CConfig m_user;
};

class ConsoleWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!RookwellTest::SharedDisplay().IsReady())
            return;
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp);
        s_started = wxEntryStart(argc, argv);
        if (s_started)
            wxTheApp->CallOnInit();
    }
    static void TearDownTestSuite()
    {
        if (s_started)
            wxEntryCleanup();
        s_started = false;
    }
    void SetUp() override
    {
        if (!s_started)
            GTEST_SKIP() << "no X server";
        char pattern[] = "/tmp/console-XXXXXX";
        m_root = mkdtemp(pattern);
        mkdir((m_root + "/logs").c_str(), 0755);
        m_services.reset(new CFolderServices(m_root));
        m_previous = SetAppServices(m_services.get());
    }
    void TearDown() override
    {
        if (!s_started)
            return;
        SetAppServices(m_previous);
        std::system(("rm -rf '" + m_root + "'").c_str());
    }
    void SetDebug(const char* value) { m_services->m_program.GetValue(".Debug") = value; }
    std::string Log(const std::string& name)
    {
        std::ifstream in(m_root + "/logs/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Flush()
    {
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
    }

    static bool s_started;
    std::string m_root;
    std::unique_ptr<CFolderServices> m_services;
    CAppServices* m_previous = nullptr;
};

bool ConsoleWindow::s_started = false;

TEST_F(ConsoleWindow, WithDebugEveryWriteReachesTheFileAtOnce)
{
    SetDebug("YES");
    CConsoleWindow* console = new CConsoleWindow(nullptr, "Engine - Console");
    EXPECT_TRUE(console->IsShown());
    console->Write("usermove e2e4").NewLine();
    console->PrintString("move e7e5\n");
    std::string log = Log("Engine - Console.log");
    EXPECT_NE(log.find("\n-------------------------------------------\n"), std::string::npos);
    EXPECT_NE(log.find("usermove e2e4\nmove e7e5\n"), std::string::npos) << log;
    EXPECT_EQ(log, console->GetTranscript().GetText());
    console->Destroy();
    Flush();
    EXPECT_NE(Log("Engine - Console.log").find("move e7e5\n"), std::string::npos);
}

TEST_F(ConsoleWindow, WithoutDebugTheFileIsWrittenWholeAtTheEnd)
{
    SetDebug("false");
    CConsoleWindow* console = new CConsoleWindow(nullptr, "Network Game - Console");
    EXPECT_FALSE(console->IsShown());
    console->Write("hello ").Write("peer\n");
    EXPECT_EQ(Log("Network Game - Console.log"), "");
    std::string transcript = console->GetTranscript().GetText();
    console->Destroy();
    Flush();
    EXPECT_EQ(Log("Network Game - Console.log"), transcript);
    EXPECT_NE(transcript.find("hello peer\n"), std::string::npos);
}

TEST_F(ConsoleWindow, ASecondConsoleOfTheSameTitleStartsTheFileAgain)
{
    SetDebug("yes");
    CConsoleWindow* first = new CConsoleWindow(nullptr, "Shared");
    first->Write("first run\n");
    CConsoleWindow* second = new CConsoleWindow(nullptr, "Shared");
    second->Write("second run\n");
    std::string log = Log("Shared.log");
    EXPECT_EQ(log.find("first run"), std::string::npos);
    EXPECT_NE(log.find("second run"), std::string::npos);
    first->Destroy();
    second->Destroy();
    Flush();
}

TEST_F(ConsoleWindow, TheCloseBoxDoesNothingAndNoConsoleKeepsTheProgramAlive)
{
    SetDebug("yes");
    CConsoleWindow* console = new CConsoleWindow(nullptr, "Stays");
    EXPECT_FALSE(console->Close(false));
    Flush();
    EXPECT_TRUE(console->IsShown());
    EXPECT_FALSE(console->IsBeingDeleted());
    EXPECT_FALSE(console->ShouldPreventAppExit());
    console->Destroy();
    Flush();
}

TEST_F(ConsoleWindow, TitlesFromOutsideStayInsideTheLogsFolder)
{
    EXPECT_EQ(CConsoleWindow::LogFileName("../../etc/passwd"), ".._.._etc_passwd.log");
    EXPECT_EQ(CConsoleWindow::LogFileName("Gnu Chess 5 - Console"), "Gnu Chess 5 - Console.log");
    EXPECT_EQ(CConsoleWindow::LogFileName(".."), "console.log");
    EXPECT_EQ(CConsoleWindow::LogFileName(""), "console.log");
    SetDebug("yes");
    CConsoleWindow* console = new CConsoleWindow(nullptr, "../escape");
    console->Write("x\n");
    EXPECT_NE(Log(".._escape.log").find("x\n"), std::string::npos);
    EXPECT_NE(access((m_root + "/escape.log").c_str(), F_OK), 0);
    console->Destroy();
    Flush();
}

TEST_F(ConsoleWindow, AMissingLogsFolderIsNoError)
{
    std::system(("rm -rf '" + m_root + "/logs'").c_str());
    SetDebug("yes");
    CConsoleWindow* console = new CConsoleWindow(nullptr, "Nowhere");
    console->Write("still kept\n");
    EXPECT_NE(std::string(console->GetTranscript().GetText()).find("still kept"), std::string::npos);
    console->Destroy();
    Flush();
}

} // namespace

namespace {

TEST_F(ConsoleWindow, AFloodReachesTheWindowInOneBatchAsABoundedTail)
{
    SetDebug("no");
    CConsoleWindow* console = new CConsoleWindow(nullptr, "Flood - Console");
    Flush();
    // A megabyte without a line end, then ten thousand short lines.
    std::string endless(1 << 20, 'x');
    console->Write(endless.c_str());
    for (int i = 0; i < 10000; ++i)
        console->Write(("line " + std::to_string(i) + "\n").c_str());
    // Nothing is laid out while the owner writes: the batch comes next turn.
    EXPECT_EQ(console->GetShownText().find("line 9999"), wxString::npos);
    Flush();
    wxString shown = console->GetShownText();
    EXPECT_LE(shown.length(), size_t(CConsoleWindow::kShownTail));
    EXPECT_NE(shown.find("line 9999\n"), wxString::npos);
    EXPECT_EQ(shown.find("line 0\n"), wxString::npos);
    // The transcript keeps its bound too, and its newest text.
    EXPECT_LE(console->GetTranscript().GetLength(), CConsoleWindow::kTranscriptLimit + 64);
    EXPECT_NE(std::string(console->GetTranscript().GetText()).find("line 9999\n"), std::string::npos);

    // An over-long line is cut for the window, the next one shown whole.
    CConsoleWindow* second = new CConsoleWindow(nullptr, "Long - Console");
    second->Write((std::string(5000, 'y') + "\nshort line\n").c_str());
    Flush();
    wxString text = second->GetShownText();
    EXPECT_NE(text.find(wxString(CConsoleWindow::kShownLine, 'y') + " ...\nshort line\n"), wxString::npos);
    EXPECT_EQ(text.find(wxString(CConsoleWindow::kShownLine + 1, 'y')), wxString::npos);
    console->Destroy();
    second->Destroy();
    Flush();
}

} // namespace
