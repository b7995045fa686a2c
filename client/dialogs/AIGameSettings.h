#pragma once

// The choices of the New AI Game dialog, remembered under the frame
// "Preferences.Dialogs.AIGame" of the user settings.

#include "foundation/String.h"

namespace Zorlin {
class CConfig;
}

// Selection of "Computer Plays": in this order, unlike the other colour boxes.
enum EComputerColour { kComputerBlack = 0, kComputerWhite = 1, kComputerRandom = 2 };

struct SAIGameSettings {
    Zorlin::CString engine = "Gnu Chess 5";
    int colour = kComputerBlack;
    int moves = 40;
    int minutes = 5;
    bool depthEnabled = true;
    int depth = 3;
    bool pondering = false;
};

// Missing keys keep the defaults above and are not created.
void LoadAIGameSettings(Zorlin::CConfig& user, SAIGameSettings& out);
void SaveAIGameSettings(Zorlin::CConfig& user, const SAIGameSettings& settings);

// Whether the computer takes White; for Random an odd draw makes it White.
bool ComputerPlaysWhite(int colour, unsigned randomDraw);
// A draw from a generator seeded once per run from the system's entropy.
unsigned DrawRandom();

// The conventional clock of the dialog: minutes per period in seconds.
double PeriodSeconds(int minutes);
