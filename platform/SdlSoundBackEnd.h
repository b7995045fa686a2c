#pragma once

#include "platform/SoundBackEnd.h"

#include <atomic>
#include <chrono>
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
//
// SDL's audio thread wakes for every buffer even while paused, so once
// nothing has been heard for kIdleCloseMs the device is closed; a paused
// sound is kept with how far it had played. The next sound, a resumed one
// or a load opens it again with the same format, so the loaded chunks stay
// valid and a sound starts from its first frame.
class CSdlSoundBackEnd : public CSoundBackEnd {
public:
    static constexpr int kIdleCloseMs = 2000;

    CSdlSoundBackEnd();
    ~CSdlSoundBackEnd() override;

    bool Init(int mixRate, int channels) override;
    void Close() override;
    void Update() override;
    void SetMasterVolume(int volume) override;
    bool SetVolume(int channel, int volume) override;
    bool SetPaused(int channel, bool paused) override;
    int GetOutputRate() override { return m_rate; }
    bool IsActive() override;
    bool IsDeviceOpen() const { return m_deviceOpen; }

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
    static constexpr int kChunkFrames = 1024;

    struct SStream {
        Mix_Chunk* chunk = nullptr;
        StreamEndCallback callback = nullptr;
        void* user = nullptr;
        int channel = -1;    // -1 while not playing
        unsigned play = 0;   // the channel's play number when it started here
    };

    // What a channel last started. After the device was reopened, a paused
    // sound goes on from rest, a view of its chunk's remaining frames.
    struct SChannel {
        Mix_Chunk* source = nullptr;
        std::unique_ptr<Mix_Chunk> rest;
        unsigned base = 0;  // bytes of source before rest
        bool held = false;  // the device is shut with this paused at heldAt
        unsigned heldAt = 0;
    };

    static void OnChannelFinished(int channel);
    static void CountMixed(int channel, void* stream, int length, void* counter);

    bool IsChannel(int channel) const { return m_open && channel >= 0 && channel < m_channels; }
    bool OpenDevice(int allowedChanges);
    // Opens the device again after an idle close; false when it will not open.
    bool EnsureDevice();
    void CloseIdleDevice();
    bool IsAudible() const;
    // Counts the bytes the mixer takes from what starts on the channel next.
    void WatchChannel(int channel, Mix_Chunk* source, unsigned base);
    // Stops every channel still playing from chunk, which is about to go.
    void ForgetChunk(Mix_Chunk* chunk);
    // Cuts whatever plays on the channel without telling its stream.
    void HaltChannel(int channel);
    // Starts the chunk on a channel (or a free one for -1); -1 on failure.
    int StartChunk(int channel, Mix_Chunk* chunk, bool paused);
    void ApplyVolume(int channel);
    SStream* FindStream(SoundHandle stream);

    bool m_open;
    bool m_deviceOpen;
    int m_rate;
    unsigned short m_format;
    int m_outChannels;
    int m_channels;
    int m_frameBytes;
    int m_master;
    SoundHandle m_nextHandle;
    std::map<SoundHandle, Mix_Chunk*> m_samples;
    std::map<SoundHandle, SStream> m_streams;
    std::vector<int> m_volumes;
    // Read by the audio thread when a channel ends.
    std::unique_ptr<std::atomic<unsigned>[]> m_plays;
    // Bytes mixed since the channel's sound started, counted on the audio thread.
    std::unique_ptr<std::atomic<unsigned>[]> m_mixed;
    std::vector<SChannel> m_sounds;
    std::chrono::steady_clock::time_point m_silentSince;
    bool m_silent;
    std::mutex m_finishedLock;
    std::vector<std::pair<int, unsigned>> m_finished;
};
