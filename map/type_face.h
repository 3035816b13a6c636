// The outline font of the figures: a TrueType subset of DejaVu Sans covering Latin-1 and the
// signs the figures write.
#pragma once

#include <cstddef>

namespace trasop {

extern const unsigned char kTypeFace[];
extern const std::size_t kTypeFaceSize;

}  // namespace trasop
