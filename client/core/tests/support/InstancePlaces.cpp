#include "client/core/tests/support/InstancePlaces.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "client/core/HandOverMessage.h"
#include "client/core/SingleInstance.h"
#include "client/core/tests/support/GameFixture.h"
#include "testsupport/TempFiles.h"

using Zorlin::CString;

namespace InstanceTest {

namespace {

const char kUnset[] = "\1";
// Only a hung test waits this long for a child.
const int kChildLimitMs = 300000;

std::string RealPath(const std::string& path)
{
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

} // namespace

bool IsRoot()
{
    return geteuid() == 0;
}

CInstancePlaces::CInstancePlaces()
{
    m_base = RookwellTest::MakeTempFolder("instance");
    if (m_base.empty())
        return;
    m_program = m_base + "/program folder";
    m_runtime = m_base + "/runtime";
    m_temporary = m_base + "/tmp";
    mkdir(m_program.c_str(), 0755);
    mkdir(m_runtime.c_str(), 0700);
    mkdir(m_temporary.c_str(), 01777);
    chmod(m_temporary.c_str(), 01777);
    SetVariable("XDG_DATA_HOME", m_base + "/data");
    SetVariable("XDG_RUNTIME_DIR", m_runtime);
    SetVariable("TMPDIR", m_temporary);
}

CInstancePlaces::~CInstancePlaces()
{
    for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved) {
        if (saved->second == kUnset)
            unsetenv(saved->first.c_str());
        else
            setenv(saved->first.c_str(), saved->second.c_str(), 1);
    }
    RookwellTest::RemoveTree(m_base);
}

void CInstancePlaces::SetVariable(const char* name, const std::string& value)
{
    const char* old = getenv(name);
    m_saved.emplace_back(name, old ? std::string(old) : std::string(kUnset));
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
}

std::string CInstancePlaces::LockPath() const
{
    const CString name = InstanceName(CString(RealPath(m_program).c_str()), unsigned(getuid()));
    return std::string(InstanceLockFolders().at(0).GetText()) + "/" + name.GetText() + ".lock";
}

std::string CInstancePlaces::Record() const
{
    const std::string text = RookwellTest::ReadWholeFile(LockPath());
    const size_t end = text.find('\n');
    return end == std::string::npos ? std::string() : text.substr(0, end);
}

void CInstancePlaces::WriteRecord(const std::string& text) const
{
    std::ofstream(LockPath(), std::ios::binary | std::ios::trunc) << text << "\n";
}

// ------------------------------------------------------------ children

CChild::CChild(const std::function<std::string()>& body)
{
    int ends[2];
    if (pipe(ends) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        close(ends[0]);
        const std::string text = body();
        for (size_t done = 0; done < text.size();) {
            const ssize_t n = write(ends[1], text.data() + done, text.size() - done);
            if (n <= 0 && errno != EINTR)
                break;
            done += size_t(std::max<ssize_t>(n, 0));
        }
        _exit(0);
    }
    close(ends[1]);
    m_output = ends[0];
    if (m_pid < 0) {
        close(m_output);
        m_output = -1;
    }
    fcntl(m_output, F_SETFL, O_NONBLOCK);
}

CChild::~CChild()
{
    if (m_pid > 0 && !m_ended) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_output >= 0)
        close(m_output);
}

bool CChild::HasEnded()
{
    char piece[4096];
    for (ssize_t n; m_output >= 0 && (n = read(m_output, piece, sizeof piece)) > 0;)
        m_text.append(piece, size_t(n));
    if (!m_ended && m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
        m_ended = true;
        HasEnded(); // what it wrote last
    }
    return m_ended || m_pid <= 0;
}

std::string CChild::Wait()
{
    if (!EngineTest::PumpUntil([this] { return HasEnded(); }, kChildLimitMs))
        return "(no end)";
    return m_text;
}

void CloseCopiesOf(const std::string& path)
{
    char* real = realpath(path.c_str(), nullptr);
    const std::string wanted = real ? real : path;
    free(real);
    std::vector<int> copies;
    if (DIR* folder = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(folder)) {
            char target[4096];
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && std::string(target, size_t(n)) == wanted)
                copies.push_back(std::atoi(entry->d_name));
        }
        closedir(folder);
    }
    for (int fd : copies)
        close(fd);
}

bool BecomeNobody()
{
    return setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
}

std::string SecondStart(const std::string& program, const std::vector<std::string>& files)
{
    std::vector<CString> names;
    for (const std::string& file : files)
        names.push_back(CString(file.c_str()));
    CSingleInstance instance(CString(program.c_str()));
    CString problem;
    if (instance.Claim(names, [](const std::vector<CString>&) {}, problem))
        return "claimed";
    return problem.IsEmpty() ? "handed" : problem.GetText();
}

// ------------------------------------------------------------ raw bytes

int ConnectTo(const std::string& socketPath)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        return -1;
    memcpy(address.sun_path, socketPath.data(), socketPath.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string Length(uint32_t length)
{
    const char bytes[4] = {char(length), char(length >> 8), char(length >> 16), char(length >> 24)};
    return std::string(bytes, 4);
}

std::string Frame(const std::string& payload)
{
    return Length(uint32_t(payload.size())) + payload;
}

bool SendAll(int fd, const std::string& bytes)
{
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

std::string ReadAnswer(int fd, int limitMs)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::string bytes;
    for (;;) {
        if (bytes.size() >= 4) {
            const uint32_t length = uint32_t(uint8_t(bytes[0])) | uint32_t(uint8_t(bytes[1])) << 8 |
                                    uint32_t(uint8_t(bytes[2])) << 16 | uint32_t(uint8_t(bytes[3])) << 24;
            if (length > kMaxAnswerBytes)
                return "bad length";
            if (bytes.size() >= 4 + length) {
                bool accepted = false;
                CString why;
                if (!::ReadAnswer(bytes.data() + 4, length, accepted, why))
                    return "bad answer";
                return accepted ? "accepted" : std::string("refused: ") + why.GetText();
            }
        }
        const long left = long(
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count());
        if (left <= 0)
            return "no answer";
        pollfd wait = {fd, POLLIN, 0};
        if (poll(&wait, 1, int(left)) <= 0)
            continue;
        char piece[4096];
        const ssize_t n = recv(fd, piece, sizeof piece, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return "closed";
        bytes.append(piece, size_t(n));
    }
}

std::string HandOverBytes(const std::vector<std::string>& files)
{
    std::vector<CString> names;
    for (const std::string& file : files)
        names.push_back(CString(file.c_str()));
    const std::vector<char> bytes = WriteHandOver(names);
    return std::string(bytes.data(), bytes.size());
}

long PeakMemoryKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return atol(line.c_str() + 6);
    return -1;
}

} // namespace InstanceTest
