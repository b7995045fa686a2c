#pragma once

#include "foundation/AutoPointer.h"
#include "foundation/List.h"
#include "foundation/String.h"

#include <cstdint>
#include <functional>

class CVoice;

// The timer a voice queue waits on; the queue calls OnTimer when it fires.
class IVoiceTimer {
public:
    virtual ~IVoiceTimer() = default;
    virtual void StartOnce(int milliseconds) = 0;
    virtual void StopTimer() = 0;
};

// The words of a side still to be said, and when the next may start: each
// word starts the voice's overlap before the previous one ends, and "_" is a
// pause of 250 ms (less the overlap). Words that do not play (no sample,
// sound off) are skipped at once.
class CVoiceQueue {
public:
    static constexpr int kPauseMilliseconds = 250;
    // Milliseconds of a steady clock.
    using Clock = std::function<int64_t()>;

    CVoiceQueue(IVoiceTimer& timer, Clock clock);
    ~CVoiceQueue();
    CVoiceQueue(const CVoiceQueue&) = delete;
    CVoiceQueue& operator=(const CVoiceQueue&) = delete;

    // Queues the words of the phrase (split at white space, double quotes
    // group) and starts at once when nothing is being said. Nothing without
    // a voice.
    bool Say(const char* phrase);
    // Every game tick: the next word once its time has come.
    void Update();
    // The timer fired: the next word without looking at the clock.
    void OnTimer() { SpeakNext(); }
    void Clear();
    // Takes ownership; the previous voice is deleted.
    void SetVoice(CVoice* voice);
    CVoice* GetVoice() const { return m_voice.Get(); }

    void SetChannel(int channel) { m_channel = channel; }
    int GetChannel() const { return m_channel; }
    bool IsSpeaking() const { return m_speaking; }
    int GetQueuedCount() const { return m_queue.GetCount(); }
    int64_t GetStartedAt() const { return m_startedAt; }
    int64_t GetDueTime() const { return m_dueTime; }
    int GetOverlap() const { return m_overlap; }

    static Clock SteadyClock();

private:
    void SpeakNext();
    bool SayWord(const Zorlin::CString& word);
    void Wait(int milliseconds);

    IVoiceTimer& m_timer;
    Clock m_clock;
    int m_channel;
    bool m_speaking;
    Zorlin::CList<Zorlin::CString> m_queue;
    Zorlin::CAutoPointer<CVoice> m_voice;
    int64_t m_startedAt;
    int64_t m_dueTime;
    int m_overlap;
};
