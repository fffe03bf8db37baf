#pragma once
// Hidden track one audio: music some discs hold in the pregap before track 1, between the
// lead-in and track 1's INDEX 01, which a player skips.
#include "CdioDisc.h"

#include <cstdint>
#include <functional>

// Reads n raw sectors from first into to: n, or -1 when they cannot be read.
using TRawRead = std::function<int64_t(int32_t first, int32_t n, uint8_t *to)>;

// The sectors of the hidden track (it runs from sector 0 up to track 1), or 0 when there is
// none: the disc's first track is not track 1 or not audio, it starts at sector 0 (the usual
// two-second pregap only), or the pregap is digital silence or cannot be read. Reads only the
// pregap, and only up to its first sound.
int32_t HiddenTrackSectors(const TDiscLayout &disc, const TRawRead &read);
