#include "foundation/ImageCodecJpg.h"

#include <csetjmp>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include "foundation/File.h"
#include "foundation/ImageCodecSupport.h"

namespace Zorlin {

// Fatal library errors jump back with longjmp: every frame between a setjmp
// below and the library holds plain data only, and every C++ object lives in
// the callers of those functions.

namespace {

const size_t kBufferSize = 16384;
const int kMaxScans = 1000;                  // a progressive file may not spin for ever
const long kMaxLibraryMemory = 512L << 20;

struct SJpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<SJpegError*>(cinfo->err)->jump, 1); }
void OutputMessage(j_common_ptr) {}

void Progress(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        ERREXIT(cinfo, JERR_NOT_COMPILED);
}

void InitError(SJpegError& error)
{
    jpeg_std_error(&error.pub);
    error.pub.error_exit = ErrorExit;
    error.pub.output_message = OutputMessage;
}

// Source: reads the file through CFile in blocks.
struct SSource {
    jpeg_source_mgr pub;
    CFile* file;
    JOCTET* buffer;
    bool atStart;
};

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<SSource*>(cinfo->src)->atStart = true; }

boolean FillInput(j_decompress_ptr cinfo)
{
    SSource* src = reinterpret_cast<SSource*>(cinfo->src);
    size_t got = src->file->Read(src->buffer, kBufferSize) ? src->file->GetLastReadCount() : 0;
    if (got > kBufferSize)
        got = 0;
    if (got == 0) {
        if (src->atStart)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        // A truncated file decodes as far as it goes.
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        got = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = got;
    src->atStart = false;
    return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    SSource* src = reinterpret_cast<SSource*>(cinfo->src);
    while (size_t(count) > src->pub.bytes_in_buffer) {
        count -= long(src->pub.bytes_in_buffer);
        FillInput(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

void SetSource(j_decompress_ptr cinfo, CFile* file)
{
    SSource* src = static_cast<SSource*>(
        (*cinfo->mem->alloc_small)(j_common_ptr(cinfo), JPOOL_PERMANENT, sizeof(SSource)));
    src->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(j_common_ptr(cinfo), JPOOL_PERMANENT, kBufferSize));
    src->file = file;
    src->atStart = true;
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInput;
    src->pub.skip_input_data = SkipInput;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    cinfo->src = &src->pub;
}

// Destination: writes the file through CFile in blocks.
struct SDestination {
    jpeg_destination_mgr pub;
    CFile* file;
    JOCTET* buffer;
};

void InitDestination(j_compress_ptr cinfo)
{
    SDestination* dest = reinterpret_cast<SDestination*>(cinfo->dest);
    dest->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(j_common_ptr(cinfo), JPOOL_IMAGE, kBufferSize));
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferSize;
}

bool WriteAll(CFile* file, const JOCTET* data, size_t count)
{
    return file->Write(data, unsigned(count)) && file->GetLastWriteCount() == count;
}

boolean EmptyOutput(j_compress_ptr cinfo)
{
    SDestination* dest = reinterpret_cast<SDestination*>(cinfo->dest);
    if (!WriteAll(dest->file, dest->buffer, kBufferSize))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    SDestination* dest = reinterpret_cast<SDestination*>(cinfo->dest);
    size_t count = kBufferSize - dest->pub.free_in_buffer;
    if (count > 0 && !WriteAll(dest->file, dest->buffer, count))
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

void SetDestination(j_compress_ptr cinfo, CFile* file)
{
    SDestination* dest = static_cast<SDestination*>(
        (*cinfo->mem->alloc_small)(j_common_ptr(cinfo), JPOOL_PERMANENT, sizeof(SDestination)));
    dest->file = file;
    dest->buffer = nullptr;
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutput;
    dest->pub.term_destination = TermDestination;
    cinfo->dest = &dest->pub;
}

struct SLoad {
    jpeg_decompress_struct cinfo;
    SJpegError error;
    jpeg_progress_mgr progress;
    JSAMPARRAY row;
};

// 0, or the codec's error code.
int StartDecompress(SLoad* s, CFile* file, const CImage& image)
{
    if (setjmp(s->error.jump))
        return CImage::ERR_FORMAT;
    jpeg_create_decompress(&s->cinfo);
    s->cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
    s->progress.progress_monitor = Progress;
    s->cinfo.progress = &s->progress;
    SetSource(&s->cinfo, file);
    jpeg_read_header(&s->cinfo, TRUE);
    // Before any scan is decoded: a progressive file of a few hundred bytes
    // may claim a picture of hundreds of megabytes.
    if (!image.FitsLoadLimit(s->cinfo.image_width, s->cinfo.image_height))
        return CImage::ERR_ALLOC;
    if (s->cinfo.out_color_space != JCS_GRAYSCALE && s->cinfo.out_color_space != JCS_RGB)
        s->cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&s->cinfo);
    s->row = (*s->cinfo.mem->alloc_sarray)(j_common_ptr(&s->cinfo), JPOOL_IMAGE,
                                           s->cinfo.output_width * s->cinfo.output_components, 1);
    return 0;
}

bool ReadRow(SLoad* s)
{
    if (setjmp(s->error.jump))
        return false;
    return jpeg_read_scanlines(&s->cinfo, s->row, 1) == 1;
}

bool FinishDecompress(SLoad* s)
{
    if (setjmp(s->error.jump))
        return false;
    jpeg_finish_decompress(&s->cinfo);
    return true;
}

struct SSave {
    jpeg_compress_struct cinfo;
    SJpegError error;
};

bool Compress(SSave* s, CFile* file, const uint8_t* pixels, int bytesPerRow, int width,
              int height, int quality)
{
    if (setjmp(s->error.jump))
        return false;
    jpeg_create_compress(&s->cinfo);
    SetDestination(&s->cinfo, file);
    s->cinfo.image_width = JDIMENSION(width);
    s->cinfo.image_height = JDIMENSION(height);
    s->cinfo.input_components = 3;
    s->cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&s->cinfo);
    jpeg_set_quality(&s->cinfo, quality, TRUE);
    jpeg_start_compress(&s->cinfo, TRUE);
    while (s->cinfo.next_scanline < s->cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + size_t(s->cinfo.next_scanline) * bytesPerRow);
        jpeg_write_scanlines(&s->cinfo, &row, 1);
    }
    jpeg_finish_compress(&s->cinfo);
    return true;
}

int FormatOfComponents(int components)
{
    switch (components) {
    case 1: return 1;
    case 3: return 19;
    case 4: return 21;
    default: return -1;
    }
}

int DecodeInto(SLoad& s, CImage& image, bool reallocate)
{
    int width = int(s.cinfo.output_width), height = int(s.cinfo.output_height);
    int format = FormatOfComponents(s.cinfo.output_components);
    if (format < 0)
        return CImage::ERR_CONTENTS;
    const CImage::SPixelFormat& stored = CImage::GetPixelFormat(format);
    bool same = image.GetWidth() == width && image.GetHeight() == height &&
                image.GetPixelFormat().IsSame(stored);
    if (!image.HasPixels() || (reallocate && !same))
        image.Create(width, height, format);
    if (!image.HasPixels())
        return CImage::ERR_ALLOC;
    int rows = height < image.GetHeight() ? height : image.GetHeight();
    int columns = width < image.GetWidth() ? width : image.GetWidth();
    CImage line(s.row[0], columns, 1, format, width * s.cinfo.output_components);
    for (int y = 0; y < rows; ++y) {
        if (!ReadRow(&s))
            return CImage::ERR_FORMAT;
        image.Blit(line, 0, y);
    }
    if (rows == height && !FinishDecompress(&s))
        return CImage::ERR_FORMAT;
    return 0;
}

} // namespace

int CImageCodecJpg::Load(CFile& file, CImage& image, bool reallocate, int format)
{
    if (!file.IsOpen() || !file.IsReadable())
        return CImage::ERR_FILE;
    SLoad s = {};
    InitError(s.error);
    s.cinfo.err = &s.error.pub;
    int result = StartDecompress(&s, &file, image);
    if (result == 0)
        result = DecodeInto(s, image, reallocate);
    jpeg_destroy_decompress(&s.cinfo);
    if (result)
        return result;
    if (format != CImage::FORMAT_NONE) {
        image.Convert(format);
        return image.GetLastError();
    }
    return 0;
}

int CImageCodecJpg::Save(CFile& file, const CImage& image)
{
    if (!file.IsOpen() || !file.IsWritable())
        return CImage::ERR_FILE;
    if (!image.HasPixels())
        return CImage::ERR_NO_PIXELS;
    const CImage* source = &image;
    CImage rgb;
    if (image.GetPixelFormatIndex() != 19) {
        rgb.Create(image.GetWidth(), image.GetHeight(), 19);
        if (!rgb.HasPixels())
            return CImage::ERR_ALLOC;
        rgb.Blit(image, 0, 0);
        source = &rgb;
    }
    SSave s = {};
    InitError(s.error);
    s.cinfo.err = &s.error.pub;
    bool ok = Compress(&s, &file, source->GetPixels(), source->GetBytesPerRow(),
                       source->GetWidth(), source->GetHeight(), m_quality);
    jpeg_destroy_compress(&s.cinfo);
    return ok ? 0 : CImage::ERR_FORMAT;
}

} // namespace Zorlin
