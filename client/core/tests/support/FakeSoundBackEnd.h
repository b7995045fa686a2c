#pragma once

#include "platform/SoundBackEnd.h"

#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

// A sound library that plays nothing and keeps count. A sample's bytes that
// are a decimal number give its length in frames (so tests can make a
// 400 ms word from the text "17640"); any other sample is as many frames
// long as it has bytes. Streams whose path is in `missing` do not open;
// FinishStream makes a playing stream end, and Update tells its owner.
class CFakeSoundBackEnd : public CSoundBackEnd {
public:
    struct SStream {
        std::string path;
        StreamEndCallback callback = nullptr;
        void* user = nullptr;
        int channel = -1;
    };

    int calls = 0;
    bool initSucceeds = true;
    bool open = false;
    int rate = 44100;
    int master = -1;
    std::set<std::string> missing;
    std::vector<std::string> played;          // paths of the streams played, in order
    std::vector<std::pair<int, unsigned>> samplePlays; // (channel, sample)
    std::map<int, int> volumes;
    std::map<int, bool> paused;
    std::map<unsigned, unsigned> sampleFrames;
    std::map<unsigned, std::string> sampleBytes;
    std::map<unsigned, SStream> streams;

    // Ends the stream now playing on the channel; false when none plays.
    bool FinishChannel(int channel)
    {
        for (auto& entry : streams)
            if (entry.second.channel == channel) {
                entry.second.channel = -1;
                m_finished.push_back(entry.first);
                return true;
            }
        return false;
    }
    bool StreamPlaying() const
    {
        for (auto& entry : streams)
            if (entry.second.channel >= 0)
                return true;
        return false;
    }
    const SStream* StreamOn(int channel) const
    {
        for (auto& entry : streams)
            if (entry.second.channel == channel)
                return &entry.second;
        return nullptr;
    }

    bool Init(int, int) override
    {
        ++calls;
        open = initSucceeds;
        return initSucceeds;
    }
    void Close() override
    {
        ++calls;
        open = false;
        streams.clear();
        sampleFrames.clear();
    }
    void Update() override
    {
        ++calls;
        std::vector<unsigned> finished;
        finished.swap(m_finished);
        for (unsigned handle : finished) {
            auto found = streams.find(handle);
            if (found != streams.end() && found->second.callback)
                found->second.callback(handle, found->second.user);
        }
    }
    void SetMasterVolume(int volume) override
    {
        ++calls;
        master = volume;
    }
    bool SetVolume(int channel, int volume) override
    {
        ++calls;
        volumes[channel] = volume;
        return true;
    }
    bool SetPaused(int channel, bool pause) override
    {
        ++calls;
        paused[channel] = pause;
        return true;
    }
    bool IsActive() override { return open && (!m_finished.empty() || StreamPlaying()); }
    int GetOutputRate() override
    {
        ++calls;
        return rate;
    }
    SoundHandle LoadSample(const void* data, size_t size) override
    {
        ++calls;
        std::string bytes(static_cast<const char*>(data), size);
        char* end = nullptr;
        unsigned long frames = std::strtoul(bytes.c_str(), &end, 10);
        SoundHandle handle = m_next++;
        sampleFrames[handle] = (end && *end == 0 && !bytes.empty()) ? unsigned(frames) : unsigned(size);
        sampleBytes[handle] = bytes;
        return handle;
    }
    void FreeSample(SoundHandle sample) override
    {
        ++calls;
        sampleFrames.erase(sample);
    }
    unsigned GetSampleLength(SoundHandle sample) override
    {
        ++calls;
        auto found = sampleFrames.find(sample);
        return found == sampleFrames.end() ? 0 : found->second;
    }
    int PlaySample(int channel, SoundHandle sample) override
    {
        ++calls;
        if (!sampleFrames.count(sample))
            return -1;
        samplePlays.emplace_back(channel, sample);
        return channel;
    }
    SoundHandle OpenStream(const char* path) override
    {
        ++calls;
        if (!path || !*path || missing.count(path))
            return 0;
        SoundHandle handle = m_next++;
        streams[handle].path = path;
        return handle;
    }
    bool SetStreamEndCallback(SoundHandle stream, StreamEndCallback callback, void* user) override
    {
        ++calls;
        auto found = streams.find(stream);
        if (found == streams.end())
            return false;
        found->second.callback = callback;
        found->second.user = user;
        return true;
    }
    int PlayStream(int channel, SoundHandle stream, bool pause) override
    {
        ++calls;
        auto found = streams.find(stream);
        if (found == streams.end())
            return -1;
        found->second.channel = channel;
        paused[channel] = pause;
        played.push_back(found->second.path);
        return channel;
    }
    void StopStream(SoundHandle stream) override
    {
        ++calls;
        auto found = streams.find(stream);
        if (found != streams.end())
            found->second.channel = -1;
    }
    void CloseStream(SoundHandle stream) override
    {
        ++calls;
        streams.erase(stream);
    }

private:
    SoundHandle m_next = 1;
    std::vector<unsigned> m_finished;
};
