#pragma once

#include <functional>
#include <memory>

namespace Zorlin {
class CFile;
}

// A skin's sound effect as the scene sees it. The client's sound layer
// supplies the real samples through the factory; with no factory installed
// (tests, a client without sound) skins load silently.
class CBoardSound {
public:
    virtual ~CBoardSound() {}
    virtual bool Load(Zorlin::CFile& file) = 0;
    virtual void Play(int channel) = 0;
};

using BoardSoundFactory = std::function<std::unique_ptr<CBoardSound>()>;

// Process-wide: every scene loading a skin after the call uses it.
void SetBoardSoundFactory(BoardSoundFactory factory);
std::unique_ptr<CBoardSound> MakeBoardSound();
