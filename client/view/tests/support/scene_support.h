#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "client/view/BoardScene.h"
#include "client/view/BoardSound.h"
#include "foundation/Image.h"

using RGB = std::array<int, 3>;

// A folder under /tmp removed with everything in it.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

std::filesystem::path SourcePath(const std::string& relative);
std::filesystem::path TinySkinPath();
std::filesystem::path DefaultSkinPath();

// A copy of a skin whose info.cfg has the given lines put first: the first
// value read for a key wins, so they override the skin's own ("key=" with
// nothing after it reads as a missing key).
std::filesystem::path CopySkin(const CTempFolder& where, const std::filesystem::path& skin,
                               const std::string& overrides = std::string());

// Cuts a top-level frame ("Name=" then a braced block) out of a file.
void RemoveFrame(const std::filesystem::path& file, const std::string& name);

bool LoadSkinFrom(CBoardScene& scene, const std::filesystem::path& folder);

// The 32 pieces of the start position.
void AddStartPosition(CBoardScene& scene);

// Window pixels, y down from the top, as the last frame left them.
RGB ReadWindowPixel(int x, int y, int windowHeight);
// The window's top-left width x height pixels as an image, top row first.
void GrabWindow(int width, int height, int windowHeight, Zorlin::CImage& out);
// A pixel projection for drawing textures straight into the window.
void StartWindowFrame(int width, int height);
RGB ImagePixel(const Zorlin::CImage& image, int x, int y);
bool Near(const RGB& a, const RGB& b, int tolerance = 8);
std::string Describe(const RGB& c);

// Records what the scene asks of its sounds.
struct SSoundLog {
    std::vector<std::string> loaded; // sizes of the files loaded, in order
    std::vector<int> played;         // channels
};
void InstallRecordingSounds(SSoundLog& log);
void RemoveSounds();

// Writes an image as BMP for a person to look at; returns the path.
std::string SaveForInspection(Zorlin::CImage& image, const std::string& name);
