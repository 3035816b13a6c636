#include "map_app/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace trasop {

namespace {

constexpr double kSquareMetresPerKm2 = 1e6;

// Appends printf-style text to `out`.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void appendf(std::string& out, const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  if (length > 0)
    out.append(text, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof text - 1));
}

double share(std::uint64_t part, std::uint64_t whole) {
  return whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

// The shortest text that reads back as the same double; null for what JSON cannot hold.
std::string jsonNumber(double value) {
  if (!std::isfinite(value)) return "null";
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char escape[8];
      (void)std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    } else {
      out += c;
    }
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

}  // namespace

std::string reportText(const MapReport& report) {
  std::string out;
  const Frame& f = report.frame;
  const GridHeader& h = *report.header;
  const Survey& s = report.survey;
  const double cellKm2 = f.delta * f.delta / kSquareMetresPerKm2;
  const std::uint64_t interior =
      static_cast<std::uint64_t>(f.ni - 2) * static_cast<std::uint64_t>(f.nj - 2);
  appendf(out, "file         %s\n", report.file.c_str());
  appendf(out, "grid         %d x %d points, delta %g m, lowb %lld %lld\n", f.ni, f.nj, f.delta,
          static_cast<long long>(h.lowb.i), static_cast<long long>(h.lowb.j));
  appendf(out, "interior     %llu cells, %.3f km2; each slope over 2 x delta = %g m\n",
          static_cast<unsigned long long>(interior), static_cast<double>(interior) * cellKm2,
          2 * f.delta);
  if (report.area.given) {
    appendf(out, "area         circle of radius %g m around x %g, y %g: %llu cells, %.3f km2\n",
            report.area.radius, report.area.x, report.area.y,
            static_cast<unsigned long long>(s.cells), static_cast<double>(s.cells) * cellKm2);
  }
  appendf(out, "heights      %g to %g m\n", s.lowest, s.highest);
  appendf(out,
          "steepest     %.4f (%s) along %s, at i %lld, j %lld: x %.10g, y %.10g "
          "(absolute %.17g, %.17g); %llu cell%s\n",
          s.maxSlope, asRatio(s.maxSlope).c_str(), along(s.maxAlong),
          static_cast<long long>(h.lowb.i) + s.maxI, static_cast<long long>(h.lowb.j) + s.maxJ,
          f.x(s.maxI), f.y(s.maxJ), h.gakrx + f.x(s.maxI), h.gakry + f.y(s.maxJ),
          static_cast<unsigned long long>(s.maxCells), s.maxCells == 1 ? "" : "s");
  appendf(out, "\n%-13s %12s %9s %12s %12s  %s\n", "steeper than", "cells", "share", "km2", "at it",
          "verdict");
  for (int t = 0; t < report.thresholds.count; ++t) {
    const std::uint64_t cells = steeperThan(s, report.thresholds, t);
    appendf(out, "%-13s %12llu %8.2f%% %12.3f %12llu  %s\n", report.thresholds.labels[t].c_str(),
            static_cast<unsigned long long>(cells), share(cells, s.cells),
            static_cast<double>(cells) * cellKm2, static_cast<unsigned long long>(s.ties[t]),
            verdict(report.thresholds.values[t], cells).c_str());
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
      appendf(out,
              "    %llu cells, x %.10g to %.10g, y %.10g to %.10g, centre x %.1f, y %.1f, "
              "steepest %.4f\n",
              static_cast<unsigned long long>(g.cells), f.x(g.iMin), f.x(g.iMax), f.y(g.jMin),
              f.y(g.jMax), f.xmin + ci * f.delta, f.ymin + cj * f.delta, g.maxSlope);
    }
  }
  appendf(out, "\npercentiles ");
  for (int k = 0; k < kPercentileCount; ++k) {
    appendf(out, " %d%%: %.4f", kPercentiles[k], s.percentiles[k]);
  }
  appendf(out, "\n");
  if (s.ringCount > 0) {
    appendf(out, "\nrings around the centre (share of each ring's cells)\n");
    for (int r = 0; r < s.ringCount; ++r) {
      const Ring& ring = s.rings[r];
      appendf(out, "  %g to %g m: %llu cells", ring.inner, ring.outer,
              static_cast<unsigned long long>(ring.cells));
      for (int k = 0; k <= report.thresholds.count; ++k) {
        appendf(out, ", %s %.2f%%", classRule(report.thresholds, k).c_str(),
                share(ring.classCells[k], ring.cells));
      }
      appendf(out, "\n");
    }
  }
  return out;
}

std::string reportJson(const MapReport& report) {
  const Frame& f = report.frame;
  const GridHeader& h = *report.header;
  const Survey& s = report.survey;
  const double cellKm2 = f.delta * f.delta / kSquareMetresPerKm2;
  auto n = [](double value) { return jsonNumber(value); };
  auto u = [](std::uint64_t value) { return std::to_string(value); };
  std::string j = "{\n";
  j += "  \"file\": " + jsonString(report.file) + ",\n";
  j += "  \"ni\": " + std::to_string(f.ni) + ", \"nj\": " + std::to_string(f.nj) + ",\n";
  j += "  \"delta\": " + n(f.delta) + ", \"xmin\": " + n(f.xmin) + ", \"ymin\": " + n(f.ymin) +
       ", \"gakrx\": " + n(h.gakrx) + ", \"gakry\": " + n(h.gakry) + ",\n";
  j += "  \"interior_cells\": " + u(static_cast<std::uint64_t>(f.ni - 2) * (f.nj - 2)) +
       ", \"baseline\": " + n(2 * f.delta) + ",\n";
  j += "  \"height_min\": " + n(s.lowest) + ", \"height_max\": " + n(s.highest) + ",\n";
  j += "  \"area\": ";
  j += report.area.given ? "{\"x\": " + n(report.area.x) + ", \"y\": " + n(report.area.y) +
                               ", \"radius\": " + n(report.area.radius) + "}"
                         : std::string("null");
  j += ",\n  \"cells\": " + u(s.cells) +
       ", \"area_km2\": " + n(static_cast<double>(s.cells) * cellKm2) + ",\n";
  j += "  \"max_slope\": {\"value\": " + n(s.maxSlope) +
       ", \"run_per_rise\": " + (s.maxSlope > 0.0 ? n(1.0 / s.maxSlope) : std::string("null")) +
       ", \"along\": \"" + along(s.maxAlong) + "\", \"i\": " + std::to_string(h.lowb.i + s.maxI) +
       ", \"j\": " + std::to_string(h.lowb.j + s.maxJ) + ", \"x\": " + n(f.x(s.maxI)) +
       ", \"y\": " + n(f.y(s.maxJ)) + ", \"x_absolute\": " + n(h.gakrx + f.x(s.maxI)) +
       ", \"y_absolute\": " + n(h.gakry + f.y(s.maxJ)) + ", \"cells\": " + u(s.maxCells) + "},\n";
  j += "  \"thresholds\": [";
  for (int t = 0; t < report.thresholds.count; ++t) {
    const std::uint64_t cells = steeperThan(s, report.thresholds, t);
    const RegionSummary& r = report.regions[t];
    j += t == 0 ? "\n" : ",\n";
    j += "    {\"label\": " + jsonString(report.thresholds.labels[t]) +
         ", \"value\": " + n(report.thresholds.values[t]) + ", \"cells\": " + u(cells) +
         ", \"percent\": " + n(share(cells, s.cells)) +
         ", \"area_km2\": " + n(static_cast<double>(cells) * cellKm2) +
         ", \"at_threshold\": " + u(s.ties[t]) +
         ",\n     \"verdict\": " + jsonString(verdict(report.thresholds.values[t], cells)) +
         ",\n     \"regions\": {\"count\": " + u(r.count) + ", \"single_cell\": " + u(r.singles) +
         ", \"largest\": [";
    for (int k = 0; k < r.largestCount; ++k) {
      const Region& g = r.largest[k];
      const double ci = static_cast<double>(g.sumI) / static_cast<double>(g.cells);
      const double cj = static_cast<double>(g.sumJ) / static_cast<double>(g.cells);
      j += (k == 0 ? "" : ", ");
      j += "{\"cells\": " + u(g.cells) + ", \"x_min\": " + n(f.x(g.iMin)) +
           ", \"x_max\": " + n(f.x(g.iMax)) + ", \"y_min\": " + n(f.y(g.jMin)) +
           ", \"y_max\": " + n(f.y(g.jMax)) + ", \"centre_x\": " + n(f.xmin + ci * f.delta) +
           ", \"centre_y\": " + n(f.ymin + cj * f.delta) + ", \"max_slope\": " + n(g.maxSlope) +
           "}";
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
    j += "\"" + std::to_string(kPercentiles[k]) + "\": " + n(s.percentiles[k]);
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
  j += "]\n}\n";
  return j;
}

}  // namespace trasop
