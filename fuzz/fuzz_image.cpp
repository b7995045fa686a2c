// Decodes arbitrary bytes with one of the four image codecs (the first byte
// chooses which), then draws with the result. A decoder may refuse the
// input but must never read or write outside its buffers, and an image it
// accepts must be whole and usable.
#include "foundation/Image.h"
#include "foundation/MemFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Zorlin;

namespace {

const char* const kNames[] = {"fuzz.bmp", "fuzz.tga", "fuzz.jpg", "fuzz.png"};

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_image: %s\n", what);
        std::abort();
    }
}

void Exercise(CImage& image)
{
    Check(image.HasPixels(), "accepted image without pixels");
    Check(image.GetWidth() > 0 && image.GetWidth() <= CImage::kMaxDimension, "width out of range");
    Check(image.GetHeight() > 0 && image.GetHeight() <= CImage::kMaxDimension, "height out of range");
    CImage copy(image.GetWidth() < 64 ? image.GetWidth() : 64,
                image.GetHeight() < 64 ? image.GetHeight() : 64, 22);
    copy.Blit(image, 0, 0);
    Check(copy.GetLastError() == 0, "blit of an accepted image failed");
    CImage half(copy.GetWidth() / 2 > 0 ? copy.GetWidth() / 2 : 1, copy.GetHeight() / 2 > 0 ? copy.GetHeight() / 2 : 1, 22);
    half.StretchBlit(copy, 2, CImage::WholeImage, CImage::WholeImage);
    copy.Convert(0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > (1u << 20))
        return 0;
    const char* name = kNames[data[0] % 4];
    CMemFile file;
    file.Open(CString(name), CFile::kModeRead | CFile::kModeWrite);
    if (size > 1)
        file.Write(data + 1, unsigned(size - 1));
    for (int format : {26, 22, 1}) {
        file.Seek(0, CFile::kSeekStart);
        CImage image;
        if (image.Load(file, format) == 0)
            Exercise(image);
    }
    // Into an image that already has pixels and must keep them.
    file.Seek(0, CFile::kSeekStart);
    CImage kept(7, 5, 19);
    if (kept.Load(file, 26, false) == 0)
        Check(kept.HasPixels(), "kept image lost its pixels");
    return 0;
}
