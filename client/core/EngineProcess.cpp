#include "client/core/EngineProcess.h"

#include <cstring>

#include <wx/timer.h>

#include "client/core/AppServices.h"
#include "client/core/ChildProcess.h"
#include "client/core/Console.h"
#include "client/core/PhotoFit.h"
#include "client/core/XboardText.h"
#include "foundation/Buffer.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using Zorlin::CArray;
using Zorlin::CAutoPointer;
using Zorlin::CFile;
using Zorlin::CString;

// Keeps a nudged engine's start moving while no one polls it.
class CEnginePumpTimer : public wxTimer {
public:
    explicit CEnginePumpTimer(CEngineProcess& process) : m_process(process) {}
    void Notify() override
    {
        m_process.StartTick();
        m_process.Pump();
    }

private:
    CEngineProcess& m_process;
};

namespace {

const int kChunk = 1 << 14;
// Lines still logged when the engine is let go; the rest is dropped unread.
const int kFarewellLines = 100;
// Lines kept to say why an engine ended.
const size_t kLastWords = 3;

int g_engineCounter = 0;
double g_tickReadMs = CEngineProcess::kTickReadMs;

} // namespace

CEngineProcess::CEngineProcess()
    : m_device(nullptr), m_startTime(0.0), m_outputEnded(false), m_readUntil(0.0), m_pipeBehind(false),
      m_nudging(false),
      m_resting(false), m_lastSent(0.0), m_lastNudge(0.0)
{
}

CEngineProcess::~CEngineProcess()
{
    Stop();
}

double CEngineProcess::Now()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double CEngineProcess::GetSecondsSinceStart() const
{
    return Now() - m_startTime;
}

bool CEngineProcess::Load(Zorlin::CDrive& packageDrive)
{
    CAutoPointer<CFile> info = packageDrive.OpenFile("info.cfg", CFile::kModeRead);
    if (!info || !info->IsOpen())
        return false;
    Zorlin::CConfig settings;
    if (!settings.ReadSmall(*info))
        return false;
    m_settings = settings;
    m_exe = m_settings.GetValueOr("exe", "");
    m_command = m_settings.GetValueOr("command", "");
    Zorlin::CURL folder;
    packageDrive.GetFullPath(folder, "");
    m_packageFolder = folder;

    m_photo.Close();
    m_photo.Open("photo.bmp", CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    // Packages are downloaded files: their photo is fitted like a photo
    // received from another player, and one the gate refuses is dropped.
    CAutoPointer<CFile> photo = packageDrive.OpenFile("photo.bmp", CFile::kModeRead);
    Zorlin::CBuffer bmp;
    if (photo && photo->IsOpen() && !photo->IsNull() && FitPhotoFile(*photo, bmp))
        m_photo.Write(bmp);
    photo.Reset();
    if (m_photo.GetSize() == 0) {
        CAutoPointer<CFile> fallback = packageDrive.OpenFile("/assets/images/misc/nophoto.bmp", CFile::kModeRead);
        if (fallback && fallback->IsOpen())
            m_photo.CopyFrom(*fallback);
    }
    m_photo.Seek(0, CFile::kSeekStart);
    return true;
}

bool CEngineProcess::Start()
{
    if (m_device)
        return false;
    if (m_exe.IsEmpty()) {
        m_lastError = "the package names no program";
        return false;
    }
    CArray<CString> argv;
    CString program = m_exe;
    if (program[0] != '/') {
        program = m_packageFolder;
        if (!program.IsEmpty() && program[program.GetLength() - 1] != '/')
            program.Append('/');
        program.Append(m_exe);
    }
    argv.Add(program);
    CArray<CString> arguments;
    m_command.Split(arguments, " \t", "\"\"", nullptr, false);
    for (int i = 0; i < arguments.GetCount(); ++i)
        argv.Add(*arguments.GetAt(i));

    CByteDevice* device = CChildProcess::Spawn(argv, m_packageFolder, m_lastError);
    if (!device)
        return false;
    Attach(device);
    return true;
}

void CEngineProcess::Abandon()
{
    if (!m_device)
        return;
    // No farewell reading: the program may be flooding or hung, and it is
    // killed after the grace period anyway.
    m_lines.Clear();
    m_outputEnded = true;
    Stop();
}

bool CEngineProcess::Restart()
{
    Abandon();
    return Start();
}

void CEngineProcess::Attach(CByteDevice* device)
{
    if (m_device)
        Stop();
    m_device = device;
    m_outputEnded = false;
    m_resting = false;
    m_pipeBehind = false;
    m_lines.Clear();
    m_errors.Clear();
    m_lastWords.clear();
    CString title = m_exe;
    title.AppendFormat(" %i", ++g_engineCounter);
    m_console.reset(GetAppServices().CreateConsole(title));
    Log(title.GetText());
    Log("\n");
    m_startTime = Now();
    if (m_outputNotice)
        m_device->WatchOutput(m_outputNotice);
    Send("xboard\n");
    Send("protover 2\n");
    // An engine that stalls at its start until more input arrives gets
    // blank lines until it announces its features; what we send meanwhile
    // waits for it.
    if (Zorlin::CConfig::IsTrue(m_settings.GetValueOr("nudge", ""))) {
        m_nudging = true;
        m_lastNudge = 0.0;
        m_timer.reset(new CEnginePumpTimer(*this));
        m_timer->Start(kNudgeIntervalMs);
    }
    m_settings.GetValue("path") = m_packageFolder;
}

void CEngineProcess::SetOutputNotice(std::function<void()> notice)
{
    m_outputNotice = std::move(notice);
    if (m_device)
        m_device->WatchOutput(m_outputNotice);
}

bool CEngineProcess::IsOutputWatched() const
{
    return m_device && m_outputNotice && !m_outputEnded && m_device->IsWatchingOutput();
}

void CEngineProcess::Log(const char* text)
{
    if (m_console)
        m_console->Write(text);
}

void CEngineProcess::Send(const char* text)
{
    if (!m_device)
        return;
    Log(">");
    Log(text);
    m_lastSent = Now();
    if (m_resting) {
        m_resting = false;
        m_device->SetResting(false);
    }
    if (m_nudging) {
        m_held.Append(text);
        return;
    }
    m_device->Write(text, int(std::strlen(text)));
}

void CEngineProcess::Pump()
{
    if (!m_device)
        return;
    char buffer[kChunk];
    int moved = 0;
    // Output nobody has taken yet stays in the pipe, where it holds back the
    // engine instead of growing our memory; one pump moves a bounded amount,
    // and the reader's time decides how many pumps a tick makes.
    m_pipeBehind = false;
    while (!m_outputEnded) {
        if (moved >= kPumpBytes || m_lines.GetPendingSize() >= kPumpBytes) {
            m_pipeBehind = true;
            break;
        }
        int n = m_device->Read(buffer, kPumpBytes - moved < kChunk ? kPumpBytes - moved : kChunk);
        if (n > 0) {
            m_lines.Feed(buffer, n);
            moved += n;
            continue;
        }
        // A program that ended leaves its output readable; only an empty
        // pipe after the end means nothing more will come.
        if (n < 0 || m_device->HasEnded()) {
            if (n == 0)
                n = m_device->Read(buffer, kChunk);
            if (n > 0) {
                m_lines.Feed(buffer, n);
                moved += n;
                continue;
            }
            m_outputEnded = true;
            m_lines.FinishInput();
        }
        break;
    }
    DrainErrors();
    if (m_nudging)
        Nudge();
}

void CEngineProcess::DrainErrors()
{
    char buffer[kChunk];
    for (int moved = 0; moved < kPumpBytes;) {
        int n = m_device->ReadError(buffer, kChunk);
        if (n <= 0) {
            if (n < 0)
                m_errors.FinishInput();
            break;
        }
        m_errors.Feed(buffer, n);
        moved += n;
    }
    CString line;
    while (m_errors.TakeLine(line)) {
        Remember(line);
        Log("!");
        Log(line.GetText());
        Log("\n");
    }
}

void CEngineProcess::Nudge()
{
    if (m_lines.Contains("feature") || m_outputEnded || m_device->HasEnded() ||
        GetSecondsSinceStart() * 1000.0 > kNudgeLimitMs) {
        EndNudging();
        return;
    }
    double now = Now();
    if ((now - m_lastNudge) * 1000.0 >= kNudgeIntervalMs) {
        m_lastNudge = now;
        m_device->Write("\n", 1);
    }
}

void CEngineProcess::EndNudging()
{
    if (!m_nudging)
        return;
    m_nudging = false;
    if (m_timer)
        m_timer->Stop();
    if (m_device && !m_held.IsEmpty())
        m_device->Write(m_held.GetText(), m_held.GetLength());
    m_held = "";
}

bool CEngineProcess::RestsWhileWaiting() const
{
    return Zorlin::CConfig::IsTrue(m_settings.GetValueOr("rest", ""));
}

void CEngineProcess::Rest()
{
    if (!m_device || m_resting || m_nudging || m_outputEnded || !RestsWhileWaiting())
        return;
    m_resting = true;
    m_device->SetResting(true);
}

void CEngineProcess::SetTickReadTime(double ms)
{
    g_tickReadMs = ms;
}

void CEngineProcess::StartTick()
{
    m_readUntil = Now() + g_tickReadMs / 1000.0;
}

bool CEngineProcess::IsReadTimeUp() const
{
    return m_readUntil > 0.0 && Now() >= m_readUntil;
}

bool CEngineProcess::ReadLine(CString& line)
{
    if (!m_device)
        return false;
    if (!m_lines.HasLine())
        Pump();
    if (!m_lines.TakeLine(line))
        return false;
    Remember(line);
    if (m_console)
        m_console->Write((line + "\n").GetText());
    return true;
}

void CEngineProcess::Remember(const CString& line)
{
    CString shown = ShownEngineText(line);
    if (shown.IsEmpty())
        return;
    m_lastWords.push_back(shown);
    if (m_lastWords.size() > kLastWords)
        m_lastWords.pop_front();
}

CString CEngineProcess::GetLastWords() const
{
    CString out;
    for (const CString& line : m_lastWords) {
        if (!out.IsEmpty())
            out.Append('\n');
        out.Append(line);
    }
    return out;
}

void CEngineProcess::WaitForOutput(int ms)
{
    if (!m_device)
        return;
    if (m_lines.HasLine() || m_outputEnded)
        return;
    m_device->WaitReadable(m_nudging && ms > kNudgeIntervalMs ? kNudgeIntervalMs : ms);
}

bool CEngineProcess::HasEnded() const
{
    return m_device && m_outputEnded && !m_lines.HasLine();
}

void CEngineProcess::ReadAllWaiting()
{
    // Bounded: an engine that floods us must not hold up its own end.
    CString line;
    for (int n = 0; n < kFarewellLines && ReadLine(line); ++n) {
    }
}

void CEngineProcess::Stop()
{
    if (!m_device)
        return;
    ReadAllWaiting();
    // Whatever was held back no longer matters; the farewell goes out now.
    m_nudging = false;
    m_held = "";
    if (m_timer)
        m_timer->Stop();
    Send("?\n");
    Send("quit\n");
    m_device->CloseInput();
    ReadAllWaiting();
    CByteDevice* device = m_device;
    m_device = nullptr;
    device->Release();
    m_console.reset();
    m_timer.reset();
}
