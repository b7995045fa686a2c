#pragma once

#include "client/core/SoundSample.h"
#include "client/view/BoardSound.h"

// A board skin's sound as a sample of the client's sound library.
class CSampleBoardSound : public CBoardSound {
public:
    bool Load(Zorlin::CFile& file) override { return m_sample.Load(file); }
    void Play(int channel) override { m_sample.Play(channel); }

private:
    CSoundSample m_sample;
};

// Makes skins loaded from now on play through the sound library.
void UseSamplesForBoardSounds();
