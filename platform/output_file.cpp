#include "platform/output_file.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "platform/interrupts.h"
#include "platform/output_file_steps.h"

namespace trasop {

namespace {

// Random suffixes come from the system's random device, stirred with the clock so that they stay
// distinct even where that device is weak; each draw then goes through one splitmix64 step.
std::uint64_t randomDeviceBits() {
  try {
    std::random_device device;
    return (static_cast<std::uint64_t>(device()) << 32) ^ device();
  } catch (...) {
    return 0;  // No random device: the clock alone. Names stay unique through the exclusive create.
  }
}

std::uint64_t systemRandom() {
  static std::uint64_t state =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      randomDeviceBits();
  std::uint64_t z = (state += 0x9e3779b97f4a7c15u);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
  return z ^ (z >> 31);
}

RandomSource randomSource = systemRandom;

}  // namespace

// `target`, a random part and ".tmp": target.<8 hex digits>.tmp. Where that would be longer
// than the folder allows for a name, the target's own last part is cut short (down to nothing,
// which leaves .<8 hex digits>.tmp), so that the temporary file fits wherever the output does;
// never inside a UTF-8 character, which a file system that insists on UTF-8 names would refuse.
std::string temporaryName(const std::string& target, std::size_t limit) {
  static const char kHex[] = "0123456789abcdef";
  std::uint64_t bits = randomSource();
  std::string suffix = ".";
  for (int k = 0; k < 8; ++k, bits >>= 4) suffix += kHex[bits & 15];
  suffix += ".tmp";
#ifdef _WIN32
  const std::size_t slash = target.find_last_of("/\\:");
#else
  const std::size_t slash = target.find_last_of('/');
#endif
  const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t room = limit > suffix.size() ? limit - suffix.size() : 0;
  std::size_t end = target.size();
  if (end - start > room) {
    end = start + room;
    while (end > start && (static_cast<unsigned char>(target[end]) & 0xC0) == 0x80) --end;
  }
  return target.substr(0, end) + suffix;
}

void setTemporaryNameSource(RandomSource source) {
  randomSource = source != nullptr ? source : systemRandom;
}

bool createTemporaryFile(const std::string& target, OutputFile& output) {
  installInterruptCleanup();
  const std::size_t limit = nameLimit(output);
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    const std::string candidate = temporaryName(target, limit);
    // An interrupt waits until the file and its published name stand together.
    const InterruptsHeld held;
    const CreateOutcome outcome = createExclusive(output, candidate, output.file);
    if (outcome == CreateOutcome::Created) {
      output.temporaryName = candidate;
      output.target = target;
      if (publishTemporaryName(output.temporaryName.c_str(), output.folder)) return true;
      // More temporary files than an interrupt could remove: this one is not made.
      (void)std::fclose(output.file);
      output.file = nullptr;
      deleteFile(output, candidate);
      output.temporaryName.clear();
      return false;
    }
    if (outcome == CreateOutcome::Failed) break;
  }
  return false;
}

void removeTemporaryFile(OutputFile& output) {
  if (output.file != nullptr) (void)std::fclose(output.file);  // the file goes anyway
  output.file = nullptr;
  if (output.temporaryName.empty()) return;
  const InterruptsHeld held;
  deleteFile(output, output.temporaryName);
  withdrawTemporaryName(output.temporaryName.c_str());
  output.temporaryName.clear();
}

bool settleTemporaryFile(OutputFile& output) {
  withdrawTemporaryName(output.temporaryName.c_str());
  output.temporaryName.clear();
  const bool closed = output.file == nullptr || std::fclose(output.file) == 0;
  output.file = nullptr;
  return closed;
}

bool finishOutputFile(OutputFile& output, bool complete) {
  if (rewritesInPlace(output)) {
    const bool written = std::fclose(output.file) == 0 && complete;
    output.file = nullptr;
    releaseOutput(output);
    return written;
  }
  if (complete && std::fflush(output.file) == 0 && flushTemporaryFile(output)) return true;
  discardOutputFile(output);
  return false;
}

bool placeOutputFile(OutputFile& output) {
  if (rewritesInPlace(output)) return true;
  const bool placed = commitTemporaryFile(output);
  removeTemporaryFile(output);  // whatever of it is left
  releaseOutput(output);
  return placed;
}

void discardOutputFile(OutputFile& output) {
  if (rewritesInPlace(output)) {
    if (output.file != nullptr) (void)std::fclose(output.file);
    output.file = nullptr;
  } else {
    removeTemporaryFile(output);
  }
  releaseOutput(output);
}

bool closeOutputFile(OutputFile& output, bool complete) {
  return finishOutputFile(output, complete) && placeOutputFile(output);
}

}  // namespace trasop
