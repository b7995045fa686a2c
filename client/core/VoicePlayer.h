#pragma once

#include "client/core/VoiceQueue.h"

#include <wx/timer.h>

namespace Zorlin {
class CConfig;
class CDrive;
}

// One side's voice queue on a toolkit timer: the timer, or the game tick's
// Update when it comes first, starts the next word.
class CVoicePlayer : public wxTimer, private IVoiceTimer {
public:
    CVoicePlayer();
    ~CVoicePlayer() override;

    bool Say(const char* phrase) { return m_queue.Say(phrase); }
    void Update() { m_queue.Update(); }
    void Clear() { m_queue.Clear(); }
    void SetVoice(CVoice* voice) { m_queue.SetVoice(voice); }
    void SetChannel(int channel) { m_queue.SetChannel(channel); }
    int GetChannel() const { return m_queue.GetChannel(); }
    bool IsSpeaking() const { return m_queue.IsSpeaking(); }
    CVoiceQueue& GetQueue() { return m_queue; }

    void Notify() override;

private:
    void StartOnce(int milliseconds) override;
    void StopTimer() override;

    CVoiceQueue m_queue;
};

// Loads the packs named by preferences.voices.white.pack and
// preferences.voices.black.pack from "/voices/" of the program drive into
// the two queues and puts them on their channels (2 and 3). A missing or
// unsafe pack name, folder, info.cfg or sample leaves those words silent.
void LoadVoicePacks(Zorlin::CDrive& programDrive, const Zorlin::CConfig& userSettings, CVoicePlayer& white,
                    CVoicePlayer& black);
// Reads one pack from the folder of that name below the drive's current
// folder; always a voice, empty when nothing could be read.
CVoice* LoadVoicePack(Zorlin::CDrive& drive, const Zorlin::CString& packName);

// The voice player of a side (0 White, 1 Black): the first player speaks for
// White when White's player is local, else for Black.
CVoicePlayer* SelectVoicePlayer(int side, bool whiteIsLocal, CVoicePlayer* first, CVoicePlayer* second);
