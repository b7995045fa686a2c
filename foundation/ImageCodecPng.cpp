#include "foundation/ImageCodecPng.h"

#include <csetjmp>
#include <vector>

#include <png.h>

#include "foundation/File.h"
#include "foundation/ImageCodecSupport.h"

namespace Zorlin {

// Fatal library errors jump back with longjmp: every frame between a setjmp
// below and the library holds plain data only.

namespace {

struct SRead {
    png_structp png;
    png_infop info;
    png_infop endInfo;
    CFile* file;
    png_uint_32 width, height;
    int channels;
    int colourType;
    bool swapped;
    png_colorp palette;
    int paletteCount;
};

void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void Warn(png_structp, png_const_charp) {}

void ReadData(png_structp png, png_bytep data, size_t count)
{
    SRead* s = static_cast<SRead*>(png_get_io_ptr(png));
    unsigned char* p = data;
    while (count > 0) {
        if (!s->file->Read(p, unsigned(count)) || s->file->GetLastReadCount() == 0 ||
            s->file->GetLastReadCount() > count)
            png_error(png, "read failed");
        p += s->file->GetLastReadCount();
        count -= s->file->GetLastReadCount();
    }
}

bool ReadInfo(SRead* s, int requested, int limit)
{
    if (setjmp(png_jmpbuf(s->png)))
        return false;
    png_set_read_fn(s->png, s, ReadData);
    png_set_user_limits(s->png, limit, limit);
    png_read_info(s->png, s->info);
    int depth = png_get_bit_depth(s->png, s->info);
    s->colourType = png_get_color_type(s->png, s->info);
    if (s->colourType == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(s->png);
    if (depth == 16)
        png_set_strip_16(s->png);
    if (depth < 8)
        png_set_packing(s->png);
    s->swapped = false;
    if (s->colourType == PNG_COLOR_TYPE_RGB || s->colourType == PNG_COLOR_TYPE_RGB_ALPHA) {
        png_set_expand(s->png);
        if (requested == 20 || requested == 22) {
            png_set_bgr(s->png);
            s->swapped = true;
        }
    }
    png_set_interlace_handling(s->png);
    png_read_update_info(s->png, s->info);
    s->width = png_get_image_width(s->png, s->info);
    s->height = png_get_image_height(s->png, s->info);
    s->channels = png_get_channels(s->png, s->info);
    if (png_get_rowbytes(s->png, s->info) != size_t(s->width) * size_t(s->channels))
        s->channels = 0;
    s->palette = nullptr;
    s->paletteCount = 0;
    if (s->colourType == PNG_COLOR_TYPE_PALETTE &&
        !png_get_PLTE(s->png, s->info, &s->palette, &s->paletteCount))
        s->paletteCount = 0;
    return true;
}

bool ReadPixels(SRead* s, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(s->png)))
        return false;
    png_read_image(s->png, rows);
    return true;
}

int DecodedFormat(const SRead& s)
{
    switch (s.channels) {
    case 1: return s.colourType == PNG_COLOR_TYPE_PALETTE ? 0 : 1;
    case 2: return 8;
    case 3: return s.swapped ? 20 : 19;
    case 4: return s.swapped ? 22 : 21;
    default: return -1;
    }
}

void SetPalette(const SRead& s, CImage& target)
{
    target.SetPaletteSize(256);
    for (int i = 0; i < 256; ++i)
        *target.GetPalette().GetAt(i) = CColour::Black;
    for (int i = 0; i < s.paletteCount && i < 256; ++i)
        *target.GetPalette().GetAt(i) =
            CColour(s.palette[i].red, s.palette[i].green, s.palette[i].blue, 0);
    target.SetPaletteChanged();
}

int Decode(SRead& s, CImage& image, bool reallocate, int format)
{
    int decoded = DecodedFormat(s);
    if (decoded < 0)
        return CImage::ERR_VARIANT;
    int width = int(s.width), height = int(s.height);
    if (!image.FitsLoadLimit(width, height))
        return CImage::ERR_ALLOC;
    CImage temporary;
    CImage* target = &temporary;
    if (!reallocate && image.HasPixels()) {
        // Rows go straight in only when they fit and are already in the
        // image's own format.
        if (image.GetWidth() >= width && image.GetHeight() >= height &&
            image.GetPixelFormatIndex() == decoded)
            target = &image;
    } else {
        int wanted = format == CImage::FORMAT_NONE ? decoded : format;
        image.Create(width, height, wanted);
        if (!image.HasPixels())
            return image.GetLastError() ? image.GetLastError() : int(CImage::ERR_ALLOC);
        if (wanted == decoded)
            target = &image;
    }
    if (target == &temporary) {
        temporary.Create(width, height, decoded);
        if (!temporary.HasPixels())
            return CImage::ERR_ALLOC;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[size_t(y)] = target->GetRow(y);
    if (!ReadPixels(&s, rows.data()))
        return CImage::ERR_FORMAT;
    if (s.colourType == PNG_COLOR_TYPE_PALETTE && s.paletteCount > 0)
        SetPalette(s, *target);
    if (target == &temporary) {
        if (decoded == 0) {
            image.GetPalette() = temporary.GetPalette();
            image.SetPaletteChanged();
        }
        image.Blit(temporary, 0, 0);
        if (image.GetLastError())
            return image.GetLastError();
    }
    if (format != CImage::FORMAT_NONE && image.GetPixelFormatIndex() != format) {
        image.Convert(format);
        return image.GetLastError();
    }
    return 0;
}

} // namespace

int CImageCodecPng::Load(CFile& file, CImage& image, bool reallocate, int format)
{
    if (!file.IsOpen())
        return CImage::ERR_FILE;
    png_byte signature[8];
    bool read = ImageCodecSupport::ReadExact(file, signature, 8);
    if (read && !file.Skip(-8))
        return CImage::ERR_FILE;
    if (!read || png_sig_cmp(signature, 0, 8) != 0)
        return CImage::ERR_CONTENTS;

    SRead s = {};
    s.file = &file;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Warn);
    if (s.png) {
        s.info = png_create_info_struct(s.png);
        s.endInfo = png_create_info_struct(s.png);
    }
    int result = CImage::ERR_FORMAT;
    if (s.png && s.info && s.endInfo && ReadInfo(&s, format, image.GetLoadLimit()))
        result = Decode(s, image, reallocate, format);
    png_destroy_read_struct(&s.png, &s.info, &s.endInfo);
    return result;
}

int CImageCodecPng::Save(CFile&, const CImage&) { return CImage::ERR_VARIANT; }

} // namespace Zorlin
