#include "foundation/ImageCodecSupport.h"

#include "foundation/File.h"

namespace Zorlin {

namespace ImageCodecSupport {

CImage* ChooseTarget(CImage& image, CImage& temporary, bool reallocate, int width, int height,
                     const CImage::SPixelFormat& format)
{
    CImage* target = &image;
    bool same = image.HasPixels() && image.GetWidth() == width && image.GetHeight() == height &&
                image.GetPixelFormat().IsSame(format);
    if (!same) {
        if (image.HasPixels() && !reallocate)
            target = &temporary;
        target->Create(width, height, format);
    }
    return target->HasPixels() ? target : nullptr;
}

int FinishLoad(CImage& image, CImage* target, CImage& temporary, int format)
{
    if (target == &temporary) {
        if (image.GetPixelFormat().palettised && temporary.GetPixelFormat().palettised) {
            image.GetPalette() = temporary.GetPalette();
            image.SetPaletteChanged();
        }
        image.Blit(temporary, 0, 0);
        temporary.Free();
        if (image.GetLastError() != CImage::ERR_NONE)
            return image.GetLastError();
    }
    image.SetPaletteChanged();
    if (format != CImage::FORMAT_NONE) {
        image.Convert(format);
        if (image.GetLastError() != CImage::ERR_NONE)
            return image.GetLastError();
    }
    return 0;
}

bool ReadExact(CFile& file, void* buffer, unsigned count)
{
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        if (!file.Read(p, count))
            return false;
        unsigned got = file.GetLastReadCount();
        if (got == 0 || got > count)
            return false;
        p += got;
        count -= got;
    }
    return true;
}

bool WriteExact(CFile& file, const void* buffer, unsigned count)
{
    if (count == 0)
        return true;
    return file.Write(buffer, count) && file.GetLastWriteCount() == count;
}

} // namespace ImageCodecSupport

} // namespace Zorlin
