#include "exlog/EPng.h"

#include <zlib.h>

#include <stdexcept>

namespace tavrik::exlog {

namespace {

void Put32(std::string& out, uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

void Chunk(std::string& out, const char* type, const std::string& data) {
  Put32(out, static_cast<uint32_t>(data.size()));
  std::string body = std::string(type, 4) + data;
  out += body;
  Put32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace

std::string EncodePng(const TScreenImage& image) {
  if (image.width <= 0 || image.height <= 0 ||
      image.rgb.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3)
    throw std::invalid_argument("image size does not match its pixels");
  std::string rows;
  const size_t stride = static_cast<size_t>(image.width) * 3;
  rows.reserve((stride + 1) * static_cast<size_t>(image.height));
  for (int y = 0; y < image.height; ++y) {
    rows += '\0';
    rows.append(reinterpret_cast<const char*>(image.rgb.data()) + static_cast<size_t>(y) * stride, stride);
  }
  uLongf size = compressBound(static_cast<uLong>(rows.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(rows.data()),
                static_cast<uLong>(rows.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw std::runtime_error("cannot compress the image");
  packed.resize(size);

  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  Put32(header, static_cast<uint32_t>(image.width));
  Put32(header, static_cast<uint32_t>(image.height));
  header += std::string("\x08\x02\x00\x00\x00", 5);
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", std::string());
  return png;
}

}  // namespace tavrik::exlog
