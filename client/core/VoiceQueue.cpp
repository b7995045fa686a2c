#include "client/core/VoiceQueue.h"

#include "client/core/Voice.h"
#include "foundation/Array.h"

#include <chrono>
#include <cmath>

using Zorlin::CArray;
using Zorlin::CString;

CVoiceQueue::CVoiceQueue(IVoiceTimer& timer, Clock clock)
    : m_timer(timer), m_clock(clock ? std::move(clock) : SteadyClock()), m_channel(0), m_speaking(false),
      m_startedAt(0), m_dueTime(0), m_overlap(0)
{
}

CVoiceQueue::~CVoiceQueue() = default;

CVoiceQueue::Clock CVoiceQueue::SteadyClock()
{
    return [] {
        using namespace std::chrono;
        return int64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
}

bool CVoiceQueue::Say(const char* phrase)
{
    if (!m_voice.Get())
        return true;
    CArray<CString> words;
    CString(phrase).Split(words, " \t\n\r\v\f\a\b", "\"\"", nullptr, false);
    for (int i = 0; i < words.GetCount(); ++i)
        if (!words.GetAt(i)->IsEmpty())
            m_queue.Add(*words.GetAt(i));
    if (!m_speaking)
        SpeakNext();
    return true;
}

void CVoiceQueue::Update()
{
    if (m_clock() >= m_dueTime)
        SpeakNext();
}

void CVoiceQueue::Clear()
{
    m_timer.StopTimer();
    m_queue.RemoveAll();
    m_speaking = false;
}

void CVoiceQueue::SetVoice(CVoice* voice)
{
    Clear();
    m_voice.Reset(voice);
    m_overlap = voice ? voice->GetOverlap() : 0;
}

void CVoiceQueue::SpeakNext()
{
    m_timer.StopTimer();
    while (m_queue.GetCount() > 0) {
        auto* node = m_queue.GetHead();
        CString word = node->value;
        m_queue.DeleteNode(node);
        if (SayWord(word)) {
            m_speaking = true;
            return;
        }
    }
    m_speaking = false;
}

void CVoiceQueue::Wait(int milliseconds)
{
    if (milliseconds < 0)
        milliseconds = 0;
    m_startedAt = m_clock();
    m_dueTime = m_startedAt + milliseconds;
    m_timer.StartOnce(milliseconds);
}

bool CVoiceQueue::SayWord(const CString& word)
{
    if (word == "_") {
        Wait(kPauseMilliseconds - m_overlap);
        return true;
    }
    CSoundSample* sample = m_voice.Get() ? m_voice->FindSample(word.GetText()) : nullptr;
    if (!sample || sample->Play(m_channel) < 0) {
        m_timer.StopTimer();
        return false;
    }
    Wait(int(std::floor(sample->GetLength() * 1000.0)) - m_overlap);
    return true;
}
