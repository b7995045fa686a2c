#pragma once

namespace Zorlin {
class CConfig;
}

// The client's sound switch. Every sound operation first asks IsSoundReady
// and does nothing while it is false, so a muted client, or one whose sound
// failed to start, runs silently without further checks.

// The channels of the client's sounds.
enum {
    kEffectChannel = 0,
    kWhiteVoiceChannel = 2,
    kBlackVoiceChannel = 3,
    kMusicChannel = 4,
    kJingleChannel = 5,
    kSoundChannelCount = 8,
};

// False when sound is already on or the device cannot start.
bool InitSound();
void CloseSound();
// Delivers the sound library's pending end-of-track notices and closes an
// idle device; every game tick.
void UpdateSound();
// Whether UpdateSound has work: something plays or the device is still open.
// While false the game tick may slow down; the next sound makes it true.
bool IsSoundActive();
// volume 0..255
void SetChannelVolume(int channel, int volume);
bool IsSoundReady();
// For start-up, when starting sound went wrong in some other way.
void MarkSoundNotReady();

enum class ESoundStart { kMuted, kFailed, kStarted };
// Start-up's sound step without its messages: nothing when
// Preferences.Sound.Mute is on; else InitSound and, once started, the music
// and jingle channels at Preferences.Music.Volume.
ESoundStart StartSound(const Zorlin::CConfig& userSettings);
// The whole-number value of Preferences.Music.Volume, 0 when missing.
int GetMusicVolume(const Zorlin::CConfig& userSettings);

// Position of the lowest set bit of n; 0 for 0 and for odd n.
int LowestSetBit(unsigned n);
