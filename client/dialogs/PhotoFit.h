#pragma once

// The profile photo: any picture scaled to fit 96 x 72, centred on a plain
// background, so every opponent sees the same size.

namespace Zorlin {
class CImage;
}

const int kPhotoWidth = 96;
const int kPhotoHeight = 72;

struct SPhotoFit {
    int width;  // the scaled picture, in whole pixels
    int height;
    int x;      // its place in the 96 x 72 photo
    int y;
};

// Scale 96 / width, or 72 / height when that would be too tall; never below
// one pixel. False for a picture without pixels.
bool FitPhoto(int width, int height, SPhotoFit& out);

// The 96 x 72 photo (24-bit RGB) of a loaded picture; false when it has no pixels.
bool MakeProfilePhoto(const Zorlin::CImage& picture, Zorlin::CImage& photo);
