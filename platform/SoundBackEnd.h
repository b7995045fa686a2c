#pragma once

#include <cstddef>

// The client's sound library: samples played from memory, whole tracks
// played as streams with an end notice, numbered channels with volume and
// pause. Handles are small numbers, 0 meaning none; a handle the back end
// no longer knows (freed, or from before a Close) is ignored.
//
// Everything here is called on the GUI thread. End notices are collected
// from the audio thread and delivered by Update, so a notice callback runs
// on the GUI thread too, and only for a stream that played to its end:
// stopping, closing or replacing a stream never sends one.
class CSoundBackEnd {
public:
    using SoundHandle = unsigned;
    using StreamEndCallback = void (*)(SoundHandle stream, void* user);

    static constexpr int kMaxVolume = 255;

    virtual ~CSoundBackEnd() = default;

    virtual bool Init(int mixRate, int channels) = 0;
    virtual void Close() = 0;
    // Delivers the end notices that arrived since the last call.
    virtual void Update() = 0;
    virtual void SetMasterVolume(int volume) = 0;
    // volume 0..255
    virtual bool SetVolume(int channel, int volume) = 0;
    virtual bool SetPaused(int channel, bool paused) = 0;
    // Frames per second of the mixed output, as the device granted it.
    virtual int GetOutputRate() = 0;
    // Whether Update has work now or soon: a sound may end, end notices
    // wait, or an idle device is still to be closed. While false, Update
    // need not be called until the next sound starts.
    virtual bool IsActive() = 0;

    // Any format the back end decodes (WAV, Ogg Vorbis, FLAC...). Samples
    // are converted to the output format on loading.
    virtual SoundHandle LoadSample(const void* data, size_t size) = 0;
    virtual void FreeSample(SoundHandle sample) = 0;
    // Length in frames of the output rate.
    virtual unsigned GetSampleLength(SoundHandle sample) = 0;
    // The channel used, or -1 when nothing plays. A sound already on the
    // channel is cut.
    virtual int PlaySample(int channel, SoundHandle sample) = 0;

    virtual SoundHandle OpenStream(const char* path) = 0;
    virtual bool SetStreamEndCallback(SoundHandle stream, StreamEndCallback callback, void* user) = 0;
    // The channel used, or -1.
    virtual int PlayStream(int channel, SoundHandle stream, bool paused) = 0;
    virtual void StopStream(SoundHandle stream) = 0;
    virtual void CloseStream(SoundHandle stream) = 0;
};

// The back end in use: the SDL mixer one unless a test put its own in.
CSoundBackEnd& GetSoundBackEnd();
// Null puts the SDL mixer back end back. The caller keeps ownership.
void SetSoundBackEnd(CSoundBackEnd* backEnd);
