#include "client/view/BoardSound.h"

namespace {
BoardSoundFactory& Factory()
{
    static BoardSoundFactory factory;
    return factory;
}
} // namespace

void SetBoardSoundFactory(BoardSoundFactory factory) { Factory() = std::move(factory); }

std::unique_ptr<CBoardSound> MakeBoardSound()
{
    BoardSoundFactory& factory = Factory();
    return factory ? factory() : nullptr;
}
