#include "map/thresholds.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <string>

namespace trasop {

namespace {

// A plain decimal number filling `text` whole: digits with at most one point, no sign, no
// exponent, nothing else.
bool plainNumber(const std::string& text, double& value) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos ||
      text.find('.') != text.rfind('.') || text == ".") {
    return false;
  }
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

bool parseOne(const std::string& text, double& value) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return plainNumber(text, value);
  double rise = 0.0;
  double run = 0.0;
  if (!plainNumber(text.substr(0, colon), rise) || !plainNumber(text.substr(colon + 1), run) ||
      run == 0.0) {
    return false;
  }
  value = rise / run;
  return true;
}

}  // namespace

Thresholds defaultThresholds() {
  Thresholds thresholds;
  parseThresholds("1:20,1:5", thresholds);
  return thresholds;
}

bool parseThresholds(const std::string& text, Thresholds& thresholds) {
  Thresholds parsed;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
    double value = 0.0;
    if (parsed.count == kMostThresholds || !parseOne(item, value) || !(value > 0.0) ||
        !std::isfinite(value) || (parsed.count > 0 && value <= parsed.values[parsed.count - 1])) {
      return false;
    }
    parsed.values[parsed.count] = value;
    parsed.labels[parsed.count] = item;
    ++parsed.count;
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  thresholds = parsed;
  return true;
}

std::string classRule(const Thresholds& thresholds, int k, Language language) {
  const auto label = [&](int t) { return decimal(thresholds.labels[t], language); };
  if (language == Language::German) {
    if (k == 0) return "h\u00f6chstens " + label(0);
    if (k == thresholds.count) return "steiler als " + label(k - 1);
    return "steiler als " + label(k - 1) + " bis " + label(k);
  }
  if (k == 0) return "\u2264 " + label(0);
  if (k == thresholds.count) return "> " + label(k - 1);
  return "> " + label(k - 1) + " to " + label(k);
}

}  // namespace trasop
