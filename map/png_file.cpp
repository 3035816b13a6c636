#include "map/png_file.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace trasop {

namespace {

void putBigEndian(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value >> 24);
  out += static_cast<char>(value >> 16);
  out += static_cast<char>(value >> 8);
  out += static_cast<char>(value);
}

// One chunk: its length, type, data and the CRC of type and data.
bool writeChunk(std::FILE* file, const char* type, const unsigned char* data, std::size_t size) {
  std::string head;
  putBigEndian(head, static_cast<std::uint32_t>(size));
  head.append(type, 4);
  uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(type), 4);
  if (size > 0) crc = crc32(crc, data, static_cast<uInt>(size));
  std::string tail;
  putBigEndian(tail, static_cast<std::uint32_t>(crc));
  return std::fwrite(head.data(), 1, head.size(), file) == head.size() &&
         (size == 0 || std::fwrite(data, 1, size, file) == size) &&
         std::fwrite(tail.data(), 1, tail.size(), file) == tail.size();
}

bool writeChunk(std::FILE* file, const char* type, const std::string& data) {
  return writeChunk(file, type, reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

// The image data: each row after its filter byte (0: none), deflated in one stream, written as
// IDAT chunks as the compressed data comes.
bool writeImageData(std::FILE* file, const PaletteImage& image) {
  z_stream stream = {};
  if (deflateInit2(&stream, 6, Z_DEFLATED, 15, 8, Z_RLE) != Z_OK) return false;
  std::vector<unsigned char> row(static_cast<std::size_t>(image.width) + 1, 0);
  std::vector<unsigned char> out(std::size_t{1} << 16);
  bool written = true;
  for (int y = 0; y <= image.height && written; ++y) {
    const bool last = y == image.height;
    if (!last) {
      row[0] = 0;
      image.row(y, row.data() + 1);
    }
    stream.next_in = last ? nullptr : row.data();
    stream.avail_in = last ? 0 : static_cast<uInt>(row.size());
    int status = Z_OK;
    do {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
      const std::size_t produced = out.size() - stream.avail_out;
      if (status == Z_STREAM_ERROR ||
          (produced > 0 && !writeChunk(file, "IDAT", out.data(), produced))) {
        written = false;
        break;
      }
    } while (stream.avail_out == 0 || (last && status != Z_STREAM_END));
  }
  deflateEnd(&stream);
  return written;
}

}  // namespace

bool writePng(std::FILE* file, const PaletteImage& image) {
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::string header;
  putBigEndian(header, static_cast<std::uint32_t>(image.width));
  putBigEndian(header, static_cast<std::uint32_t>(image.height));
  header += '\x08';                // 8 bits a pixel
  header += '\x03';                // palette
  header += std::string(3, '\0');  // deflate, adaptive filters, no interlace
  std::string palette;
  for (const Colour& colour : image.palette) {
    palette += static_cast<char>(colour.red);
    palette += static_cast<char>(colour.green);
    palette += static_cast<char>(colour.blue);
  }
  bool written = std::fwrite(kSignature, 1, sizeof kSignature, file) == sizeof kSignature &&
                 writeChunk(file, "IHDR", header) && writeChunk(file, "PLTE", palette);
  if (written && image.transparent >= 0) {
    // Every colour opaque up to the transparent one, which is the last given.
    std::string alpha(static_cast<std::size_t>(image.transparent) + 1, '\xff');
    alpha.back() = '\0';
    written = writeChunk(file, "tRNS", alpha);
  }
  return written && writeImageData(file, image) && writeChunk(file, "IEND", std::string());
}

}  // namespace trasop
