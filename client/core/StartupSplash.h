#pragma once

// The plain picture shown while the client starts.

class wxFrame;

namespace Zorlin {
class CDrive;
}

// Opens a frame named "Splash" showing the picture of the drive, sized to it
// and centred on the screen; null when the picture cannot be read.
wxFrame* OpenStartupSplash(Zorlin::CDrive& programDrive, const char* picturePath);
