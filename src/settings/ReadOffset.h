#pragma once
// The read offset of a CD drive: how many samples (a stereo pair of 16-bit samples, 4 bytes;
// 588 to a sector) later than the addressed sector the true audio of the disc begins in what
// the drive delivers; negative when it begins earlier. Constants only: the settings keep an
// offset per drive, the CD layer reads with it (OffsetReader.h).
#include <cstdint>

constexpr int32_t MinReadOffset = -2000;
constexpr int32_t MaxReadOffset = 2000;

// Whether samples is a read offset a drive may have.
constexpr bool ValidReadOffset(int64_t samples) {
  return samples >= MinReadOffset && samples <= MaxReadOffset;
}
