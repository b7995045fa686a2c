#include "client/core/SampleBoardSound.h"

void UseSamplesForBoardSounds()
{
    SetBoardSoundFactory([] { return std::unique_ptr<CBoardSound>(new CSampleBoardSound()); });
}
