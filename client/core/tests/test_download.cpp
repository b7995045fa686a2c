// Fetching, downloading and the update check against a real web server on
// loopback (Python's http.server, started per test program).
#include "client/core/DownloadThread.h"
#include "client/core/Internet.h"
#include "client/core/Prompt.h"
#include "client/core/UpdateCheckThread.h"
#include "client/core/UpdateRecord.h"
#include "client/core/AppServices.h"
#include "client/core/Version.h"
#include "client/core/tests/support/FakeMediaHost.h"
#include "foundation/Config.h"
#include "foundation/DiskDrive.h"
#include "foundation/MemFile.h"

#include <gtest/gtest.h>
#include <wx/init.h>
#include <wx/msgdlg.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Zorlin::CConfig;
using Zorlin::CFile;
using Zorlin::CMemFile;

namespace {

const char* const kNoLink = "Could not connect.\nPlease check you are connected to the internet.";
const char* const kFetchFailed = "Could not connect.\n\nPlease check you are connected to the internet.";

// The fixture server, running for the whole test program.
class CWebServer {
public:
    CWebServer()
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        // Debian's own interpreter when there is one, else the first on PATH.
        const char* python = ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], 1);
            ::close(out[0]);
            std::string script = std::string(ROOKWELL_SOURCE) + "/client/core/tests/support/http_fixture.py";
            ::execlp(python, python, "-u", script.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        m_output = out[0];
        // The port is the first line that is a number.
        std::string line;
        char c;
        while (m_port == 0 && ::read(m_output, &c, 1) == 1) {
            if (c != '\n') {
                line += c;
                continue;
            }
            if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
                m_port = std::atoi(line.c_str());
            else
                std::fprintf(stderr, "fixture server said: %s\n", line.c_str());
            line.clear();
        }
    }
    ~CWebServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_output >= 0)
            ::close(m_output);
    }
    std::string Url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    int GetPort() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_output = -1;
    int m_port = 0;
};

CWebServer& Server()
{
    static CWebServer server;
    return server;
}

// A loopback port nobody listens on.
int ClosedPort()
{
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(s);
    return ntohs(address.sin_port);
}

std::string Contents(CMemFile& file)
{
    std::string out(file.GetSize(), '\0');
    file.Seek(0, CFile::kSeekStart);
    if (!out.empty())
        file.Read(&out[0], unsigned(out.size()));
    return out;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CFetched : public CMemFile {
public:
    CFetched() { Open("fetched", kModeRead | kModeWrite | kModeCreate); }
};

class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(Server().GetPort(), 0) << "the fixture server did not start";
        m_dir = fs::temp_directory_path() / ("download-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_target = m_dir / "live content" / "live.cfg";
        TakeDownloadFinished();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    SDownloadRequest Request(const std::string& path, bool quiet = false)
    {
        SDownloadRequest request;
        request.url = Server().Url(path);
        request.targetPath = m_target.string();
        request.quiet = quiet;
        request.validate = true;
        request.http.stallSeconds = 1;
        request.http.totalSeconds = 2;
        request.http.maxBytes = CDownloadThread::kMaxBytes;
        request.isConnected = [] { return true; };
        return request;
    }
    bool Download(const SDownloadRequest& request)
    {
        return CDownloadThread::Download(request, [this](const SWorkerNotice& n) { m_notices.push_back(n); });
    }
    void KeepOldFile()
    {
        fs::create_directories(m_target.parent_path());
        std::ofstream(m_target) << "old= content\r\n";
    }
    std::string OnlyNotice()
    {
        EXPECT_EQ(m_notices.size(), 1u);
        return m_notices.empty() ? std::string() : m_notices.back().text;
    }

    fs::path m_dir;
    fs::path m_target;
    std::vector<SWorkerNotice> m_notices;
};

TEST_F(DownloadTest, FetchCountsBytesAndFailsOnEveryKindOfTrouble)
{
    SHttpOptions quick;
    quick.stallSeconds = 1;
    quick.totalSeconds = 2;
    quick.maxBytes = 1 << 20;

    CFetched live;
    unsigned size = FetchUrl(Server().Url("/live.cfg").c_str(), live, quick);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(size, live.GetSize());
    EXPECT_EQ(Contents(live).substr(0, 5), "News=");

    CFetched redirected;
    EXPECT_EQ(FetchUrl(Server().Url("/redirect?to=/live.cfg").c_str(), redirected, quick), size);

    struct SCase {
        std::string url;
        const char* why;
    };
    std::vector<SCase> failures = {
        {Server().Url("/empty"), "an empty body"},
        {Server().Url("/status?code=404"), "404"},
        {Server().Url("/status?code=500"), "500 with a good-looking body"},
        {Server().Url("/slow"), "a server that stops sending"},
        {Server().Url("/big?bytes=1100000"), "more than the cap"},
        {"http://127.0.0.1:" + std::to_string(ClosedPort()) + "/live.cfg", "nobody listening"},
        {Server().Url("/redirect?to=file:///etc/passwd"), "a redirect off the web"},
        {"file:///etc/passwd", "not a web address"},
        {"ftp://127.0.0.1/x", "not a web address"},
        {"http://", "no host"},
    };
    for (const SCase& failure : failures) {
        CFetched out;
        EXPECT_EQ(FetchUrl(failure.url.c_str(), out, quick), 0u) << failure.why;
    }
    CFetched below;
    EXPECT_EQ(FetchUrl(Server().Url("/big?bytes=1000000").c_str(), below, quick), 1000000u) << "under the cap";
}

TEST_F(DownloadTest, ValidLiveContentReplacesTheFile)
{
    KeepOldFile();
    EXPECT_TRUE(Download(Request("/live.cfg")));
    EXPECT_EQ(ReadFile(m_target).substr(0, 5), "News=");
    EXPECT_TRUE(TakeDownloadFinished());
    EXPECT_FALSE(TakeDownloadFinished()) << "taken once";
    EXPECT_EQ(OnlyNotice(), "Download successful!");
    EXPECT_EQ(m_notices.back().caption, "Download File");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_target.parent_path()), fs::directory_iterator()), 1)
        << "no temporary file is left beside it";
}

TEST_F(DownloadTest, MissingFolderIsMade)
{
    EXPECT_TRUE(Download(Request("/live.cfg", true)));
    EXPECT_TRUE(fs::exists(m_target));
    EXPECT_TRUE(m_notices.empty()) << "quiet";
}

TEST_F(DownloadTest, FailuresLeaveTheOldFile)
{
    struct SCase {
        const char* path;
        const char* message;
    };
    for (SCase failure : {SCase{"/status?code=404", kFetchFailed}, SCase{"/status?code=500", kFetchFailed},
                          SCase{"/notlive.cfg", "Download failed."}, SCase{"/big?bytes=2000000", kFetchFailed},
                          SCase{"/slow", kFetchFailed}}) {
        KeepOldFile();
        m_notices.clear();
        EXPECT_FALSE(Download(Request(failure.path))) << failure.path;
        EXPECT_EQ(ReadFile(m_target), "old= content\r\n") << failure.path;
        EXPECT_EQ(OnlyNotice(), failure.message) << failure.path;
        EXPECT_FALSE(TakeDownloadFinished()) << failure.path;
    }
}

TEST_F(DownloadTest, UnvalidatedDownloadStillRefusesErrors)
{
    KeepOldFile();
    SDownloadRequest request = Request("/notlive.cfg");
    request.validate = false;
    EXPECT_TRUE(Download(request)) << "any body, when nobody asked for live content";
    request.url = Server().Url("/status?code=404");
    KeepOldFile();
    EXPECT_FALSE(Download(request));
    EXPECT_EQ(ReadFile(m_target), "old= content\r\n");
}

TEST_F(DownloadTest, ConnectionTestOnlyWhenNotQuiet)
{
    SDownloadRequest request = Request("/live.cfg");
    request.isConnected = [] { return false; };
    EXPECT_FALSE(Download(request));
    EXPECT_EQ(OnlyNotice(), kNoLink);
    EXPECT_FALSE(fs::exists(m_target)) << "nothing fetched";

    m_notices.clear();
    request.quiet = true;
    EXPECT_TRUE(Download(request)) << "a quiet download still tries";
    request.url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/live.cfg";
    KeepOldFile();
    EXPECT_FALSE(Download(request));
    EXPECT_TRUE(m_notices.empty()) << "and fails without a message";
    EXPECT_EQ(ReadFile(m_target), "old= content\r\n");
}

class UpdateCheckTest : public DownloadTest {
protected:
    SUpdateCheckRequest Check(const std::string& query, bool quiet)
    {
        SUpdateCheckRequest request;
        request.url = Server().Url("/version?" + query);
        request.targetPath = (m_dir / "live content" / "version.cfg").string();
        request.quiet = quiet;
        request.http.stallSeconds = 1;
        request.isConnected = [] { return true; };
        return request;
    }
    bool Run(const SUpdateCheckRequest& request)
    {
        m_version.Clear();
        return CUpdateCheckThread::Check(request, m_version,
                                         [this](const SWorkerNotice& n) { m_notices.push_back(n); });
    }
    CConfig m_version;
};

TEST_F(UpdateCheckTest, NewerVersionIsOfferedEvenWhenQuiet)
{
    for (bool quiet : {false, true}) {
        m_notices.clear();
        EXPECT_TRUE(Run(Check("major=1&minor=25&url=https://example.org/get", quiet)));
        ASSERT_EQ(m_notices.size(), 1u);
        EXPECT_EQ(m_notices[0].kind, SWorkerNotice::kAskOpenUrl);
        EXPECT_EQ(m_notices[0].url, "https://example.org/get");
        EXPECT_EQ(m_notices[0].caption, "Check for updates");
        EXPECT_EQ(m_notices[0].text,
                  "An newer version of Rookwell is available for download.\n\nGo to download page?");
    }
    EXPECT_NE(ReadFile(m_dir / "live content" / "version.cfg").find("Minor= 25"), std::string::npos)
        << "the version file is kept";
    EXPECT_EQ(m_version.GetValueOr("version.minor", ""), Zorlin::CString("25"));
}

TEST_F(UpdateCheckTest, SameVersionSaysSoUnlessQuiet)
{
    EXPECT_TRUE(Run(Check("major=1&minor=24", false)));
    EXPECT_EQ(OnlyNotice(), "You are running the latest version.");
    m_notices.clear();
    EXPECT_TRUE(Run(Check("major=1&minor=24", true)));
    EXPECT_TRUE(m_notices.empty());
}

TEST_F(UpdateCheckTest, UnusableVersionFiles)
{
    for (const char* query : {"minor=30", "", "url=http://x/"}) {
        m_notices.clear();
        EXPECT_FALSE(Run(Check(query, false))) << query;
        EXPECT_EQ(OnlyNotice(), "Unable to download version file.") << query;
    }
    m_notices.clear();
    SUpdateCheckRequest notFound = Check("", true);
    notFound.url = Server().Url("/status?code=404");
    EXPECT_FALSE(Run(notFound));
    EXPECT_TRUE(m_notices.empty());
    EXPECT_FALSE(fs::exists(m_dir / "live content" / "version.cfg"));

    SUpdateCheckRequest offline = Check("major=9", false);
    offline.isConnected = [] { return false; };
    EXPECT_FALSE(Run(offline));
    EXPECT_EQ(m_notices.back().text, kNoLink);
    m_notices.clear();
    offline.quiet = true;
    EXPECT_FALSE(Run(offline));
    EXPECT_TRUE(m_notices.empty());
}

TEST_F(UpdateCheckTest, OnlyWebAddressesAreOffered)
{
    EXPECT_TRUE(Run(Check("major=2&minor=0&url=javascript:alert(1)", true)));
    ASSERT_EQ(m_notices.size(), 1u);
    EXPECT_EQ(m_notices[0].url, kDownloadPageAddress);
    m_notices.clear();
    EXPECT_TRUE(Run(Check("major=2&url=file:///etc/passwd", true)));
    EXPECT_EQ(m_notices.at(0).url, kDownloadPageAddress);
}

TEST(IsNewerVersion, ComparesWithOneTwentyFour)
{
    struct SCase {
        const char* text;
        bool newer;
    };
    const SCase cases[] = {
        {"Version.Major= 1\r\nVersion.Minor= 24\r\n", false},
        {"Version.Major= 1\r\nVersion.Minor= 25\r\n", true},
        {"Version.Major= 2\r\nVersion.Minor= 0\r\n", true},
        {"version.major= 2\r\n", true},
        {"Version.Major= 1\r\n", false},
        {"Version.Major= 0\r\nVersion.Minor= 99\r\n", false},
        {"Version.Minor= 99\r\n", false},
        {"Version.Major= two\r\nVersion.Minor= 99\r\n", false},
        {"Version.Major= 1\r\nVersion.Minor= 25b\r\n", false},
        {"Version.Major= 1.5\r\n", false},
        {"Version.Major= \"  3 \"\r\n", true},
        {"Version.Major= 99999999999999999999\r\n", false},
        {"Version.Major= -1\r\nVersion.Minor= 99\r\n", false},
    };
    for (const SCase& c : cases) {
        CConfig version;
        ASSERT_TRUE(version.ReadText(c.text, int(std::strlen(c.text)))) << c.text;
        EXPECT_EQ(IsNewerVersion(version), c.newer) << c.text;
    }
}

TEST(WorkerNotice, ShownThroughThePromptWithoutAParent)
{
    CScriptedPrompt prompt;
    prompt.Install();
    SWorkerNotice info;
    info.text = "Download successful!";
    info.caption = "Download File";
    PresentWorkerNotice(info);
    SWorkerNotice offer;
    offer.kind = SWorkerNotice::kAskOpenUrl;
    offer.text = "An newer version of Rookwell is available for download.\n\nGo to download page?";
    offer.caption = "Check for updates";
    offer.url = "https://example.org/";
    prompt.QueueButton(wxNO);
    PresentWorkerNotice(offer);

    ASSERT_EQ(prompt.GetCount(), 2);
    EXPECT_EQ(prompt.GetQuestion(0).text, Zorlin::CString("Download successful!"));
    EXPECT_EQ(prompt.GetQuestion(0).caption, Zorlin::CString("Download File"));
    EXPECT_EQ(prompt.GetQuestion(0).style, long(wxOK | wxICON_INFORMATION));
    EXPECT_EQ(prompt.GetQuestion(1).style, long(wxYES_NO | wxICON_INFORMATION));
    EXPECT_EQ(prompt.GetQuestion(1).caption, Zorlin::CString("Check for updates"));
    EXPECT_EQ(prompt.GetCount(), 2) << "No opens nothing (a refused address would ask again)";
}

// The real detached threads, with their notices handed over as to the GUI.
class ThreadTest : public DownloadTest {
protected:
    void SetUp() override
    {
        DownloadTest::SetUp();
        m_host = std::make_unique<CFakeMediaHost>(m_dir.string());
        SetWorkerNoticePoster([this](const SWorkerNotice& notice) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_posted.push_back(notice);
            m_arrived.notify_all();
        });
    }
    void TearDown() override
    {
        // Let the workers end before their test's folder and server go.
        for (int i = 0; i < 2000 && GetLiveWorkerCount() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        SetWorkerNoticePoster(nullptr);
        m_host.reset();
        DownloadTest::TearDown();
    }
    bool WaitForNotices(size_t count)
    {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_arrived.wait_for(lock, std::chrono::seconds(20), [&] { return m_posted.size() >= count; });
    }

    wxInitializer m_toolkit;
    std::unique_ptr<CFakeMediaHost> m_host;
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<SWorkerNotice> m_posted;
};

TEST_F(ThreadTest, DetachedWorkersWriteBelowTheProgramFolderAndReport)
{
    auto* download = new CDownloadThread(Server().Url("/live.cfg").c_str(), kLiveContentTarget, false);
    download->SetValidate(true);
    download->SetConnectionTest([] { return true; });
    ASSERT_TRUE(download->Start());
    auto* check = new CUpdateCheckThread(Server().Url("/version?major=1&minor=24").c_str(), false);
    check->SetConnectionTest([] { return true; });
    ASSERT_TRUE(check->Start());

    ASSERT_TRUE(WaitForNotices(2));
    std::vector<std::string> texts;
    for (const SWorkerNotice& notice : m_posted)
        texts.push_back(notice.text);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"Download successful!", "You are running the latest version."}));
    EXPECT_EQ(ReadFile(m_target).substr(0, 5), "News=");
    EXPECT_TRUE(fs::exists(m_dir / "live content" / "version.cfg"));
    EXPECT_TRUE(TakeDownloadFinished());
}

// A program folder the user cannot write: the workers write the live
// content and the version file into the user's own folder instead.
TEST_F(ThreadTest, WithAnOwnFolderTheWorkersWriteThere)
{
    const fs::path own = m_dir / "own" / "rookwell";
    ASSERT_TRUE(m_host->drive->SetOwnFolder(Zorlin::CString(own.string().c_str())));
    auto* download = new CDownloadThread(Server().Url("/live.cfg").c_str(), kLiveContentTarget, true);
    download->SetValidate(true);
    ASSERT_TRUE(download->Start());
    auto* check = new CUpdateCheckThread(Server().Url("/version?major=1&minor=24").c_str(), true);
    ASSERT_TRUE(check->Start());
    for (int i = 0; i < 4000 && GetLiveWorkerCount() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(GetLiveWorkerCount(), 0);
    EXPECT_EQ(ReadFile(own / "live content" / "live.cfg").substr(0, 5), "News=");
    EXPECT_TRUE(fs::exists(own / "live content" / "version.cfg"));
    EXPECT_FALSE(fs::exists(m_target));
    EXPECT_FALSE(fs::exists(m_dir / "live content" / "version.cfg"));
}

// Two checks started together, as at start-up: the day goes into the record
// only when both got their file, and the record's other entries stay.
TEST_F(ThreadTest, TheCheckDayIsRecordedOnlyWhenEveryDownloadSucceeded)
{
    const fs::path record = m_dir / "update.cfg";
    std::ofstream(record) << "date = 10\nkeep = yes\n";
    int finished = 0;
    auto run = [&](const std::string& liveAddress) {
        std::function<void(bool)> recorder = MakeUpdateRecorder(2, record.string(), "2461000", "today");
        auto report = [&, recorder](bool ok) {
            recorder(ok);
            std::lock_guard<std::mutex> lock(m_lock);
            ++finished;
            m_arrived.notify_all();
        };
        finished = 0;
        auto* download = new CDownloadThread(liveAddress.c_str(), kLiveContentTarget, true);
        download->SetValidate(true);
        download->SetFinished(report);
        ASSERT_TRUE(download->Start());
        auto* check = new CUpdateCheckThread(Server().Url("/version?major=1&minor=24").c_str(), true);
        check->SetFinished(report);
        ASSERT_TRUE(check->Start());
        std::unique_lock<std::mutex> lock(m_lock);
        ASSERT_TRUE(m_arrived.wait_for(lock, std::chrono::seconds(20), [&] { return finished == 2; }));
    };
    run(Server().Url("/missing"));
    CConfig after;
    ASSERT_TRUE(after.ReadText(ReadFile(record.string()).c_str(), int(ReadFile(record.string()).size())));
    EXPECT_STREQ(after.GetValueOr(".date", "").GetText(), "10");

    run(Server().Url("/live.cfg"));
    CConfig done;
    ASSERT_TRUE(done.ReadText(ReadFile(record.string()).c_str(), int(ReadFile(record.string()).size())));
    EXPECT_STREQ(done.GetValueOr(".date", "").GetText(), "2461000");
    EXPECT_STREQ(done.GetValueOr(".checked", "").GetText(), "today");
    EXPECT_STREQ(done.GetValueOr(".keep", "").GetText(), "yes");
}

// Program settings of our own; the rest answers nothing.
class CFakeServices : public CAppServices {
public:
    explicit CFakeServices(CConfig& program) : m_drive("/nonexistent/rookwell-test/"), m_program(program)
    {
        m_previous = SetAppServices(this);
    }
    ~CFakeServices() override { SetAppServices(m_previous); }
    Zorlin::CDrive& GetProgramDrive() override { return m_drive; }
    Zorlin::CDrive& GetUserDrive() override { return m_drive; }
    CConfig& GetProgramSettings() override { return m_program; }
    CConfig& GetUserSettings() override { return m_user; }
    CFrameView* GetFrameView() override { return nullptr; }
    CConsole* CreateConsole(const Zorlin::CString&) override { return nullptr; }
    void ShowHtmlMessage(const Zorlin::CString&, const Zorlin::CString&) override {}

private:
    Zorlin::CDiskDrive m_drive;
    CConfig& m_program;
    CConfig m_user;
    CAppServices* m_previous = nullptr;
};

// A server on this machine needs no network; the addresses come from the
// program settings.
TEST(Internet, LoopbackAddressesNeedNoNetwork)
{
    for (const char* address : {"http://127.0.0.1:8000/live.cfg", "http://localhost/x", "https://LOCALHOST:1/",
                                "http://127.1.2.3/", "http://[::1]:8080/v", "http://user@127.0.0.1/"}) {
        EXPECT_TRUE(IsLoopbackAddress(address)) << address;
        EXPECT_TRUE(IsInternetConnected(address)) << address;
    }
    for (const char* address : {"http://127.0.0.1.example/", "http://128.0.0.1/", "http://localhost.example/",
                                "ftp://127.0.0.1/", "127.0.0.1", "http://10.0.0.1/", "http:///127.0.0.1",
                                "http://example.org/127.0.0.1", "http://127.0.0.256/", ""}) {
        EXPECT_FALSE(IsLoopbackAddress(address)) << address;
    }

    CConfig settings;
    const char* text = "live = {\n content = \"http://127.0.0.1:9/live.cfg\"\n version = \" \"\n}\n";
    ASSERT_TRUE(settings.ReadText(text, int(strlen(text))));
    CFakeServices services(settings);
    EXPECT_EQ(LiveContentAddress(), "http://127.0.0.1:9/live.cfg");
    // Blank is unset: the maker's own address.
    EXPECT_EQ(VersionFileAddress().rfind("https://", 0), 0u);
}

} // namespace

