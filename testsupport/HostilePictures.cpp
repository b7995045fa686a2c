#include "testsupport/HostilePictures.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace RookwellTest {

namespace {

void Put32(std::string& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

} // namespace

std::string RunLengthBmp(uint32_t width, uint32_t height)
{
    std::string b(14 + 40 + 8 + 2, '\0');
    b[0] = 'B';
    b[1] = 'M';
    Put32(b, 2, uint32_t(b.size()));
    Put32(b, 10, 14 + 40 + 8);
    Put32(b, 14, 40);
    Put32(b, 18, width);
    Put32(b, 22, height);
    b[26] = 1; // planes
    b[28] = 8; // bits per pixel
    b[30] = 1; // run-length, 8 bits
    Put32(b, 34, 2);
    Put32(b, 46, 2); // colours used
    b[58] = char(255);
    b[59] = char(255);
    b[60] = char(255);
    b[62] = 0;
    b[63] = 1; // end of bitmap
    return b;
}

std::string RealJpeg(int width, int height)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* memory = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &memory, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 5, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(size_t(width), 200);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(memory), size);
    jpeg_destroy_compress(&info);
    std::free(memory);
    return bytes;
}

long PeakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace RookwellTest
