#include "client/core/VoicePlayer.h"

#include "client/core/Sound.h"
#include "client/core/Voice.h"
#include "foundation/AutoDirectory.h"
#include "foundation/AutoPointer.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/URL.h"

using Zorlin::CConfig;
using Zorlin::CString;
using Zorlin::CURL;

CVoicePlayer::CVoicePlayer() : m_queue(*this, CVoiceQueue::SteadyClock())
{
}

CVoicePlayer::~CVoicePlayer()
{
    wxTimer::Stop();
}

void CVoicePlayer::Notify()
{
    m_queue.OnTimer();
}

void CVoicePlayer::StartOnce(int milliseconds)
{
    // The toolkit takes -1 for "the last period" and wants a positive one.
    wxTimer::Start(milliseconds > 0 ? milliseconds : 1, wxTIMER_ONE_SHOT);
}

void CVoicePlayer::StopTimer()
{
    wxTimer::Stop();
}

CVoice* LoadVoicePack(Zorlin::CDrive& drive, const CString& packName)
{
    CVoice* voice = new CVoice();
    if (!CURL::IsPlainName(packName))
        return voice;
    Zorlin::CAutoDirectory pack(drive, packName.GetText());
    if (!pack)
        return voice;
    Zorlin::CAutoPointer<Zorlin::CFile> file = drive.OpenFile(CURL("info.cfg"), Zorlin::CFile::kModeRead);
    CConfig info;
    if (file.Get() && file->IsOpen() && info.ReadSmall(*file))
        voice->Load(drive, info);
    return voice;
}

void LoadVoicePacks(Zorlin::CDrive& programDrive, const CConfig& userSettings, CVoicePlayer& white,
                    CVoicePlayer& black)
{
    {
        Zorlin::CAutoDirectory voices(programDrive, "/voices");
        bool found = voices.Succeeded();
        CString whitePack = userSettings.GetValueOr(".preferences.voices.white.pack", "");
        CString blackPack = userSettings.GetValueOr(".preferences.voices.black.pack", "");
        white.SetVoice(found ? LoadVoicePack(programDrive, whitePack) : new CVoice());
        black.SetVoice(found ? LoadVoicePack(programDrive, blackPack) : new CVoice());
    }
    white.SetChannel(kWhiteVoiceChannel);
    black.SetChannel(kBlackVoiceChannel);
}

CVoicePlayer* SelectVoicePlayer(int side, bool whiteIsLocal, CVoicePlayer* first, CVoicePlayer* second)
{
    bool white = side == 0;
    return white == whiteIsLocal ? first : second;
}
