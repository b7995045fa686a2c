#pragma once

// Picture files as an attacker makes them, for the tests of the readers that
// take pictures from other machines.

#include <cstdint>
#include <string>

namespace RookwellTest {

// An 8-bit run-length BMP claiming width x height: headers, a two-colour
// palette and the data "end of bitmap"; 64 bytes whatever it claims.
std::string RunLengthBmp(uint32_t width, uint32_t height);

// A real grey JPEG of width x height, made row by row with the JPEG library,
// so that making it never holds the whole picture.
std::string RealJpeg(int width, int height);

// The highest resident size this process has had, in megabytes.
long PeakMegabytes();

} // namespace RookwellTest
