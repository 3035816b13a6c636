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
