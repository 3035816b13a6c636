// Writes a plausible terrain-height grid as a dmna file to standard output: a tilted plain
// with a hill, a valley and small-scale roughness, heights in metres with one decimal, ten
// values per line, in the order j-,i+. The same arguments always give the same bytes.
//
//   make_terrain NI NJ [DELTA] [--asc]
//
// With --asc the same heights are written as an ESRI ASCII grid instead, for comparisons with
// other terrain tools.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A small deterministic generator (xorshift64*), the same on every platform.
struct Random {
  std::uint64_t state = 0x9e3779b97f4a7c15ull;
  double next() {  // in [0, 1)
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return static_cast<double>((state * 0x2545f4914f6cdd1dull) >> 11) * 0x1.0p-53;
  }
};

double height(double x, double y, double roughness) {
  const double plain = 250.0 + 0.02 * x + 0.01 * y;
  const double hx = x - 0.6 * 2000.0;
  const double hy = y - 0.4 * 2000.0;
  const double hill = 180.0 * std::exp(-(hx * hx + hy * hy) / (2.0 * 450.0 * 450.0));
  const double valley = -40.0 * std::exp(-std::pow((y - 0.3 * x - 900.0) / 150.0, 2.0));
  const double waves = 6.0 * std::sin(x / 170.0) * std::cos(y / 230.0);
  return plain + hill + valley + waves + roughness;
}

}  // namespace

int main(int argc, char** argv) {
  const bool ascii = argc == 5 && std::string(argv[4]) == "--asc";
  if (argc < 3 || argc > 5 || (argc == 5 && !ascii)) {
    std::fprintf(stderr, "usage: make_terrain NI NJ [DELTA] [--asc]\n");
    return 2;
  }
  const long ni = std::strtol(argv[1], nullptr, 10);
  const long nj = std::strtol(argv[2], nullptr, 10);
  const double delta = argc >= 4 ? std::strtod(argv[3], nullptr) : 20.0;
  if (ni < 3 || nj < 3 || !(delta > 0.0)) {
    std::fprintf(stderr, "make_terrain: need NI, NJ >= 3 and DELTA > 0\n");
    return 2;
  }
  // The terrain's features are laid out on a 2000 m square, whatever the grid's size.
  const double scale = 2000.0 / (static_cast<double>(std::max(ni, nj)) * delta);
  const double xmin = 3500000.0;
  const double ymin = 5400000.0;
  if (ascii) {
    // Rows from north to south, each from west to east: the order j-,i+.
    std::printf("ncols %ld\nnrows %ld\nxllcorner %.1f\nyllcorner %.1f\ncellsize %g\n", ni, nj,
                xmin - delta / 2, ymin - delta / 2, delta);
  } else {
    std::printf("- terrain heights made by make_terrain %ld %ld %g\n", ni, nj, delta);
    std::printf("xmin\t%.1f\nymin\t%.1f\ndelta\t%g\n", xmin, ymin, delta);
    std::printf("sequ\t\"j-,i+\"\nlowb\t0\t0\nhghb\t%ld\t%ld\n*\n", ni - 1, nj - 1);
  }
  Random random;
  for (long j = nj - 1; j >= 0; --j) {
    int onLine = 0;
    for (long i = 0; i < ni; ++i) {
      const double rough = 0.8 * (random.next() - 0.5);
      const double h = height(i * delta * scale, j * delta * scale, rough);
      const long tenths = std::lround(h * 10.0);
      std::printf("%s%.1f", onLine == 0 ? "" : " ", static_cast<double>(tenths) / 10.0);
      if (++onLine == 10 || i == ni - 1) {
        std::printf("\n");
        onLine = 0;
      }
    }
  }
  if (!ascii) std::printf("***\n");
  return 0;
}
