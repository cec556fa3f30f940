// A PNG writer for the screenshot of a report: 8-bit RGB, one IDAT chunk compressed with zlib.
//
// File layout:
//   OFFSET SIZE CONTENT
//   0      8    signature 89 50 4E 47 0D 0A 1A 0A
//   8      25   IHDR: length 13, "IHDR", width, height (big-endian 32 bits), bit depth 8,
//               colour type 2 (RGB), compression 0, filter 0, interlace 0, CRC
//   33     n+12 IDAT: length n, "IDAT", zlib stream of the rows (each a filter byte 0 and
//               width*3 bytes), CRC
//   ...    12   IEND: length 0, "IEND", CRC
// Every CRC is the CRC-32 of the chunk's type and data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrik::exlog {

struct TScreenImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
};

// The PNG file of `image`; raises std::invalid_argument for an image whose size does not match
// its pixels.
std::string EncodePng(const TScreenImage& image);

}  // namespace tavrik::exlog
