#include "map_app/report.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "map/utf8.h"

namespace trasop {

namespace {

constexpr double kSquareMetresPerKm2 = 1e6;

// `value` with `decimals` decimals, in the language's decimal mark.
std::string fixedText(double value, int decimals, Language language) {
  char text[64];
  (void)std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return decimal(text, language);
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

// `text` followed by blanks to `width` characters (UTF-8: each character counted once).
std::size_t characters(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string padded(const std::string& text, std::size_t width) {
  const std::size_t count = characters(text);
  return text + std::string(count < width ? width - count : 0, ' ');
}

const char* along(char index) { return index == 'b' ? "both" : index == 'i' ? "i" : "j"; }

// The verdict on the cells steeper than `threshold`: the usual guidance for 1:20 and 1:5; where
// sources are judged, what their own verdicts decide is left to them.
std::string verdict(double threshold, std::uint64_t steeper, bool sources) {
  if (sources && threshold == 1.0 / 20.0) {
    return steeper > 0
               ? "steeper than 1:20 over 2 x delta; the terrain verdict is each source's"
               : "nothing steeper than 1:20 over 2 x delta; the terrain verdict is each source's";
  }
  if (sources && threshold == 1.0 / 5.0 && steeper == 0) {
    return "nothing steeper than 1:5 over 2 x delta; the range verdict is each source's";
  }
  if (threshold == 1.0 / 20.0) {
    return steeper > 0 ? "steeper than 1:20: by slope alone the terrain may have to be taken "
                         "into account; the height-difference test was not made"
                       : "nothing steeper than 1:20: the terrain need not be taken into account";
  }
  if (threshold == 1.0 / 5.0) {
    return steeper > 0 ? "steeper than 1:5: outside a diagnostic wind-field model's range"
                       : "nothing steeper than 1:5: within a diagnostic wind-field model's range";
  }
  return steeper > 0 ? "cells steeper than this" : "nothing steeper than this";
}

// The code of a threshold's verdict, for scripts: the guidance's 1:20 ("not_assessed" where
// cells are steeper, since the height differences were not tested; "not_required") and 1:5
// ("outside_range", "within_range"); null for other thresholds, and where sources are judged
// for what their own verdicts decide.
std::string verdictCode(double threshold, std::uint64_t steeper, bool sources) {
  if (sources && (threshold == 1.0 / 20.0 || (threshold == 1.0 / 5.0 && steeper == 0))) {
    return "null";
  }
  if (threshold == 1.0 / 20.0) return steeper > 0 ? "\"not_assessed\"" : "\"not_required\"";
  if (threshold == 1.0 / 5.0) return steeper > 0 ? "\"outside_range\"" : "\"within_range\"";
  return "null";
}

std::uint64_t steeperThan(const Survey& survey, const Thresholds& thresholds, int t) {
  std::uint64_t cells = 0;
  for (int k = t + 1; k <= thresholds.count; ++k) cells += survey.classCells[k];
  return cells;
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

namespace {

// The summary's words in each language. Numbers come in as text in the language's decimal
// mark; German separates the two coordinates of a pair with "; ", as its numbers hold commas.
struct SummaryWords {
  const char* file;
  const char* outputs;
  const char* grid;  // ni, nj, delta, lowb i, lowb j
  const char* coordinates;
  const char* absolute;  // gakrx, gakry
  const char* relative;
  const char* interior;  // count, cells, km2, 2 x delta
  const char* area;      // radius, x, y, count, cells, km2, share inside
  const char* heightsNone;
  const char* heights;  // lowest, highest
  const char* steepestNone;
  const char* steepest;    // slope, ratio, along, i, j, x, y, count, cells
  const char* header;      // the table's heading, as one line
  const char* bareHeader;  // the same without the verdicts' column
  const char* atIt;
  const char* classes;
  const char* regions;
  const char* regionCount;  // label, count, singles
  const char* region;       // cells, word, x min, x max, y min, y max, centre x, y, steepest
  const char* percentiles;
  const char* percentile;  // p, value
  const char* none;
  const char* rings;
  const char* ring;       // inner, outer, cells, word
  const char* ringShare;  // rule, share
  const char* cell;
  const char* cells;
  const char* region1;
  const char* regions2;
  const char* both;
  const char* flat;
  const char* vertical;
  const char* verdicts[6];  // 1:20 steeper / none, 1:5 steeper / none, other steeper / none
  // The same where sources are judged, whose own verdicts follow: 1:20 steeper / none, 1:5 none.
  const char* sourceVerdicts[3];
};

const SummaryWords kEnglishSummary = {
    "file         %s\n",
    "outputs      %s\n",
    "grid         %s x %s points, delta %s m, lowb %s %s\n",
    "coordinates  %s\n",
    "absolute (the reference point gakrx %s, gakry %s added)",
    "relative to the reference point (gakrx %s, gakry %s)",
    "interior     %s %s, %s km2; each slope over 2 x delta = %s m\n",
    "area         circle of radius %s m around x %s, y %s: %s %s, %s km2; %s %% of the circle "
    "lies within the interior cells\n",
    "heights      none\n",
    "heights      %s to %s m\n",
    "steepest     none\n",
    "steepest     %s (%s) along %s, at i %s, j %s: x %s, y %s; %s %s\n",
    "\nsteeper than         cells     share          km2        at it  verdict\n",
    "\nsteeper than         cells     share          km2        at it\n",
    "(\"at it\": cells exactly at the threshold, which are not steeper)\n",
    "\nclasses\n",
    "\nregions (cells touching at a side or a corner)\n",
    "  steeper than %s: %s %s, %s of a single cell\n",
    "    %s %s, x %s to %s, y %s to %s, centre x %s, y %s, steepest %s\n",
    "\npercentiles ",
    " %s%%: %s",
    "none",
    "\nrings around the centre (share of each ring's cells)\n",
    "  %s to %s m: %s %s",
    ", %s %s%%",
    "cell",
    "cells",
    "region",
    "regions",
    "both",
    "flat",
    "vertical",
    // (The first verdict is one sentence over two lines.)
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
    {"steeper than 1:20: by slope alone the terrain may have to be taken into account; the "
     "height-difference test was not made",
     "nothing steeper than 1:20: the terrain need not be taken into account",
     "steeper than 1:5: outside a diagnostic wind-field model's range",
     "nothing steeper than 1:5: within a diagnostic wind-field model's range",
     "cells steeper than this", "nothing steeper than this"},
    {"steeper than 1:20 over 2 x delta; the terrain verdict is each source's, below",
     "nothing steeper than 1:20 over 2 x delta; the terrain verdict is each source's, below",
     "nothing steeper than 1:5 over 2 x delta; the range verdict is each source's, below"},
};

const SummaryWords kGermanSummary = {
    "Datei        %s\n",
    "Ausgaben     %s\n",
    "Gitter       %s x %s Punkte, delta %s m, lowb %s %s\n",
    "Koordinaten  %s\n",
    "absolut (Bezugspunkt gakrx %s; gakry %s addiert)",
    "relativ zum Bezugspunkt (gakrx %s; gakry %s)",
    "Innenzellen  %s %s, %s km\u00b2; jede Steigung \u00fcber 2 x delta = %s m\n",
    "Rechengebiet Kreis mit Radius %s m um x %s; y %s: %s %s, %s km\u00b2; %s %% des Kreises "
    "liegen in den Innenzellen\n",
    "H\u00f6hen        keine\n",
    "H\u00f6hen        %s bis %s m\n",
    "steilste     keine\n",
    "steilste     %s (%s) entlang %s, bei i %s, j %s: x %s; y %s; %s %s\n",
    "\nsteiler als         Zellen    Anteil          km\u00b2       gleich  Bewertung\n",
    "\nsteiler als         Zellen    Anteil          km\u00b2       gleich\n",
    "(\"gleich\": Zellen genau auf der Schwelle, die nicht steiler sind)\n",
    "\nKlassen\n",
    "\nGebiete (Zellen, die sich an einer Seite oder Ecke ber\u00fchren)\n",
    "  steiler als %s: %s %s, davon %s aus einer einzigen Zelle\n",
    "    %s %s, x %s bis %s; y %s bis %s; Mitte x %s; y %s; steilste %s\n",
    "\nPerzentile  ",
    " %s %%: %s",
    "keine",
    "\nRinge um den Mittelpunkt (Anteil der Zellen jedes Rings)\n",
    "  %s bis %s m: %s %s",
    "; %s %s %%",
    "Zelle",
    "Zellen",
    "Gebiet",
    "Gebiete",
    "beiden",
    "eben",
    "senkrecht",
    // NOLINTNEXTLINE(bugprone-suspicious-missing-comma)
    {"steiler als 1:20: nach der Steigung allein ist das Gel\u00e4nde m\u00f6glicherweise zu "
     "ber\u00fccksichtigen; die Pr\u00fcfung der H\u00f6hendifferenzen wurde nicht gemacht",
     "nichts steiler als 1:20: das Gel\u00e4nde muss nicht ber\u00fccksichtigt werden",
     "steiler als 1:5: au\u00dferhalb des Bereichs eines diagnostischen Windfeldmodells",
     "nichts steiler als 1:5: im Bereich eines diagnostischen Windfeldmodells",
     "Zellen steiler als diese Schwelle", "nichts steiler als diese Schwelle"},
    {"steiler als 1:20 \u00fcber 2 x delta; die Bewertung des Gel\u00e4ndes ist die jeder "
     "Quelle, unten",
     "nichts steiler als 1:20 \u00fcber 2 x delta; die Bewertung des Gel\u00e4ndes ist die jeder "
     "Quelle, unten",
     "nichts steiler als 1:5 \u00fcber 2 x delta; die Bewertung des Bereichs ist die jeder "
     "Quelle, unten"},
};

// The words of a source's block in the summary; "%s" stands for a value.
struct SourceWords {
  const char* head;        // number, x, y, H, radius, radius rule, ground
  const char* heights;     // beyond, cells, share, km2, limit, above, x, y, below, x, y
  const char* baseline;    // 2 H, cells, word, left out
  const char* grid;        // 2 x delta, steeper 1:20, steeper 1:5
  const char* terrain[3];  // required, not_required, not_assessed
  const char* range[3];    // within_range, outside_range, not_assessed: 1:5 over 2 H, over grid
  const char* all;         // number of sources, terrain verdict and code, range verdict and code
  const char* terrainWords[3];  // required, not_required, not_assessed
  const char* rangeWords[3];    // within_range, outside_range, not_assessed
};

const SourceWords kEnglishSource = {
    "\nsource %s     x %s, y %s, stack height H %s m: area of radius %s m (%s), ground height "
    "%s m (bilinear between the four grid points around it)\n",
    "  heights    %s of %s cells (%s%%, %s km2) lie more than 0.7 H = %s m above or below the "
    "source's ground; up to %s m above (x %s, y %s) and %s m below (x %s, y %s)\n",
    "  over 2 H   slopes over 2 H = %s m, of %s %s; %s left out (their baseline leaves the "
    "grid):\n",
    "  over grid  slopes over 2 x delta = %s m: %s cells steeper than 1:20, %s steeper than 1:5\n",
    {"  verdict    terrain to be taken into account: height differences beyond 0.7 H and slopes "
     "steeper than 1:20 over 2 H both occur [required]\n",
     "  verdict    terrain not to be taken into account: height differences beyond 0.7 H and "
     "slopes steeper than 1:20 over 2 H do not both occur [not_required]\n",
     "  verdict    not assessed: cells of the area are left out, and the two tests do not both "
     "hold in the rest [not_assessed]\n"},
    {"  range      within a diagnostic wind-field model's range as far as slope goes: nothing "
     "steeper than 1:5 over 2 H (%s) nor over 2 x delta (%s); local wind systems are not judged "
     "[within_range]\n",
     "  range      outside a diagnostic wind-field model's range as far as slope goes: cells "
     "steeper than 1:5 over 2 H (%s) or over 2 x delta (%s), the stricter governing; local wind "
     "systems are not judged [outside_range]\n",
     "  range      not assessed: cells of the area are left out; nothing steeper than 1:5 over "
     "2 H (%s) nor over 2 x delta (%s) in the rest [not_assessed]\n"},
    "\nall %s sources: %s [%s]; %s [%s] (the most cautious of the sources' verdicts)\n",
    {"terrain to be taken into account", "terrain not to be taken into account",
     "terrain not assessed"},
    {"within a diagnostic wind-field model's range as far as slope goes",
     "outside a diagnostic wind-field model's range as far as slope goes", "range not assessed"},
};

const SourceWords kGermanSource = {
    "\nQuelle %s     x %s; y %s, Schornsteinh\u00f6he H %s m: Rechengebiet mit Radius %s m (%s), "
    "Bodenh\u00f6he %s m (bilinear zwischen den vier umgebenden Gitterpunkten)\n",
    "  H\u00f6hen      %s von %s Zellen (%s %%, %s km\u00b2) liegen mehr als 0,7 H = %s m "
    "\u00fcber "
    "oder unter der Bodenh\u00f6he der Quelle; bis %s m dar\u00fcber (x %s; y %s) und %s m "
    "darunter (x %s; y %s)\n",
    "  \u00fcber 2 H   Steigungen \u00fcber 2 H = %s m, von %s %s; %s ausgelassen (ihre Strecke "
    "verl\u00e4sst das Gitter):\n",
    "  \u00fcber Gitter Steigungen \u00fcber 2 x delta = %s m: %s Zellen steiler als 1:20, %s "
    "steiler "
    "als 1:5\n",
    {"  Bewertung  Gel\u00e4nde zu ber\u00fccksichtigen: H\u00f6hendifferenzen \u00fcber 0,7 H und "
     "Steigungen steiler als 1:20 \u00fcber 2 H treten beide auf [required]\n",
     "  Bewertung  Gel\u00e4nde nicht zu ber\u00fccksichtigen: H\u00f6hendifferenzen \u00fcber 0,7 "
     "H "
     "und Steigungen steiler als 1:20 \u00fcber 2 H treten nicht beide auf [not_required]\n",
     "  Bewertung  nicht beurteilt: Zellen des Rechengebiets sind ausgelassen, und im Rest "
     "gelten nicht beide Pr\u00fcfungen [not_assessed]\n"},
    {"  Bereich    im Bereich eines diagnostischen Windfeldmodells, was die Steigung betrifft: "
     "nichts steiler als 1:5 \u00fcber 2 H (%s) oder \u00fcber 2 x delta (%s); lokale Windsysteme "
     "sind nicht beurteilt [within_range]\n",
     "  Bereich    au\u00dferhalb des Bereichs eines diagnostischen Windfeldmodells, was die "
     "Steigung betrifft: Zellen steiler als 1:5 \u00fcber 2 H (%s) oder \u00fcber 2 x delta (%s), "
     "die strengere gilt; lokale Windsysteme sind nicht beurteilt [outside_range]\n",
     "  Bereich    nicht beurteilt: Zellen des Rechengebiets sind ausgelassen; nichts steiler als "
     "1:5 \u00fcber 2 H (%s) oder \u00fcber 2 x delta (%s) im Rest [not_assessed]\n"},
    "\nalle %s Quellen: %s [%s]; %s [%s] (die vorsichtigste der Bewertungen der Quellen)\n",
    {"Gel\u00e4nde zu ber\u00fccksichtigen", "Gel\u00e4nde nicht zu ber\u00fccksichtigen",
     "Gel\u00e4nde nicht beurteilt"},
    {"im Bereich eines diagnostischen Windfeldmodells, was die Steigung betrifft",
     "au\u00dferhalb des Bereichs eines diagnostischen Windfeldmodells, was die Steigung "
     "betrifft",
     "Bereich nicht beurteilt"},
};

// The place of a verdict's code in SourceWords' lists.
int terrainIndex(const std::string& code) {
  return code == "required" ? 0 : code == "not_required" ? 1 : 2;
}
int rangeIndex(const std::string& code) {
  return code == "within_range" ? 0 : code == "outside_range" ? 1 : 2;
}

// Appends `format` with each "%s" replaced by the next of `values` ("%%" gives "%").
void put(std::string& out, const char* format, std::initializer_list<std::string> values) {
  auto value = values.begin();
  for (const char* c = format; *c != '\0'; ++c) {
    if (c[0] == '%' && c[1] == 's') {
      if (value != values.end()) out += *value++;
      ++c;
    } else if (c[0] == '%' && c[1] == '%') {
      out += '%';
      ++c;
    } else {
      out += *c;
    }
  }
}

// Every line of `text` that holds something after `prefix`; empty lines dropped.
std::string indented(const std::string& text, const char* prefix) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    if (end > at) out += prefix + text.substr(at, end - at) + "\n";
    at = end + 1;
  }
  return out;
}

// `text` right-aligned in `width` characters.
std::string right(const std::string& text, std::size_t width) {
  return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

}  // namespace

// The figures of a survey's slopes: the steepest cell, the cells steeper than each threshold
// (with `verdicts`, see SummaryWords, where given), the classes and the regions.
void putSlopes(std::string& out, const MapReport& report, const Survey& s,
               const RegionSummary* regions, const char* const* verdicts, Language language) {
  const SummaryWords& w = language == Language::German ? kGermanSummary : kEnglishSummary;
  const Frame& f = report.frame;
  const GridHeader& h = *report.header;
  const double cellKm2 = f.delta * f.delta / kSquareMetresPerKm2;
  auto c = [language](double value) { return decimal(shortestNumber(value), language); };
  auto fixed = [language](double value, int decimals) {
    return fixedText(value, decimals, language);
  };
  auto n = [](auto value) { return std::to_string(value); };
  auto cells = [&w](std::uint64_t count) { return count == 1 ? w.cell : w.cells; };
  if (s.cells == 0) {
    out += w.steepestNone;
  } else {
    const std::string ratio = !(s.maxSlope > 0.0)      ? std::string(w.flat)
                              : std::isinf(s.maxSlope) ? std::string(w.vertical)
                                                       : "1:" + fixed(1.0 / s.maxSlope, 1);
    put(out, w.steepest,
        {fixed(s.maxSlope, 4), ratio, s.maxAlong == 'b' ? w.both : along(s.maxAlong),
         n(static_cast<long long>(h.lowb.i) + s.maxI), n(static_cast<long long>(h.lowb.j) + s.maxJ),
         c(f.x(s.maxI)), c(f.y(s.maxJ)), n(s.maxCells), cells(s.maxCells)});
  }
  out += verdicts != nullptr ? w.header : w.bareHeader;
  for (int t = 0; t < report.thresholds.count; ++t) {
    const std::uint64_t steeper = steeperThan(s, report.thresholds, t);
    const double value = report.thresholds.values[t];
    const int which = value == 1.0 / 20.0 ? 0 : value == 1.0 / 5.0 ? 2 : 4;
    out += padded(decimal(report.thresholds.labels[t], language), 13) + " " +
           right(n(steeper), 12) + " " + right(fixed(share(steeper, s.cells), 2), 8) + "% " +
           right(fixed(static_cast<double>(steeper) * cellKm2, 3), 12) + " " +
           right(n(s.ties[t]), 12);
    if (verdicts != nullptr) {
      out += "  " + (s.cells == 0 ? std::string(w.none)
                                  : std::string(verdicts[which + (steeper > 0 ? 0 : 1)]));
    }
    out += "\n";
  }
  out += w.atIt;
  out += w.classes;
  std::size_t ruleWidth = 20;
  for (int k = 0; k <= report.thresholds.count; ++k) {
    ruleWidth = std::max(ruleWidth, characters(classRule(report.thresholds, k, language)));
  }
  for (int k = 0; k <= report.thresholds.count; ++k) {
    out += "  " + padded(classRule(report.thresholds, k, language), ruleWidth) + " " +
           right(n(s.classCells[k]), 12) + " " +
           right(fixed(share(s.classCells[k], s.cells), 2), 8) + "%\n";
  }
  out += w.regions;
  for (int t = 0; t < report.thresholds.count; ++t) {
    const RegionSummary& r = regions[t];
    put(out, w.regionCount,
        {decimal(report.thresholds.labels[t], language), n(r.count),
         r.count == 1 ? w.region1 : w.regions2, n(r.singles)});
    for (int k = 0; k < r.largestCount; ++k) {
      const Region& g = r.largest[k];
      const double ci = static_cast<double>(g.sumI) / static_cast<double>(g.cells);
      const double cj = static_cast<double>(g.sumJ) / static_cast<double>(g.cells);
      put(out, w.region,
          {n(g.cells), cells(g.cells), c(f.x(g.iMin)), c(f.x(g.iMax)), c(f.y(g.jMin)),
           c(f.y(g.jMax)), c(f.xAt(ci)), c(f.yAt(cj)), fixed(g.maxSlope, 4)});
    }
  }
}

std::string reportText(const MapReport& report, Language language) {
  const SummaryWords& w = language == Language::German ? kGermanSummary : kEnglishSummary;
  std::string out;
  const Frame& f = report.frame;
  const GridHeader& h = *report.header;
  const Survey& s = report.survey;
  const double cellKm2 = f.delta * f.delta / kSquareMetresPerKm2;
  const std::uint64_t interior =
      static_cast<std::uint64_t>(f.ni - 2) * static_cast<std::uint64_t>(f.nj - 2);
  auto c = [language](double value) { return decimal(shortestNumber(value), language); };
  auto fixed = [language](double value, int decimals) {
    return fixedText(value, decimals, language);
  };
  auto n = [](auto value) { return std::to_string(value); };
  auto cells = [&w](std::uint64_t count) { return count == 1 ? w.cell : w.cells; };
  put(out, w.file, {shownName(report.file)});
  std::string written;
  for (const std::string& name : report.outputs) {
    written += (written.empty() ? "" : ", ") + shownName(name);
  }
  put(out, w.outputs, {written});
  put(out, w.grid,
      {n(f.ni), n(f.nj), c(f.delta), n(static_cast<long long>(h.lowb.i)),
       n(static_cast<long long>(h.lowb.j))});
  std::string frameWords;
  put(frameWords, f.absolute ? w.absolute : w.relative, {c(h.gakrx), c(h.gakry)});
  put(out, w.coordinates, {frameWords});
  put(out, w.interior,
      {n(interior), cells(interior), fixed(static_cast<double>(interior) * cellKm2, 3),
       c(2 * f.delta)});
  if (report.area.given) {
    put(out, w.area,
        {c(report.area.radius), c(report.area.x), c(report.area.y), n(s.cells), cells(s.cells),
         fixed(static_cast<double>(s.cells) * cellKm2, 3), fixed(100.0 * report.areaInside, 1)});
  }
  if (s.cells == 0) {
    out += w.heightsNone;
  } else {
    put(out, w.heights, {c(s.lowest), c(s.highest)});
  }
  // With sources, the verdicts on the grid's slopes defer to theirs.
  const char* verdicts[6];
  std::copy(w.verdicts, w.verdicts + 6, verdicts);
  if (!report.sources.empty()) {
    verdicts[0] = w.sourceVerdicts[0];
    verdicts[1] = w.sourceVerdicts[1];
    verdicts[3] = w.sourceVerdicts[2];
  }
  putSlopes(out, report, s, report.regions, verdicts, language);
  out += w.percentiles;
  for (int k = 0; k < kPercentileCount; ++k) {
    if (k > 0 && language == Language::German) out += ";";
    put(out, w.percentile,
        {n(kPercentiles[k]), s.cells == 0 ? std::string(w.none) : fixed(s.percentiles[k], 4)});
  }
  out += "\n";
  if (s.ringCount > 0) {
    out += w.rings;
    for (int r = 0; r < s.ringCount; ++r) {
      const Ring& ring = s.rings[r];
      put(out, w.ring, {c(ring.inner), c(ring.outer), n(ring.cells), cells(ring.cells)});
      for (int k = 0; k <= report.thresholds.count; ++k) {
        put(out, w.ringShare,
            {classRule(report.thresholds, k, language),
             fixed(share(ring.classCells[k], ring.cells), 2)});
      }
      out += "\n";
    }
  }
  const SourceWords& sw = language == Language::German ? kGermanSource : kEnglishSource;
  for (std::size_t k = 0; k < report.sources.size(); ++k) {
    const SourceFigures& g = report.sources[k];
    const HeightDifferences& d = g.heights;
    const bool ruled = g.area.radius == sourceAreaRadius(g.source.stack);
    put(out, sw.head,
        {n(k + 1), c(g.source.x), c(g.source.y), c(g.source.stack), c(g.area.radius),
         ruled ? (language == Language::German ? "50 H, mindestens 1 km" : "50 H, at least 1 km")
               : "--radius",
         fixed(g.ground, 2)});
    put(out, sw.heights,
        {n(d.beyond), n(d.cells), fixed(share(d.beyond, d.cells), 2),
         fixed(static_cast<double>(d.beyond) * cellKm2, 3), c(0.7 * g.source.stack),
         fixed(d.maxAbove, 2), c(f.x(d.aboveI)), c(f.y(d.aboveJ)), fixed(d.maxBelow, 2),
         c(f.x(d.belowI)), c(f.y(d.belowJ))});
    put(out, sw.baseline,
        {c(std::max(2 * g.source.stack, 2 * f.delta)), n(g.overBaseline.cells),
         cells(g.overBaseline.cells), n(g.leftOut)});
    std::string slopes;
    putSlopes(slopes, report, g.overBaseline, g.regions, nullptr, language);
    out += indented(slopes, "    ");
    put(out, sw.grid, {c(2 * f.delta), n(g.gridSteeper[0]), n(g.gridSteeper[1])});
    out += sw.terrain[terrainIndex(terrainVerdict(g))];
    put(out, sw.range[rangeIndex(rangeVerdict(g))], {n(g.baselineSteeper[1]), n(g.gridSteeper[1])});
  }
  if (report.sources.size() > 1) {
    const char* terrain = terrainVerdict(report.sources);
    const char* range = rangeVerdict(report.sources);
    put(out, sw.all,
        {n(report.sources.size()), sw.terrainWords[terrainIndex(terrain)], terrain,
         sw.rangeWords[rangeIndex(range)], range});
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

// The JSON members of a survey's slopes: "max_slope", "thresholds" (with the verdicts where
// `verdicts`) and "classes", each line after the first led by `indent`.
std::string slopesJson(const MapReport& report, const Survey& s, const RegionSummary* regions,
                       bool verdicts, const std::string& indent) {
  const Frame& f = report.frame;
  const GridHeader& h = *report.header;
  const bool none = s.cells == 0;
  const bool sources = !report.sources.empty();
  const double cellKm2 = f.delta * f.delta / kSquareMetresPerKm2;
  auto n = [](double value) { return jsonNumber(value); };
  auto u = [](std::uint64_t value) { return std::to_string(value); };
  std::string j;
  if (none) {
    j += indent + "\"max_slope\": null,\n";
  } else {
    j += indent + "\"max_slope\": {\"value\": " + n(s.maxSlope) +
         ", \"run_per_rise\": " + (s.maxSlope > 0.0 ? n(1.0 / s.maxSlope) : std::string("null")) +
         ", \"along\": \"" + along(s.maxAlong) + "\", \"i\": " + std::to_string(h.lowb.i + s.maxI) +
         ", \"j\": " + std::to_string(h.lowb.j + s.maxJ) + ", \"x\": " + n(f.x(s.maxI)) +
         ", \"y\": " + n(f.y(s.maxJ)) +
         ", \"x_absolute\": " + n(h.gakrx + f.localX(static_cast<double>(s.maxI))) +
         ", \"y_absolute\": " + n(h.gakry + f.localY(static_cast<double>(s.maxJ))) +
         ", \"cells\": " + u(s.maxCells) + "},\n";
  }
  j += indent + "\"thresholds\": [";
  for (int t = 0; t < report.thresholds.count; ++t) {
    const std::uint64_t cells = steeperThan(s, report.thresholds, t);
    const double value = report.thresholds.values[t];
    const RegionSummary& r = regions[t];
    j += t == 0 ? "\n" : ",\n";
    j += indent + "  {\"label\": " + jsonString(report.thresholds.labels[t]) +
         ", \"value\": " + n(value) + ", \"cells\": " + u(cells) +
         ", \"percent\": " + n(share(cells, s.cells)) +
         ", \"area_km2\": " + n(static_cast<double>(cells) * cellKm2) +
         ", \"at_threshold\": " + u(s.ties[t]);
    if (verdicts) {
      j += ",\n" + indent + "   \"verdict\": " +
           (none ? std::string("null") : jsonString(verdict(value, cells, sources))) +
           ", \"verdict_code\": " +
           (none ? std::string("null") : verdictCode(value, cells, sources));
    }
    j += ",\n" + indent + "   \"regions\": {\"count\": " + u(r.count) +
         ", \"single_cell\": " + u(r.singles) + ", \"largest\": [";
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
  j += "\n" + indent + "],\n" + indent + "\"classes\": [";
  for (int k = 0; k <= report.thresholds.count; ++k) {
    j += (k == 0 ? "" : ", ");
    j += "{\"rule\": " + jsonString(classRule(report.thresholds, k)) +
         ", \"cells\": " + u(s.classCells[k]) +
         ", \"percent\": " + n(share(s.classCells[k], s.cells)) + "}";
  }
  return j + "]";
}

}  // namespace

const char* terrainVerdict(const SourceFigures& figures) {
  const bool both = figures.heights.beyond > 0 && figures.baselineSteeper[0] > 0;
  if (both) return "required";
  return figures.leftOut > 0 ? "not_assessed" : "not_required";
}

const char* rangeVerdict(const SourceFigures& figures) {
  if (figures.baselineSteeper[1] > 0 || figures.gridSteeper[1] > 0) return "outside_range";
  return figures.leftOut > 0 ? "not_assessed" : "within_range";
}

const char* terrainVerdict(const std::vector<SourceFigures>& sources) {
  bool assessed = true;
  for (const SourceFigures& figures : sources) {
    const std::string verdict = terrainVerdict(figures);
    if (verdict == "required") return "required";
    assessed = assessed && verdict == "not_required";
  }
  return assessed ? "not_required" : "not_assessed";
}

const char* rangeVerdict(const std::vector<SourceFigures>& sources) {
  bool assessed = true;
  for (const SourceFigures& figures : sources) {
    const std::string verdict = rangeVerdict(figures);
    if (verdict == "outside_range") return "outside_range";
    assessed = assessed && verdict == "within_range";
  }
  return assessed ? "within_range" : "not_assessed";
}

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
  j += slopesJson(report, s, report.regions, true, "  ");
  j += ",\n  \"percentiles\": {";
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
  j += "],\n  \"sources\": [";
  for (std::size_t k = 0; k < report.sources.size(); ++k) {
    const SourceFigures& g = report.sources[k];
    const HeightDifferences& d = g.heights;
    j += k == 0 ? "\n" : ",\n";
    j += "    {\"x\": " + n(g.source.x) + ", \"y\": " + n(g.source.y) +
         ", \"stack_height\": " + n(g.source.stack) + ", \"radius\": " + n(g.area.radius) +
         ", \"ground_height\": " + n(g.ground) +
         ", \"baseline\": " + n(std::max(2 * g.source.stack, 2 * f.delta)) +
         ",\n     \"cells\": " + u(d.cells) + ", \"assessed\": " + u(g.overBaseline.cells) +
         ", \"left_out\": " + u(g.leftOut) +
         ",\n     \"height_differences\": {\"limit\": " + n(0.7 * g.source.stack) +
         ", \"beyond\": " + u(d.beyond) + ", \"percent\": " + n(share(d.beyond, d.cells)) +
         ", \"area_km2\": " + n(static_cast<double>(d.beyond) * cellKm2) +
         ", \"max_above\": " + n(d.maxAbove) + ", \"max_below\": " + n(d.maxBelow) +
         ", \"above_x\": " + n(f.x(d.aboveI)) + ", \"above_y\": " + n(f.y(d.aboveJ)) +
         ", \"below_x\": " + n(f.x(d.belowI)) + ", \"below_y\": " + n(f.y(d.belowJ)) + "}" +
         ",\n     \"steeper_over_baseline\": {\"1:20\": " + u(g.baselineSteeper[0]) +
         ", \"1:5\": " + u(g.baselineSteeper[1]) +
         "}, \"steeper_over_grid\": {\"1:20\": " + u(g.gridSteeper[0]) +
         ", \"1:5\": " + u(g.gridSteeper[1]) + "}, \"terrain_verdict\": \"" + terrainVerdict(g) +
         "\", \"range_verdict\": \"" + rangeVerdict(g) + "\",\n     \"over_baseline\": {\n" +
         slopesJson(report, g.overBaseline, g.regions, false, "       ") + "}}";
  }
  j += report.sources.empty() ? "],\n" : "\n  ],\n";
  if (!report.sources.empty()) {
    j += std::string("  \"sources_verdict\": {\"terrain\": \"") + terrainVerdict(report.sources) +
         "\", \"range\": \"" + rangeVerdict(report.sources) + "\"},\n";
  }
  j += "  \"figure\": " + figureJson(report.figure) + "\n}\n";
  return j;
}

}  // namespace trasop
