#include "client/core/PhotoFit.h"

#include <algorithm>
#include <cstdint>

#include "foundation/Buffer.h"
#include "foundation/File.h"
#include "foundation/Image.h"
#include "foundation/MemFile.h"

using Zorlin::CBuffer;
using Zorlin::CColour;
using Zorlin::CFile;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CImage;

namespace {

const int kRgb24 = 19;
// The border around a picture that does not fill the photo.
const CColour kBackground(64, 64, 64, 255);

} // namespace

bool FitPhoto(int width, int height, SPhotoFit& out)
{
    if (width <= 0 || height <= 0)
        return false;
    // In whole numbers, so a scale such as 96 / 300 loses no pixel to rounding.
    int64_t w = width, h = height;
    if (h * kPhotoWidth > int64_t(kPhotoHeight) * w) {
        out.width = int(w * kPhotoHeight / h);
        out.height = kPhotoHeight;
    } else {
        out.width = kPhotoWidth;
        out.height = int(h * kPhotoWidth / w);
    }
    out.width = std::clamp(out.width, 1, kPhotoWidth);
    out.height = std::clamp(out.height, 1, kPhotoHeight);
    out.x = (kPhotoWidth - out.width) / 2;
    out.y = (kPhotoHeight - out.height) / 2;
    return true;
}

bool MakeProfilePhoto(const CImage& picture, CImage& photo)
{
    SPhotoFit fit;
    if (!picture.HasPixels() || !FitPhoto(picture.GetWidth(), picture.GetHeight(), fit))
        return false;
    photo.Create(kPhotoWidth, kPhotoHeight, kRgb24);
    if (!photo.HasPixels())
        return false;
    photo.Clear(kBackground);
    CImage::SRect from;
    from.Set(picture.GetWidth(), picture.GetHeight());
    CImage::SRect to;
    to.left = fit.x;
    to.top = fit.y;
    to.right = fit.x + fit.width - 1;
    to.bottom = fit.y + fit.height - 1;
    photo.StretchBlit(picture, 2, from, to);
    return photo.GetLastError() == CImage::ERR_NONE;
}

bool LoadReceivedPicture(CFile& file, CImage& picture)
{
    picture.Free();
    if (!file.IsOpen() || file.IsNull() || file.GetSize() == 0 || file.GetSize() > kMaxReceivedPictureFile ||
        !file.Seek(0, CFile::kSeekStart))
        return false;
    // The decoders read the claimed size first and refuse it before decoding.
    picture.SetLoadLimit(kMaxReceivedPictureSide);
    if (picture.Load(file) != CImage::ERR_NONE || !picture.HasPixels()) {
        picture.Free();
        return false;
    }
    return true;
}

bool SaveBmpBytes(const CImage& image, CBuffer& bmp)
{
    bmp.Resize(0);
    CMemFile out;
    out.Open(CString("photo.bmp"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (const_cast<CImage&>(image).Save(out, "bmp") != CImage::ERR_NONE || !out.Seek(0, CFile::kSeekStart))
        return false;
    const uint32_t size = out.GetSize32();
    if (size == 0 || !bmp.Resize(int(size)) || !out.Read(bmp.GetData(), size)) {
        bmp.Resize(0);
        return false;
    }
    return true;
}

bool FitPhotoFile(CFile& file, CBuffer& bmp)
{
    bmp.Resize(0);
    CImage picture, photo;
    return LoadReceivedPicture(file, picture) && MakeProfilePhoto(picture, photo) && SaveBmpBytes(photo, bmp);
}
