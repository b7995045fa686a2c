#include "platform/SdlSoundBackEnd.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <climits>

namespace {

// The one back end that has the mixer open; the mixer's end hook is a
// plain function, so it finds its queue here.
std::atomic<CSdlSoundBackEnd*> g_openBackEnd{nullptr};

int ClampVolume(int volume)
{
    return volume < 0 ? 0 : volume > CSoundBackEnd::kMaxVolume ? CSoundBackEnd::kMaxVolume : volume;
}

} // namespace

CSdlSoundBackEnd::CSdlSoundBackEnd()
    : m_open(false), m_deviceOpen(false), m_rate(0), m_format(AUDIO_S16SYS), m_outChannels(2), m_channels(0),
      m_frameBytes(4), m_master(kMaxVolume), m_nextHandle(1), m_silent(false)
{
}

CSdlSoundBackEnd::~CSdlSoundBackEnd()
{
    Close();
}

bool CSdlSoundBackEnd::OpenDevice(int allowedChanges)
{
    if (Mix_OpenAudioDevice(m_rate, m_format, m_outChannels, kChunkFrames, nullptr, allowedChanges) != 0)
        return false;
    m_deviceOpen = true;
    m_silent = false;
    return true;
}

bool CSdlSoundBackEnd::Init(int mixRate, int channels)
{
    if (m_open || channels <= 0)
        return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    Mix_Init(MIX_INIT_OGG | MIX_INIT_FLAC);
    m_rate = mixRate;
    m_format = AUDIO_S16SYS;
    m_outChannels = 2;
    if (!OpenDevice(SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE)) {
        Mix_Quit();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    // Kept for reopening: the chunks are converted to this format once.
    int rate = 0, outChannels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&rate, &format, &outChannels);
    m_rate = rate;
    m_format = format;
    m_outChannels = outChannels;
    m_frameBytes = outChannels * int(SDL_AUDIO_BITSIZE(format) / 8);
    if (m_frameBytes <= 0)
        m_frameBytes = 4;
    m_channels = Mix_AllocateChannels(channels);
    m_volumes.assign(size_t(m_channels), kMaxVolume);
    m_plays.reset(new std::atomic<unsigned>[size_t(m_channels)]);
    m_mixed.reset(new std::atomic<unsigned>[size_t(m_channels)]);
    for (int i = 0; i < m_channels; ++i)
        m_plays[size_t(i)] = m_mixed[size_t(i)] = 0;
    m_sounds.clear();
    m_sounds.resize(size_t(m_channels));
    m_master = kMaxVolume;
    m_open = true;
    g_openBackEnd = this;
    Mix_ChannelFinished(&CSdlSoundBackEnd::OnChannelFinished);
    return true;
}

void CSdlSoundBackEnd::Close()
{
    if (!m_open)
        return;
    if (m_deviceOpen) {
        // The hook is set under the mixer's lock, so no end notice runs past here.
        Mix_ChannelFinished(nullptr);
        Mix_HaltChannel(-1);
    }
    g_openBackEnd = nullptr;
    for (auto& entry : m_samples)
        Mix_FreeChunk(entry.second);
    for (auto& entry : m_streams)
        Mix_FreeChunk(entry.second.chunk);
    m_samples.clear();
    m_streams.clear();
    if (m_deviceOpen)
        Mix_CloseAudio();
    m_deviceOpen = false;
    m_sounds.clear();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    m_open = false;
    m_rate = 0;
    m_channels = 0;
    m_volumes.clear();
    m_plays.reset();
    m_mixed.reset();
    std::lock_guard<std::mutex> lock(m_finishedLock);
    m_finished.clear();
}

bool CSdlSoundBackEnd::IsAudible() const
{
    for (int channel = 0; channel < m_channels; ++channel)
        if (Mix_Playing(channel) && !Mix_Paused(channel))
            return true;
    return false;
}

void CSdlSoundBackEnd::CloseIdleDevice()
{
    Mix_ChannelFinished(nullptr);
    for (int channel = 0; channel < m_channels; ++channel) {
        SChannel& sound = m_sounds[size_t(channel)];
        sound.held = sound.source && Mix_Playing(channel) && Mix_Paused(channel);
        if (sound.held)
            sound.heldAt = sound.base + m_mixed[size_t(channel)];
    }
    Mix_CloseAudio();
    m_deviceOpen = false;
    for (SChannel& sound : m_sounds)
        sound.rest.reset();
}

bool CSdlSoundBackEnd::EnsureDevice()
{
    if (m_deviceOpen)
        return true;
    if (!m_open || !OpenDevice(0))
        return false;
    Mix_AllocateChannels(m_channels);
    for (int channel = 0; channel < m_channels; ++channel)
        ApplyVolume(channel);
    Mix_ChannelFinished(&CSdlSoundBackEnd::OnChannelFinished);
    for (int channel = 0; channel < m_channels; ++channel) {
        SChannel& sound = m_sounds[size_t(channel)];
        if (!sound.held)
            continue;
        sound.held = false;
        unsigned at = sound.heldAt - sound.heldAt % unsigned(m_frameBytes);
        if (at >= sound.source->alen)
            continue;
        // Paused again where it stood, under the same play number, so its
        // stream still hears of its end.
        auto rest = std::make_unique<Mix_Chunk>();
        rest->allocated = 0;
        rest->abuf = sound.source->abuf + at;
        rest->alen = sound.source->alen - at;
        rest->volume = sound.source->volume;
        WatchChannel(channel, sound.source, at);
        Mix_Volume(channel, 0);
        if (Mix_PlayChannel(channel, rest.get(), 0) >= 0)
            Mix_Pause(channel);
        ApplyVolume(channel);
        sound.rest = std::move(rest);
    }
    return true;
}

void CSdlSoundBackEnd::WatchChannel(int channel, Mix_Chunk* source, unsigned base)
{
    // The channel plays nothing now: its old view and counter can go.
    SChannel& sound = m_sounds[size_t(channel)];
    sound.rest.reset();
    sound.source = source;
    sound.base = base;
    m_mixed[size_t(channel)] = 0;
    Mix_UnregisterAllEffects(channel);
    Mix_RegisterEffect(channel, &CSdlSoundBackEnd::CountMixed, nullptr, &m_mixed[size_t(channel)]);
}

void CSdlSoundBackEnd::CountMixed(int, void*, int length, void* counter)
{
    if (length > 0)
        *static_cast<std::atomic<unsigned>*>(counter) += unsigned(length);
}

void CSdlSoundBackEnd::ForgetChunk(Mix_Chunk* chunk)
{
    for (int channel = 0; channel < m_channels; ++channel) {
        SChannel& sound = m_sounds[size_t(channel)];
        if (sound.source != chunk)
            continue;
        HaltChannel(channel);
        sound.rest.reset();
        sound.source = nullptr;
        sound.held = false;
    }
}

bool CSdlSoundBackEnd::IsActive()
{
    if (!m_open)
        return false;
    if (m_deviceOpen)
        return true;
    std::lock_guard<std::mutex> lock(m_finishedLock);
    return !m_finished.empty();
}

void CSdlSoundBackEnd::OnChannelFinished(int channel)
{
    CSdlSoundBackEnd* self = g_openBackEnd;
    if (!self || channel < 0 || channel >= self->m_channels)
        return;
    unsigned play = self->m_plays[size_t(channel)];
    std::lock_guard<std::mutex> lock(self->m_finishedLock);
    self->m_finished.emplace_back(channel, play);
}

void CSdlSoundBackEnd::Update()
{
    if (!m_open)
        return;
    std::vector<std::pair<int, unsigned>> finished;
    {
        std::lock_guard<std::mutex> lock(m_finishedLock);
        finished.swap(m_finished);
    }
    for (const auto& notice : finished) {
        // A callback may open, play or close streams: look each one up anew.
        for (auto& entry : m_streams) {
            SStream& stream = entry.second;
            if (stream.channel != notice.first || stream.play != notice.second)
                continue;
            stream.channel = -1;
            if (stream.callback)
                stream.callback(entry.first, stream.user);
            break;
        }
        if (!m_open)
            return;
    }
    if (!m_deviceOpen)
        return;
    auto now = std::chrono::steady_clock::now();
    if (IsAudible()) {
        m_silent = false;
    } else if (!m_silent) {
        m_silent = true;
        m_silentSince = now;
    } else if (now - m_silentSince >= std::chrono::milliseconds(kIdleCloseMs)) {
        CloseIdleDevice();
    }
}

void CSdlSoundBackEnd::SetMasterVolume(int volume)
{
    if (!m_open)
        return;
    m_master = ClampVolume(volume);
    for (int channel = 0; channel < m_channels; ++channel)
        ApplyVolume(channel);
}

bool CSdlSoundBackEnd::SetVolume(int channel, int volume)
{
    if (!IsChannel(channel))
        return false;
    m_volumes[size_t(channel)] = ClampVolume(volume);
    ApplyVolume(channel);
    return true;
}

void CSdlSoundBackEnd::ApplyVolume(int channel)
{
    if (!m_deviceOpen)
        return;
    int volume = m_volumes[size_t(channel)] * m_master / kMaxVolume;
    Mix_Volume(channel, (volume * MIX_MAX_VOLUME + kMaxVolume / 2) / kMaxVolume);
}

bool CSdlSoundBackEnd::SetPaused(int channel, bool paused)
{
    if (!IsChannel(channel))
        return false;
    // A sound held while the device is shut resumes on the device reopened.
    if (!m_deviceOpen && (paused || !m_sounds[size_t(channel)].held || !EnsureDevice()))
        return true;
    if (paused)
        Mix_Pause(channel);
    else
        Mix_Resume(channel);
    return true;
}

CSoundBackEnd::SoundHandle CSdlSoundBackEnd::LoadSample(const void* data, size_t size)
{
    // Chunks are converted to the device's format, so it must be open.
    if (!m_open || !data || size == 0 || size > size_t(INT_MAX) || !EnsureDevice())
        return 0;
    SDL_RWops* source = SDL_RWFromConstMem(data, int(size));
    if (!source)
        return 0;
    Mix_Chunk* chunk = Mix_LoadWAV_RW(source, 1);
    if (!chunk)
        return 0;
    SoundHandle handle = m_nextHandle++;
    m_samples[handle] = chunk;
    return handle;
}

void CSdlSoundBackEnd::FreeSample(SoundHandle sample)
{
    auto found = m_samples.find(sample);
    if (found == m_samples.end())
        return;
    ForgetChunk(found->second);
    Mix_FreeChunk(found->second);
    m_samples.erase(found);
}

unsigned CSdlSoundBackEnd::GetSampleLength(SoundHandle sample)
{
    auto found = m_samples.find(sample);
    return found == m_samples.end() ? 0 : unsigned(found->second->alen / unsigned(m_frameBytes));
}

int CSdlSoundBackEnd::PlaySample(int channel, SoundHandle sample)
{
    auto found = m_samples.find(sample);
    if (found == m_samples.end())
        return -1;
    return StartChunk(channel, found->second, false);
}

void CSdlSoundBackEnd::HaltChannel(int channel)
{
    for (auto& entry : m_streams)
        if (entry.second.channel == channel)
            entry.second.channel = -1;
    if (m_deviceOpen)
        Mix_HaltChannel(channel);
    else if (channel >= 0 && channel < m_channels)
        m_sounds[size_t(channel)].held = false;
}

int CSdlSoundBackEnd::StartChunk(int channel, Mix_Chunk* chunk, bool paused)
{
    if (channel != -1 && !IsChannel(channel))
        return -1;
    if (!m_open || (paused && channel < 0) || !EnsureDevice())
        return -1;
    if (channel >= 0) {
        // Halting first queues the old sound's end under the old play
        // number, which no stream will claim.
        HaltChannel(channel);
        ++m_plays[size_t(channel)];
        WatchChannel(channel, chunk, 0);
    }
    if (paused) {
        // Started silent and paused at once, so not a frame is heard.
        Mix_Volume(channel, 0);
        int used = Mix_PlayChannel(channel, chunk, 0);
        if (used >= 0)
            Mix_Pause(used);
        ApplyVolume(channel);
        return used;
    }
    int used = Mix_PlayChannel(channel, chunk, 0);
    if (channel < 0 && used >= 0) {
        ++m_plays[size_t(used)];
        WatchChannel(used, chunk, 0);
    }
    if (used >= 0)
        m_silent = false;
    return used;
}

CSoundBackEnd::SoundHandle CSdlSoundBackEnd::OpenStream(const char* path)
{
    if (!m_open || !path || !*path || !EnsureDevice())
        return 0;
    Mix_Chunk* chunk = Mix_LoadWAV(path);
    if (!chunk)
        return 0;
    SoundHandle handle = m_nextHandle++;
    m_streams[handle].chunk = chunk;
    return handle;
}

CSdlSoundBackEnd::SStream* CSdlSoundBackEnd::FindStream(SoundHandle stream)
{
    auto found = m_streams.find(stream);
    return found == m_streams.end() ? nullptr : &found->second;
}

bool CSdlSoundBackEnd::SetStreamEndCallback(SoundHandle stream, StreamEndCallback callback, void* user)
{
    SStream* found = FindStream(stream);
    if (!found)
        return false;
    found->callback = callback;
    found->user = user;
    return true;
}

int CSdlSoundBackEnd::PlayStream(int channel, SoundHandle stream, bool paused)
{
    SStream* found = FindStream(stream);
    if (!found || !IsChannel(channel))
        return -1;
    StopStream(stream);
    int used = StartChunk(channel, found->chunk, paused);
    if (used < 0)
        return -1;
    found->channel = used;
    found->play = m_plays[size_t(used)];
    return used;
}

void CSdlSoundBackEnd::StopStream(SoundHandle stream)
{
    SStream* found = FindStream(stream);
    if (!found || found->channel < 0)
        return;
    int channel = found->channel;
    found->channel = -1;
    HaltChannel(channel);
}

void CSdlSoundBackEnd::CloseStream(SoundHandle stream)
{
    SStream* found = FindStream(stream);
    if (!found)
        return;
    StopStream(stream);
    ForgetChunk(found->chunk);
    Mix_FreeChunk(found->chunk);
    m_streams.erase(stream);
}
