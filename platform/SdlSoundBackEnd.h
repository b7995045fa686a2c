#pragma once

#include "platform/SoundBackEnd.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct Mix_Chunk;

// The sound library over SDL2_mixer. Streams are decoded whole into mixer
// chunks, so a jingle can play on one channel while paused music waits on
// another; a channel's end is noticed on the audio thread and queued, with
// the number of the play it ended, for Update to hand to the stream.
class CSdlSoundBackEnd : public CSoundBackEnd {
public:
    CSdlSoundBackEnd();
    ~CSdlSoundBackEnd() override;

    bool Init(int mixRate, int channels) override;
    void Close() override;
    void Update() override;
    void SetMasterVolume(int volume) override;
    bool SetVolume(int channel, int volume) override;
    bool SetPaused(int channel, bool paused) override;
    int GetOutputRate() override { return m_rate; }

    SoundHandle LoadSample(const void* data, size_t size) override;
    void FreeSample(SoundHandle sample) override;
    unsigned GetSampleLength(SoundHandle sample) override;
    int PlaySample(int channel, SoundHandle sample) override;

    SoundHandle OpenStream(const char* path) override;
    bool SetStreamEndCallback(SoundHandle stream, StreamEndCallback callback, void* user) override;
    int PlayStream(int channel, SoundHandle stream, bool paused) override;
    void StopStream(SoundHandle stream) override;
    void CloseStream(SoundHandle stream) override;

private:
    struct SStream {
        Mix_Chunk* chunk = nullptr;
        StreamEndCallback callback = nullptr;
        void* user = nullptr;
        int channel = -1;    // -1 while not playing
        unsigned play = 0;   // the channel's play number when it started here
    };

    static void OnChannelFinished(int channel);

    bool IsChannel(int channel) const { return m_open && channel >= 0 && channel < m_channels; }
    // Cuts whatever plays on the channel without telling its stream.
    void HaltChannel(int channel);
    // Starts the chunk on a channel (or a free one for -1); -1 on failure.
    int StartChunk(int channel, Mix_Chunk* chunk, bool paused);
    void ApplyVolume(int channel);
    SStream* FindStream(SoundHandle stream);

    bool m_open;
    int m_rate;
    int m_channels;
    int m_frameBytes;
    int m_master;
    SoundHandle m_nextHandle;
    std::map<SoundHandle, Mix_Chunk*> m_samples;
    std::map<SoundHandle, SStream> m_streams;
    std::vector<int> m_volumes;
    // Read by the audio thread when a channel ends.
    std::unique_ptr<std::atomic<unsigned>[]> m_plays;
    std::mutex m_finishedLock;
    std::vector<std::pair<int, unsigned>> m_finished;
};
