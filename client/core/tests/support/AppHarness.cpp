#include "AppHarness.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/init.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include "client/core/ChessApp.h"
#include "client/core/ChessFrame.h"
#include "client/dialogs/DialogIds.h"
#include "client/dialogs/ProfileDialog.h"
#include "testsupport/XvfbDisplay.h"

namespace AppTest {

namespace {

int g_asserts = 0;

void CountAssert(const wxString& file, int line, const wxString&, const wxString& condition, const wxString& message)
{
    ++g_asserts;
    fprintf(stderr, "toolkit assertion %s:%d %s %s\n", (const char*)file.utf8_str(), line,
            (const char*)condition.utf8_str(), (const char*)message.utf8_str());
}

std::string BuildFolder()
{
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string path(buffer, n > 0 ? size_t(n) : 0);
    path = path.substr(0, path.rfind('/'));     // .../client
    return path.substr(0, path.rfind('/'));      // the build folder
}

bool Run(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}


// Looks for the first-run dialogs while the start-up runs: a timer, so that
// it fires inside their modal loops and never floods the event queue.
class CFirstRunAnswerer : public wxTimer {
public:
    CFirstRunAnswerer(CHarness::SFirstRun& record, const std::string& name) : m_record(record), m_name(name)
    {
        Start(20);
    }
    ~CFirstRunAnswerer() override { Stop(); }

    void Notify() override
    {
        for (wxWindow* window : wxTopLevelWindows) {
            wxDialog* dialog = dynamic_cast<wxDialog*>(window);
            if (!dialog || !dialog->IsModal())
                continue;
            if (dynamic_cast<CProfileIntroDialog*>(dialog)) {
                m_record.introShown = true;
                m_record.introFirst = !m_record.profileShown;
                Press(*dialog, ID_INTRO_OK);
            } else if (dynamic_cast<CProfileDialog*>(dialog)) {
                m_record.profileShown = true;
                m_record.profileTitle = std::string(dialog->GetTitle().utf8_str().data());
                wxWindow* cancel = dialog->FindWindow(ID_PROFILE_CANCEL);
                m_record.cancelEnabled = cancel && cancel->IsEnabled();
                wxTextCtrl* name = dynamic_cast<wxTextCtrl*>(dialog->FindWindow(ID_PROFILE_NAME));
                if (m_name.empty() || !name) {
                    dialog->Close();
                } else {
                    name->ChangeValue(wxString::FromUTF8(m_name.c_str()));
                    Press(*dialog, ID_PROFILE_OK);
                }
            }
            return;
        }
    }

private:
    CHarness::SFirstRun& m_record;
    std::string m_name;
};

} // namespace

CHarness::CHarness() : m_app(nullptr), m_started(false), m_onInitResult(false), m_argc(0)
{
    char pattern[] = "/tmp/appharness-XXXXXX";
    m_base = mkdtemp(pattern);
    m_folder = m_base + "/program folder";
}

CHarness::~CHarness()
{
    if (m_started)
        Stop();
    Run("rm -rf '" + m_base + "'");
}

bool CHarness::PrepareFolder(const std::string& appSettings)
{
    std::string build = BuildFolder();
    if (!Run("mkdir -p '" + m_folder + "' '" + m_base + "/bin' '" + m_base + "/home'") ||
        !Run("cp -r '" ROOKWELL_SOURCE "/data/.' '" + m_folder + "/'") ||
        !Run("cp '" + build + "/program/linkhop' '" + m_folder + "/linkhop'")) {
        m_error = "the program folder could not be made (is linkhop built?)";
        return false;
    }
    std::ofstream(m_folder + "/cfg/app.cfg", std::ios::app) << "\n" << appSettings << "\n";
    // No update checks from tests: they would reach for the network.
    Run("sed -i 's/^\\(\\s*\\)app = yes/\\1app = no/; s/^\\(\\s*\\)browser = yes/\\1browser = no/' '" + m_folder +
        "/assets/cfg/defaultuser.cfg'");
    std::ofstream opener(m_base + "/bin/xdg-open");
    opener << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << m_base << "/opened'\n";
    opener.close();
    chmod((m_base + "/bin/xdg-open").c_str(), 0755);
    return true;
}

bool CHarness::PrepareReturningUser(const std::string& preferences)
{
    if (!PrepareFolder("setuser = tester"))
        return false;
    if (mkdir(Path("users").c_str(), 0755) != 0 || mkdir(Path("users/tester").c_str(), 0755) != 0) {
        m_error = "no user folder";
        return false;
    }
    std::ofstream(Path("users/tester/user.cfg")) << "profile={id=ABC123\nname=Tess\n}\npreferences={" << preferences
                                                 << "}\n";
    return true;
}

bool CHarness::Start(const std::vector<std::string>& arguments, const std::string& startFolder)
{
    RookwellTest::CXvfbDisplay& display = RookwellTest::SharedDisplay();
    if (!display.IsReady()) {
        m_error = "no X server: " + display.GetError();
        return false;
    }
    setenv("HOME", (m_base + "/home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_base + "/home/.config").c_str(), 1);
    setenv("PATH", (m_base + "/bin:/usr/bin:/bin").c_str(), 1);
    setenv("ROOKWELL_PROGRAM_FOLDER", m_folder.c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (chdir((startFolder.empty() ? m_folder : startFolder).c_str()) != 0) {
        m_error = "no start folder";
        return false;
    }
    wxSetAssertHandler(CountAssert);
    m_argStorage = {m_folder + "/tavrin"};
    m_argStorage.insert(m_argStorage.end(), arguments.begin(), arguments.end());
    for (auto& a : m_argStorage)
        m_argv.push_back(&a[0]);
    m_argv.push_back(nullptr);
    m_argc = int(m_argStorage.size());

    m_prompt.Install();
    m_app = new CChessApp;
    wxApp::SetInstance(m_app);
    if (!wxEntryStart(m_argc, m_argv.data())) {
        m_error = "the toolkit did not start";
        return false;
    }
    m_started = true;
    {
        CFirstRunAnswerer answerer(m_firstRun, m_newUserName);
        m_onInitResult = m_app->CallOnInit();
    }
    return true;
}

void CHarness::Pump()
{
    if (!wxTheApp)
        return;
    wxTheApp->Yield(true);
    wxTheApp->ProcessIdle();
    wxMilliSleep(10);
}

void CHarness::Stop()
{
    if (!m_started)
        return;
    if (m_app->m_frame)
        m_app->m_frame->Close(false);
    PumpUntil([this] { return m_app->m_frame == nullptr; });
    m_app->OnExit();
    wxEntryCleanup();
    m_started = false;
    m_app = nullptr;
}

std::string CHarness::ReadFile(const std::string& relative) const
{
    std::ifstream in(Path(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool CHarness::Exists(const std::string& relative) const
{
    return access(Path(relative).c_str(), F_OK) == 0;
}

std::string CHarness::Asked()
{
    std::string all;
    for (int i = 0; i < m_prompt.GetCount(); ++i)
        all += std::string("[") + m_prompt.GetQuestion(i).caption.GetText() + "] " +
               m_prompt.GetQuestion(i).text.GetText() + "\n";
    return all;
}

std::vector<std::string> CHarness::OpenedAddresses() const
{
    std::ifstream in(m_base + "/opened");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

int CHarness::GetAssertCount()
{
    return g_asserts;
}

bool Press(wxWindow& dialog, int id)
{
    wxWindow* button = dialog.FindWindow(id);
    if (!button)
        return false;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
    return true;
}

} // namespace AppTest
