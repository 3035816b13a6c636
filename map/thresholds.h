// The slopes that bound the classes of a map, and the class of a slope.
#pragma once

#include <string>

#include "map/language.h"

namespace trasop {

constexpr int kMostThresholds = 4;

struct Thresholds {
  int count = 0;
  double values[kMostThresholds] = {};  // ascending, positive, finite
  std::string labels[kMostThresholds];  // as given: "1:20" or "0.05"
};

// The usual ones: steeper than 1:20 the terrain must be taken into account, steeper than 1:5 a
// diagnostic wind-field model is outside its range.
Thresholds defaultThresholds();

// Reads a comma-separated list of one to four slopes, each a ratio "1:20" (rise:run) or a
// decimal "0.05", ascending, positive and finite. Returns false for anything else.
bool parseThresholds(const std::string& text, Thresholds& thresholds);

// The class of `slope`: how many thresholds it is steeper than, strictly (0 to count). A slope
// exactly at a threshold is not steeper than it.
inline int slopeClass(double slope, const Thresholds& thresholds) {
  int k = 0;
  while (k < thresholds.count && slope > thresholds.values[k]) ++k;
  return k;
}

// The rule of class k in words: "≤ 1:20", "> 1:20 to 1:5", "> 1:5"; in German as a German
// report writes it, "höchstens 1:20", "steiler als 1:20 bis 1:5", "steiler als 1:5", with
// decimal commas.
std::string classRule(const Thresholds& thresholds, int k, Language language = Language::English);

}  // namespace trasop
