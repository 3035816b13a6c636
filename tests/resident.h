// Test support: the memory this process holds in RAM, from the system's account of it.
#pragma once

#ifdef __linux__
#include <unistd.h>

#include <cstdint>
#include <fstream>

namespace trasop {

inline std::uint64_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0;
  std::uint64_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace trasop
#endif
