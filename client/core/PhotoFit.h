#pragma once

// The profile photo: any picture scaled to fit 96 x 72, centred on a plain
// background, so every opponent sees the same size. Pictures from other
// people pass through here before they are stored or shown: decoded under a
// pixel limit and made into a 96 x 72 BMP, so a small file claiming a huge
// picture is refused before anything is allocated for it.

#include <cstdint>

namespace Zorlin {
class CBuffer;
class CFile;
class CImage;
}

const int kPhotoWidth = 96;
const int kPhotoHeight = 72;

// The largest side a picture from another machine may claim, and the
// largest such file that is read at all.
const int kMaxReceivedPictureSide = 4096;
const uint32_t kMaxReceivedPictureFile = 64 * 1024 * 1024;

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

// Loads the picture file (the codec chosen by its name's extension, from
// its start) under the pixel limit; false, picture empty, for a file too
// big, no picture the codecs read, or one claiming more pixels.
bool LoadReceivedPicture(Zorlin::CFile& file, Zorlin::CImage& picture);

// The 96 x 72 photo of a picture file, as the bytes of a BMP file; false,
// bmp empty, when LoadReceivedPicture refuses the file.
bool FitPhotoFile(Zorlin::CFile& file, Zorlin::CBuffer& bmp);

// The BMP file bytes of an image; false when it cannot be written.
bool SaveBmpBytes(const Zorlin::CImage& image, Zorlin::CBuffer& bmp);
