#pragma once

namespace Zorlin {
class CImage;
}

// The embossed splash's lighting: a spot light at (lightX, lightY) of the
// picture, deflected by the bump map's gradient. picture and output are
// 24-bit RGB (format 19) of one size, bump and light 8-bit grey (format 1).
// The picture's one-pixel frame is copied unlit; a light wholly outside the
// picture leaves all of it unlit.
void RenderBumpLight(const Zorlin::CImage& picture, const Zorlin::CImage& bump, const Zorlin::CImage& light,
                     int lightX, int lightY, Zorlin::CImage& output);

constexpr int kRgbFormat = 19;
constexpr int kGreyFormat = 1;
