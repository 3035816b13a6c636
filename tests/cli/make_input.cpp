// Writes the inputs of the hostile command-line cases, which are too large or too odd to keep
// as files: make_input KIND FILE
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kGrid3x3[] = "sequ i+,j+\ndelta 1\nlowb 0 0\nhghb 2 2\n*\n";

bool write(std::FILE* file, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// ni x nj points in the order j-,i+, all heights 0, a line of the text for every j.
bool flatGrid(std::FILE* file, int ni, int nj) {
  if (!write(file, "sequ j-,i+\ndelta 1\nlowb 0 0\nhghb " + std::to_string(ni - 1) + " " +
                       std::to_string(nj - 1) + "\n*\n")) {
    return false;
  }
  std::string line;
  for (int i = 0; i < ni; ++i) line += "0 ";
  line += "\n";
  for (int j = 0; j < nj; ++j) {
    if (!write(file, line)) return false;
  }
  return true;
}

// The slope file that flatGrid's grid gives: every interior slope 0.00.
bool flatSlopes(std::FILE* file, int ni, int nj) {
  const std::string head =
      "locl\t\"C\"\r\nxmin\t1.0\r\nymin\t1.0\r\ndelta\t1.0\r\ngakrx\t0.0\r\n"
      "gakry\t0.0\r\nform\t\"%5.2f\"\r\nartp\t\"T\"\r\nvldf\t\"P\"\r\nsequ\tj-,i+\r\n"
      "mode\t\"text\"\r\ndims\t2\r\nsize\t4\r\nlowb\t1\t1\r\nhghb\t" +
      std::to_string(ni - 2) + "\t" + std::to_string(nj - 2) + "\r\n*\r\n";
  if (!write(file, head)) return false;
  std::string line;
  for (int i = 0; i < ni - 2; ++i) line += "\t 0.00";
  line += "\r\n";
  for (int j = 0; j < nj - 2; ++j) {
    if (!write(file, line)) return false;
  }
  return write(file, "\r\n***\r\n");
}

bool make(const std::string& kind, std::FILE* file) {
  constexpr std::size_t kTenMegabytes = 10u << 20;
  if (kind == "garbage") {
    // Bytes of every value from a fixed sequence.
    std::string bytes(1 << 16, '\0');
    std::uint32_t state = 12345;
    for (char& c : bytes) {
      state = state * 1103515245u + 12345u;
      c = static_cast<char>(state >> 23);
    }
    return write(file, bytes);
  }
  if (kind == "nul_bytes") return write(file, std::string(1 << 20, '\0'));
  if (kind == "long_header_line") {
    return write(file, std::string(kTenMegabytes, 'a') + "\n" + kGrid3x3 + "1 2 3 4 5 6 7 8 9\n");
  }
  if (kind == "long_word_token") {
    return write(file, kGrid3x3 + ("1 7" + std::string(kTenMegabytes, 'x')) + " 3 4 5 6 7 8 9\n");
  }
  if (kind == "long_digit_token") {
    return write(file, kGrid3x3 + ("1 1" + std::string(kTenMegabytes, '0')) + " 3 4 5 6 7 8 9\n");
  }
  if (kind == "huge_grid") {
    return write(file,
                 "sequ j-,i+\ndelta 10\nlowb 0 0\nhghb 199999 199999\n*\n1 2 3 4 5 6 7 8 9 10\n");
  }
  if (kind == "huge_rows") {
    return write(file,
                 "sequ j-,i+\ndelta 10\nlowb 0 0\nhghb 2147483646 2\n*\n1 2 3 4 5 6 7 8 9 10\n");
  }
  if (kind == "sparse_huge") {
    // Large enough to hold the values of 20000 x 20000 points, but nothing written after the
    // header: the system keeps it sparse.
    if (!write(file, "sequ j-,i+\ndelta 10\nlowb 0 0\nhghb 19999 19999\n*\n")) return false;
    return std::fseek(file, 900000000L, SEEK_SET) == 0 && write(file, "\n");
  }
  if (kind == "sparse_huge_rows") {
    // Room in the file for the values of 2147483647 x 3 points, nothing written after the
    // header: a count that overflows any 32-bit loop over the rows.
    if (!write(file, "sequ j-,i+\ndelta 10\nlowb 0 0\nhghb 2147483646 2\n*\n")) return false;
    for (int k = 0; k < 13; ++k) {  // 13 GB, in steps that a 32-bit long holds
      if (std::fseek(file, 1000000000L, SEEK_CUR) != 0) return false;
    }
    return write(file, "\n");
  }
  if (kind == "max_grid") {
    // The largest bounds there are: a grid no address space holds, and ten values.
    return write(file,
                 "sequ j-,i+\ndelta 10\nlowb 0 0\nhghb 2147483646 2147483646\n*\n"
                 "1 2 3 4 5 6 7 8 9 10\n");
  }
  if (kind == "sparse_12000") {
    // Room in the file for the values of 12000 x 12000 points (2.3 GB of grid), nothing written
    // after the header.
    if (!write(file, "sequ j-,i+\ndelta 10\nlowb 0 0\nhghb 11999 11999\n*\n")) return false;
    return std::fseek(file, 300000000L, SEEK_SET) == 0 && write(file, "\n");
  }
  if (kind == "huge_square") {
    return write(file,
                 "sequ j-,i+\ndelta 10\nlowb 0 0\nhghb 16383 16383\n*\n1 2 3 4 5 6 7 8 9 10\n");
  }
  if (kind.rfind("seam_token", 0) == 0) {
    // The value 1.0 written as 1, many zeros and e-N, its exponent letter at byte 131071 + K of
    // the file (kind seam_tokenK, K from -2 to 2): at and around the end of the second chunk of
    // 64 KiB. The slope of the one interior point is then 0.50.
    const long shift = std::stol(kind.substr(10));
    const std::string head = std::string(kGrid3x3) + "0 1";
    const std::size_t zeros = static_cast<std::size_t>(131071 + shift) - head.size();
    return write(
        file, head + std::string(zeros, '0') + "e-" + std::to_string(zeros) + " 0 0 0 0 0 0 0\n");
  }
  if (kind == "long_zeros_token") {
    return write(file, kGrid3x3 + ("1 1" + std::string(100u << 20, '0')) + " 3 4 5 6 7 8 9\n");
  }
  if (kind == "narrow_grid") return flatGrid(file, 10000000, 3);
  if (kind == "narrow_grid_s") return flatSlopes(file, 10000000, 3);
  if (kind == "flat2000") return flatGrid(file, 2000, 2000);
  if (kind == "flat2000_s") return flatSlopes(file, 2000, 2000);
  if (kind == "plane60") {
    std::string text = "sequ j-,i+\ndelta 10\nlowb 0 0\nhghb 59 59\n*\n";
    for (int j = 59; j >= 0; --j) {
      for (int i = 0; i < 60; ++i) text += std::to_string(i * 3 + j) + (i == 59 ? "\n" : " ");
    }
    return write(file, text + "***\n");
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::FILE* file = std::fopen(argv[2], "wb");
  if (file == nullptr) return 1;
  const bool made = make(argv[1], file);
  return std::fclose(file) == 0 && made ? 0 : 1;
}
