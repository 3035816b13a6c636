// Test support: how many times longer the differential tests run, from TRASOP_SOAK (set by
// the benchmark script); 1 when it is not set.
#pragma once

#include <cstdlib>

namespace trasop {

inline long soakFactor() {
  const char* soak = std::getenv("TRASOP_SOAK");
  return soak != nullptr && std::atol(soak) > 0 ? std::atol(soak) : 1;
}

}  // namespace trasop
