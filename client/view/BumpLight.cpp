#include "client/view/BumpLight.h"

#include <algorithm>
#include <cstring>

#include "foundation/Image.h"

using Zorlin::CImage;

namespace {

// A bump map of another size than the picture reads 0 where it has no pixel.
int BumpAt(const CImage& bump, int x, int y)
{
    if (x < 0 || y < 0 || x >= bump.GetWidth() || y >= bump.GetHeight())
        return 0;
    return bump.GetRow(y)[x];
}

void CopyPicture(const CImage& picture, CImage& output)
{
    int bytes = picture.GetWidth() * 3;
    for (int y = 0; y < picture.GetHeight(); ++y)
        std::memcpy(output.GetRow(y), picture.GetRow(y), size_t(bytes));
}

} // namespace

void RenderBumpLight(const CImage& picture, const CImage& bump, const CImage& light, int lightX, int lightY,
                     CImage& output)
{
    int width = picture.GetWidth(), height = picture.GetHeight();
    if (!picture.HasPixels() || !output.HasPixels() || output.GetWidth() != width || output.GetHeight() != height)
        return;
    CopyPicture(picture, output);
    int lw = light.HasPixels() ? light.GetWidth() : 0;
    int lh = light.HasPixels() ? light.GetHeight() : 0;
    if (lw == 0 || lh == 0)
        return;
    int left = lightX - lw / 2, top = lightY - lh / 2;
    if (left + lw <= 0 || top + lh <= 0 || left >= width || top >= height)
        return;
    for (int y = 1; y < height - 1; ++y) {
        const uint8_t* source = picture.GetRow(y);
        uint8_t* target = output.GetRow(y);
        for (int x = 1; x < width - 1; ++x) {
            int gx = BumpAt(bump, x - 1, y) - BumpAt(bump, x + 1, y) + (x - lightX + lw / 2);
            int gy = BumpAt(bump, x, y - 1) - BumpAt(bump, x, y + 1) + (y - lightY + lh / 2);
            if (gx < 0 || gx >= lw)
                gx = lw - 1;
            if (gy < 0 || gy >= lh)
                gy = lh - 1;
            int lit = light.GetRow(gy)[gx];
            for (int c = 0; c < 3; ++c)
                target[x * 3 + c] = uint8_t(std::min(255, source[x * 3 + c] + lit));
        }
    }
}
