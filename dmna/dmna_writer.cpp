// The slope file: header, interior slopes in the input's order, trailer.
#include "dmna/dmna_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "app/console.h"
#include "dmna/line_band.h"
#include "dmna/number_format.h"
#include "platform/output_file.h"

namespace trasop {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Collects the file's text in a buffer and hands it to the file in large writes.
class OutputBuffer {
 public:
  static constexpr std::size_t kCapacity = std::size_t{64} * 1024;
  // Room that one append of a field or a line end may take at the most.
  static constexpr std::size_t kLargestPiece = kFixedTextCapacity + 16;

  explicit OutputBuffer(std::FILE* file) : file_(file), data_(new char[kCapacity]) {}

  // A place to write up to kLargestPiece characters; commit() then says how far it was used.
  char* room() {
    if (used_ + kLargestPiece > kCapacity) flush();
    return data_.get() + used_;
  }
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - data_.get()); }

  void append(std::string_view text) {
    for (std::size_t done = 0; done < text.size();) {
      const std::size_t part = std::min(text.size() - done, kLargestPiece);
      char* out = room();
      std::memcpy(out, text.data() + done, part);
      commit(out + part);
      done += part;
    }
  }

  // True once a write has failed: what follows would be lost too.
  bool failed() const { return failed_; }

  // Writes what is buffered; false if any write failed.
  bool flush() {
    if (used_ > 0 && std::fwrite(data_.get(), 1, used_, file_) != used_) failed_ = true;
    used_ = 0;
    return !failed_;
  }

 private:
  std::FILE* file_;
  std::unique_ptr<char[]> data_;
  std::size_t used_ = 0;
  bool failed_ = false;
};

void appendLine(OutputBuffer& out, std::string_view key, std::string_view value) {
  out.append(key);
  out.append("\t");
  out.append(value);
  out.append(kLineEnd);
}

void appendReal(OutputBuffer& out, std::string_view key, double value) {
  char text[kFixedTextCapacity];
  const char* end = formatFixed(value, 1, text);
  appendLine(out, key, std::string_view(text, end - text));
}

// One integer, or two separated by a tab.
void appendIntegers(OutputBuffer& out, std::string_view key, std::int64_t first) {
  char text[24];
  const char* end = std::to_chars(text, text + sizeof text, first).ptr;
  appendLine(out, key, std::string_view(text, end - text));
}

void appendIntegers(OutputBuffer& out, std::string_view key, std::int64_t first,
                    std::int64_t second) {
  char text[48];
  char* end = std::to_chars(text, text + 24, first).ptr;
  *end++ = '\t';
  end = std::to_chars(end, text + sizeof text, second).ptr;
  appendLine(out, key, std::string_view(text, end - text));
}

void appendHeader(OutputBuffer& out, const GridHeader& header) {
  appendLine(out, "locl", header.locl);
  appendReal(out, "xmin", header.xmin + header.delta);
  appendReal(out, "ymin", header.ymin + header.delta);
  appendReal(out, "delta", header.delta);
  appendReal(out, "gakrx", header.gakrx);
  appendReal(out, "gakry", header.gakry);
  appendLine(out, "form", header.form);
  appendLine(out, "artp", header.artp);
  appendLine(out, "vldf", header.vldf);
  appendLine(out, "sequ", header.sequ);
  appendLine(out, "mode", header.mode);
  appendIntegers(out, "dims", header.dims);
  appendIntegers(out, "size", header.size);
  appendIntegers(out, "lowb", header.lowb.i + 1, header.lowb.j + 1);
  appendIntegers(out, "hghb", header.hghb.i - 1, header.hghb.j - 1);
  out.append("*");
  out.append(kLineEnd);
}

// First interior position of an index that runs with `step` over `count` positions.
std::int64_t firstInterior(int step, std::int64_t count) { return step > 0 ? 1 : count - 2; }

void appendSlope(OutputBuffer& out, double slope) {
  char* p = out.room();
  *p++ = '\t';
  out.commit(formatSlopeField(slope, p));
}

// Lines that run along the grid's rows take their slopes straight from one row each.
void appendLinesAlongRows(OutputBuffer& out, const IndexOrder& order, const TerrainGrid& grid) {
  const std::int64_t lineLength = grid.nj - 2;
  const std::int64_t lineCount = grid.ni - 2;
  const std::int64_t jFirst = firstInterior(order.jStep, grid.nj);
  std::int64_t i = firstInterior(order.iStep, grid.ni);
  for (std::int64_t line = 0; line < lineCount && !out.failed(); ++line, i += order.iStep) {
    const GridCell* const row = grid.rows[i];
    std::int64_t j = jFirst;
    for (std::int64_t x = 0; x < lineLength; ++x, j += order.jStep) appendSlope(out, row[j].slope);
    out.append(kLineEnd);
  }
}

// Lines that run across the rows go through a band of lines (see LineBand), or value by value
// where not even one line of memory can be had.
void appendLinesAcrossRows(OutputBuffer& out, const IndexOrder& order, const TerrainGrid& grid) {
  const std::int64_t lineLength = grid.ni - 2;
  const std::int64_t lineCount = grid.nj - 2;
  const std::int64_t iFirst = firstInterior(order.iStep, grid.ni);
  const std::int64_t jFirst = firstInterior(order.jStep, grid.nj);
  LineBand band(lineLength, lineCount, LineBand::kMostExchanged);
  if (band.lines() == 0) {
    std::int64_t j = jFirst;
    for (std::int64_t line = 0; line < lineCount && !out.failed(); ++line, j += order.jStep) {
      std::int64_t i = iFirst;
      for (std::int64_t x = 0; x < lineLength; ++x, i += order.iStep) {
        appendSlope(out, grid.rows[i][j].slope);
      }
      out.append(kLineEnd);
    }
    return;
  }
  std::int64_t lines = 0;
  for (std::int64_t line = 0; line < lineCount && !out.failed(); line += lines) {
    lines = band.take(std::min(band.lines(), lineCount - line));
    band.exchange(grid, iFirst, order.iStep, jFirst + line * order.jStep, order.jStep, 0, lines,
                  [](const GridCell& cell, double& value) { value = cell.slope; });
    for (std::int64_t b = 0; b < lines; ++b) {
      const double* const values = band.line(b);
      for (std::int64_t x = 0; x < lineLength; ++x) appendSlope(out, values[x]);
      out.append(kLineEnd);
    }
  }
}

// The interior slopes, one line per position of the outer index, in the input's order.
void appendSlopes(OutputBuffer& out, const IndexOrder& order, const TerrainGrid& grid) {
  if (order.outer == Outer::IOuter) {
    appendLinesAlongRows(out, order, grid);
  } else {
    appendLinesAcrossRows(out, order, grid);
  }
}

}  // namespace

std::string slopeFileName(const std::string& inputName) {
  const std::size_t dot = inputName.rfind('.');
  return inputName.substr(0, dot) + "_s.dmna";
}

bool writeSlopeText(std::FILE* file, const GridHeader& header, const IndexOrder& order,
                    const TerrainGrid& grid) {
  OutputBuffer out(file);
  appendHeader(out, header);
  appendSlopes(out, order, grid);
  out.append(kLineEnd);
  out.append("***");
  out.append(kLineEnd);
  return out.flush();
}

ResultCode writeSlopeFile(const std::string& inputName, const GridHeader& header,
                          const IndexOrder& order, const TerrainGrid& grid) {
  const std::string outputName = slopeFileName(inputName);
  OutputFile output;
  if (!openOutputFile(outputName, output)) return CannotCreate;
  printMessage("dmna-Datei  %s  wird erstellt.\n", outputName.c_str());
  const bool written = writeSlopeText(output.file, header, order, grid);
  return closeOutputFile(output, written) ? Ok : CannotCreate;
}

}  // namespace trasop
