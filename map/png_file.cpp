#include "map/png_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
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

// Deflates the image data, row after row as fill(y, row) gives them (each row's filter byte
// first), and writes it as IDAT chunks as the compressed data comes.
bool writeImageData(std::FILE* file, int height, std::size_t rowBytes, int level, int strategy,
                    const std::function<void(int y, unsigned char* row)>& fill) {
  z_stream stream = {};
  if (deflateInit2(&stream, level, Z_DEFLATED, 15, 8, strategy) != Z_OK) return false;
  std::vector<unsigned char> row(rowBytes, 0);
  std::vector<unsigned char> out(std::size_t{1} << 16);
  bool written = true;
  for (int y = 0; y <= height && written; ++y) {
    const bool last = y == height;
    if (!last) fill(y, row.data());
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

std::string imageHeader(int width, int height, char colourType) {
  std::string header;
  putBigEndian(header, static_cast<std::uint32_t>(width));
  putBigEndian(header, static_cast<std::uint32_t>(height));
  header += '\x08';  // 8 bits a channel
  header += colourType;
  header += std::string(3, '\0');  // deflate, adaptive filters, no interlace
  return header;
}

const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

// The filters tried on each row of an RGB image: none, sub and up (Paeth, whose estimate
// needs a branch for every byte, took a third of a figure's time for little gain).
constexpr int kFilters = 3;
constexpr unsigned char kFilterTypes[kFilters] = {0, 1, 2};

}  // namespace

bool writePng(std::FILE* file, const PaletteImage& image) {
  const std::string header = imageHeader(image.width, image.height, '\x03');
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
  const auto fill = [&image](int y, unsigned char* row) {
    row[0] = 0;
    image.row(y, row + 1);
  };
  return written &&
         writeImageData(file, image.height, static_cast<std::size_t>(image.width) + 1, 6, Z_RLE,
                        fill) &&
         writeChunk(file, "IEND", std::string());
}

bool writePng(std::FILE* file, const RgbImage& image) {
  const std::size_t bytes = static_cast<std::size_t>(image.width) * 3;
  std::vector<unsigned char> previous(bytes, 0);
  std::vector<unsigned char> current(bytes, 0);
  std::vector<unsigned char> filtered[kFilters];
  for (auto& candidate : filtered) candidate.resize(bytes + 1);
  const auto fill = [&](int y, unsigned char* row) {
    image.row(y, current.data());
    const unsigned char* const now = current.data();
    const unsigned char* const up = previous.data();
    for (int f = 0; f < kFilters; ++f) filtered[f][0] = kFilterTypes[f];
    unsigned char* const none = filtered[0].data() + 1;
    unsigned char* const sub = filtered[1].data() + 1;
    unsigned char* const above = filtered[2].data() + 1;
    for (std::size_t k = 0; k < bytes; ++k) {
      none[k] = now[k];
      above[k] = static_cast<unsigned char>(now[k] - up[k]);
    }
    for (std::size_t k = 0; k < 3 && k < bytes; ++k) sub[k] = now[k];
    for (std::size_t k = 3; k < bytes; ++k) {
      sub[k] = static_cast<unsigned char>(now[k] - now[k - 3]);
    }
    // The row goes out with the filter whose bytes, as signed bytes, are smallest in sum.
    std::uint64_t best = UINT64_MAX;
    int chosen = 0;
    for (int f = 0; f < kFilters; ++f) {
      const unsigned char* const out = filtered[f].data() + 1;
      std::uint64_t sum = 0;
      for (std::size_t k = 0; k < bytes; ++k) {
        sum += static_cast<unsigned>(std::abs(static_cast<int>(static_cast<signed char>(out[k]))));
      }
      if (sum < best) {
        best = sum;
        chosen = f;
      }
    }
    std::copy(filtered[chosen].begin(), filtered[chosen].end(), row);
    previous.swap(current);
  };
  const std::string header = imageHeader(image.width, image.height, '\x02');
  return std::fwrite(kSignature, 1, sizeof kSignature, file) == sizeof kSignature &&
         writeChunk(file, "IHDR", header) &&
         writeImageData(file, image.height, bytes + 1, 1, Z_DEFAULT_STRATEGY, fill) &&
         writeChunk(file, "IEND", std::string());
}

}  // namespace trasop
