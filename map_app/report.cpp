#include "map_app/report.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "map/utf8.h"

namespace trasop {

namespace {

constexpr double kSquareMetresPerKm2 = 1e6;

// Appends printf-style text to `out`.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void appendf(std::string& out, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  if (length > 0) {
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    (void)std::vsnprintf(text.data(), text.size(), format, again);
    out.append(text.data(), static_cast<std::size_t>(length));
  }
  va_end(again);
}

double share(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

// The shortest text that reads back as the same double; null for what JSON cannot hold.
std::string jsonNumber(double value) {
  return std::isfinite(value) ? shortestNumber(value) : "null";
}

// A JSON string of any bytes: well-formed UTF-8 as it is, every other byte b as the escape
// \udcXX of the code U+DC00 + b, as Python's "surrogateescape" writes such bytes, so that
// os.fsencode() of the value gives the bytes back.
std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const char c = text[at];
    const unsigned char u = static_cast<unsigned char>(c);
    const std::size_t length = utf8Length(text, at);
    char escape[8];
    if (length == 0) {
      (void)std::snprintf(escape, sizeof escape, "\\udc%02x", u);
      out += escape;
      ++at;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      (void)std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out + "\"";
}

// "1:2.4" for a slope of 0.41; "flat" for none.
std::string asRatio(double slope) {
  if (!(slope > 0.0)) return "flat";
  if (std::isinf(slope)) return "vertical";
  char text[48];
  (void)std::snprintf(text, sizeof text, "1:%.1f", 1.0 / slope);
  return text;
}

// `text` followed by blanks to `width` characters (UTF-8: each character counted once).
std::string padded(const std::string& text, std::size_t width) {
  std::size_t characters = 0;
  for (const char c : text) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return text + std::string(characters < width ? width - characters : 0, ' ');
}

const char* along(char index) { return index == 'b' ? "both" : index == 'i' ? "i" : "j"; }

// The verdict on the cells steeper than `threshold`: the usual guidance for 1:20 and 1:5.
std::string verdict(double threshold, std::uint64_t steeper) {
  if (threshold == 1.0 / 20.0) {
    return steeper > 0 ? "steeper than 1:20: the terrain must be taken into account"
                       : "nothing steeper than 1:20: the terrain need not be taken into account";
  }
  if (threshold == 1.0 / 5.0) {
    return steeper > 0 ? "steeper than 1:5: outside a diagnostic wind-field model's range"
                       : "nothing steeper than 1:5: within a diagnostic wind-field model's range";
  }
  return steeper > 0 ? "cells steeper than this" : "nothing steeper than this";
}

std::uint64_t steeperThan(const Survey& survey, const Thresholds& thresholds, int t) {
  std::uint64_t cells = 0;
  for (int k = t + 1; k <= thresholds.count; ++k) cells += survey.classCells[k];
  return cells;
}

// "cell" or "cells".
const char* cellsWord(std::uint64_t count) { return count == 1 ? "cell" : "cells"; }

// How the frame's coordinates are reckoned, for the text and the JSON.
std::string frameText(const Frame& f, const GridHeader& h) {
  return f.absolute ? "absolute (the reference point gakrx " + shortestNumber(h.gakrx) +
                          ", gakry " + shortestNumber(h.gakry) + " added)"
                    : "relative to the reference point (gakrx " + shortestNumber(h.gakrx) +
                          ", gakry " + shortestNumber(h.gakry) + ")";
}

}  // namespace

std::string shownName(const std::string& name) {
  // Control characters and bytes outside well-formed UTF-8 are not shown as they are.
  auto raw = [&name](std::size_t at, std::size_t length) {
    const unsigned char u = static_cast<unsigned char>(name[at]);
    return length > 0 && u >= 0x20 && u != 0x7F;
  };
  bool plain = true;
  for (std::size_t at = 0; at < name.size() && plain;) {
    const std::size_t length = utf8Length(name, at);
    plain = raw(at, length);
    at += length;
  }
  if (plain) return name;
  std::string out = "'";
  for (std::size_t at = 0; at < name.size();) {
    const std::size_t length = utf8Length(name, at);
    const char c = name[at];
    if (raw(at, length)) {
      if (c == '\'' || c == '\\') out += '\\';
      out.append(name, at, length);
      at += length;
      continue;
    }
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      char escape[8];
      (void)std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned char>(c));
      out += escape;
    }
    ++at;
  }
  return out + "'";
}

std::string shortestNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string reportText(const MapReport& report) {
  std::string out;
  const Frame& f = report.frame;
  const GridHeader& h = *report.header;
  const Survey& s = report.survey;
  const double cellKm2 = f.delta * f.delta / kSquareMetresPerKm2;
  const std::uint64_t interior =
      static_cast<std::uint64_t>(f.ni - 2) * static_cast<std::uint64_t>(f.nj - 2);
  auto c = [](double value) { return shortestNumber(value); };
  appendf(out, "file         %s\n", shownName(report.file).c_str());
  std::string written;
  for (const std::string& name : report.outputs) {
    written += (written.empty() ? "" : ", ") + shownName(name);
  }
  appendf(out, "outputs      %s\n", written.c_str());
  appendf(out, "grid         %d x %d points, delta %s m, lowb %lld %lld\n", f.ni, f.nj,
          c(f.delta).c_str(), static_cast<long long>(h.lowb.i), static_cast<long long>(h.lowb.j));
  appendf(out, "coordinates  %s\n", frameText(f, h).c_str());
  appendf(out, "interior     %llu %s, %.3f km2; each slope over 2 x delta = %s m\n",
          static_cast<unsigned long long>(interior), cellsWord(interior),
          static_cast<double>(interior) * cellKm2, c(2 * f.delta).c_str());
  if (report.area.given) {
    appendf(out,
            "area         circle of radius %s m around x %s, y %s: %llu %s, %.3f km2; "
            "%.1f %% of the circle lies within the interior cells\n",
            c(report.area.radius).c_str(), c(report.area.x).c_str(), c(report.area.y).c_str(),
            static_cast<unsigned long long>(s.cells), cellsWord(s.cells),
            static_cast<double>(s.cells) * cellKm2, 100.0 * report.areaInside);
  }
  if (s.cells == 0) {
    appendf(out, "heights      none\nsteepest     none\n");
  } else {
    appendf(out, "heights      %s to %s m\n", c(s.lowest).c_str(), c(s.highest).c_str());
    appendf(out, "steepest     %.4f (%s) along %s, at i %lld, j %lld: x %s, y %s; %llu %s\n",
            s.maxSlope, asRatio(s.maxSlope).c_str(), along(s.maxAlong),
            static_cast<long long>(h.lowb.i) + s.maxI, static_cast<long long>(h.lowb.j) + s.maxJ,
            c(f.x(s.maxI)).c_str(), c(f.y(s.maxJ)).c_str(),
            static_cast<unsigned long long>(s.maxCells), cellsWord(s.maxCells));
  }
  appendf(out, "\n%-13s %12s %9s %12s %12s  %s\n", "steeper than", "cells", "share", "km2", "at it",
          "verdict");
  for (int t = 0; t < report.thresholds.count; ++t) {
    const std::uint64_t cells = steeperThan(s, report.thresholds, t);
    appendf(out, "%-13s %12llu %8.2f%% %12.3f %12llu  %s\n", report.thresholds.labels[t].c_str(),
            static_cast<unsigned long long>(cells), share(cells, s.cells),
            static_cast<double>(cells) * cellKm2, static_cast<unsigned long long>(s.ties[t]),
            s.cells == 0 ? "none" : verdict(report.thresholds.values[t], cells).c_str());
  }
  appendf(out, "(\"at it\": cells exactly at the threshold, which are not steeper)\n");
  appendf(out, "\nclasses\n");
  for (int k = 0; k <= report.thresholds.count; ++k) {
    appendf(out, "  %s %12llu %8.2f%%\n", padded(classRule(report.thresholds, k), 20).c_str(),
            static_cast<unsigned long long>(s.classCells[k]), share(s.classCells[k], s.cells));
  }
  appendf(out, "\nregions (cells touching at a side or a corner)\n");
  for (int t = 0; t < report.thresholds.count; ++t) {
    const RegionSummary& r = report.regions[t];
    appendf(out, "  steeper than %s: %llu region%s, %llu of a single cell\n",
            report.thresholds.labels[t].c_str(), static_cast<unsigned long long>(r.count),
            r.count == 1 ? "" : "s", static_cast<unsigned long long>(r.singles));
    for (int k = 0; k < r.largestCount; ++k) {
      const Region& g = r.largest[k];
      const double ci = static_cast<double>(g.sumI) / static_cast<double>(g.cells);
      const double cj = static_cast<double>(g.sumJ) / static_cast<double>(g.cells);
      appendf(out, "    %llu %s, x %s to %s, y %s to %s, centre x %s, y %s, steepest %.4f\n",
              static_cast<unsigned long long>(g.cells), cellsWord(g.cells), c(f.x(g.iMin)).c_str(),
              c(f.x(g.iMax)).c_str(), c(f.y(g.jMin)).c_str(), c(f.y(g.jMax)).c_str(),
              c(f.xAt(ci)).c_str(), c(f.yAt(cj)).c_str(), g.maxSlope);
    }
  }
  appendf(out, "\npercentiles ");
  for (int k = 0; k < kPercentileCount; ++k) {
    if (s.cells == 0) {
      appendf(out, " %d%%: none", kPercentiles[k]);
    } else {
      appendf(out, " %d%%: %.4f", kPercentiles[k], s.percentiles[k]);
    }
  }
  appendf(out, "\n");
  if (s.ringCount > 0) {
    appendf(out, "\nrings around the centre (share of each ring's cells)\n");
    for (int r = 0; r < s.ringCount; ++r) {
      const Ring& ring = s.rings[r];
      appendf(out, "  %s to %s m: %llu %s", c(ring.inner).c_str(), c(ring.outer).c_str(),
              static_cast<unsigned long long>(ring.cells), cellsWord(ring.cells));
      for (int k = 0; k <= report.thresholds.count; ++k) {
        appendf(out, ", %s %.2f%%", classRule(report.thresholds, k).c_str(),
                share(ring.classCells[k], ring.cells));
      }
      appendf(out, "\n");
    }
  }
  return out;
}

namespace {

std::string boxJson(const PixelBox& box) {
  return "[" + std::to_string(box.left) + ", " + std::to_string(box.top) + ", " +
         std::to_string(box.right) + ", " + std::to_string(box.bottom) + "]";
}

// Where the figure put what, in its pixels: [left, top, right, bottom), right and bottom
// excluded.
std::string figureJson(const FigureFacts& figure) {
  std::string j = "{\"width\": " + std::to_string(figure.width) +
                  ", \"height\": " + std::to_string(figure.height) +
                  ", \"map\": " + boxJson(figure.map) +
                  ", \"block\": " + std::to_string(figure.block) +
                  ", \"zoom\": " + std::to_string(figure.zoom) +
                  ", \"mark_reach\": " + std::to_string(figure.markReach) +
                  ", \"contour_step\": " + jsonNumber(figure.contourStep) + ", \"contours\": [";
  for (std::size_t k = 0; k < figure.contourLevels.size(); ++k) {
    j += (k == 0 ? "" : ", ") + jsonNumber(figure.contourLevels[k]);
  }
  j += "],\n    \"texts\": [";
  for (std::size_t k = 0; k < figure.labels.size(); ++k) {
    j += (k == 0 ? "\n      " : ",\n      ");
    j += "{\"text\": " + jsonString(figure.labels[k].text) +
         ", \"box\": " + boxJson(figure.labels[k].box) +
         (figure.labels[k].onMap ? ", \"on_map\": true}" : "}");
  }
  j += "]}";
  return j;
}

}  // namespace

std::string reportJson(const MapReport& report) {
  const Frame& f = report.frame;
  const GridHeader& h = *report.header;
  const Survey& s = report.survey;
  const bool none = s.cells == 0;  // no cell: no maximum, no percentiles, no verdict
  const double cellKm2 = f.delta * f.delta / kSquareMetresPerKm2;
  auto n = [](double value) { return jsonNumber(value); };
  auto u = [](std::uint64_t value) { return std::to_string(value); };
  std::string j = "{\n";
  j += "  \"file\": " + jsonString(report.file) + ",\n";
  j += "  \"outputs\": [";
  for (std::size_t k = 0; k < report.outputs.size(); ++k) {
    j += (k == 0 ? "" : ", ") + jsonString(report.outputs[k]);
  }
  j += "],\n";
  j += "  \"ni\": " + std::to_string(f.ni) + ", \"nj\": " + std::to_string(f.nj) + ",\n";
  j += "  \"delta\": " + n(f.delta) + ", \"xmin\": " + n(f.xmin) + ", \"ymin\": " + n(f.ymin) +
       ", \"gakrx\": " + n(h.gakrx) + ", \"gakry\": " + n(h.gakry) + ",\n";
  j += std::string("  \"frame\": \"") + (f.absolute ? "absolute" : "relative") + "\",\n";
  j += "  \"interior_cells\": " + u(static_cast<std::uint64_t>(f.ni - 2) * (f.nj - 2)) +
       ", \"baseline\": " + n(2 * f.delta) + ",\n";
  j += "  \"height_min\": " + (none ? "null" : n(s.lowest)) +
       ", \"height_max\": " + (none ? "null" : n(s.highest)) + ",\n";
  j += "  \"area\": ";
  j += report.area.given ? "{\"x\": " + n(report.area.x) + ", \"y\": " + n(report.area.y) +
                               ", \"radius\": " + n(report.area.radius) +
                               ", \"share_inside\": " + n(report.areaInside) + "}"
                         : std::string("null");
  j += ",\n  \"cells\": " + u(s.cells) +
       ", \"area_km2\": " + n(static_cast<double>(s.cells) * cellKm2) + ",\n";
  if (none) {
    j += "  \"max_slope\": null,\n";
  } else {
    j += "  \"max_slope\": {\"value\": " + n(s.maxSlope) +
         ", \"run_per_rise\": " + (s.maxSlope > 0.0 ? n(1.0 / s.maxSlope) : std::string("null")) +
         ", \"along\": \"" + along(s.maxAlong) + "\", \"i\": " + std::to_string(h.lowb.i + s.maxI) +
         ", \"j\": " + std::to_string(h.lowb.j + s.maxJ) + ", \"x\": " + n(f.x(s.maxI)) +
         ", \"y\": " + n(f.y(s.maxJ)) +
         ", \"x_absolute\": " + n(h.gakrx + f.localX(static_cast<double>(s.maxI))) +
         ", \"y_absolute\": " + n(h.gakry + f.localY(static_cast<double>(s.maxJ))) +
         ", \"cells\": " + u(s.maxCells) + "},\n";
  }
  j += "  \"thresholds\": [";
  for (int t = 0; t < report.thresholds.count; ++t) {
    const std::uint64_t cells = steeperThan(s, report.thresholds, t);
    const RegionSummary& r = report.regions[t];
    j += t == 0 ? "\n" : ",\n";
    j += "    {\"label\": " + jsonString(report.thresholds.labels[t]) +
         ", \"value\": " + n(report.thresholds.values[t]) + ", \"cells\": " + u(cells) +
         ", \"percent\": " + n(share(cells, s.cells)) +
         ", \"area_km2\": " + n(static_cast<double>(cells) * cellKm2) +
         ", \"at_threshold\": " + u(s.ties[t]) + ",\n     \"verdict\": " +
         (none ? std::string("null") : jsonString(verdict(report.thresholds.values[t], cells))) +
         ",\n     \"regions\": {\"count\": " + u(r.count) + ", \"single_cell\": " + u(r.singles) +
         ", \"largest\": [";
    for (int k = 0; k < r.largestCount; ++k) {
      const Region& g = r.largest[k];
      const double ci = static_cast<double>(g.sumI) / static_cast<double>(g.cells);
      const double cj = static_cast<double>(g.sumJ) / static_cast<double>(g.cells);
      j += (k == 0 ? "" : ", ");
      j += "{\"cells\": " + u(g.cells) + ", \"x_min\": " + n(f.x(g.iMin)) +
           ", \"x_max\": " + n(f.x(g.iMax)) + ", \"y_min\": " + n(f.y(g.jMin)) +
           ", \"y_max\": " + n(f.y(g.jMax)) + ", \"centre_x\": " + n(f.xAt(ci)) +
           ", \"centre_y\": " + n(f.yAt(cj)) + ", \"max_slope\": " + n(g.maxSlope) + "}";
    }
    j += "]}}";
  }
  j += "\n  ],\n  \"classes\": [";
  for (int k = 0; k <= report.thresholds.count; ++k) {
    j += (k == 0 ? "" : ", ");
    j += "{\"rule\": " + jsonString(classRule(report.thresholds, k)) +
         ", \"cells\": " + u(s.classCells[k]) +
         ", \"percent\": " + n(share(s.classCells[k], s.cells)) + "}";
  }
  j += "],\n  \"percentiles\": {";
  for (int k = 0; k < kPercentileCount; ++k) {
    j += (k == 0 ? "" : ", ");
    j += "\"" + std::to_string(kPercentiles[k]) + "\": " + (none ? "null" : n(s.percentiles[k]));
  }
  j += "},\n  \"rings\": [";
  for (int r = 0; r < s.ringCount; ++r) {
    const Ring& ring = s.rings[r];
    j += (r == 0 ? "" : ", ");
    j += "{\"inner\": " + n(ring.inner) + ", \"outer\": " + n(ring.outer) +
         ", \"cells\": " + u(ring.cells) + ", \"class_cells\": [";
    for (int k = 0; k <= report.thresholds.count; ++k) {
      j += (k == 0 ? "" : ", ") + u(ring.classCells[k]);
    }
    j += "]}";
  }
  j += "],\n  \"figure\": " + figureJson(report.figure) + "\n}\n";
  return j;
}

}  // namespace trasop
