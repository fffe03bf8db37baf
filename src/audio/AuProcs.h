#pragma once
// Sample conversion routines shared by the converters and the WAV reader: linear PCM of every
// width to 32-bit float with full scale ±1 and back, float samples of files to 32-bit integers,
// and channel mixing. Samples are little-endian; buffers need no alignment.
#include <cstddef>
#include <cstdint>

void Convert8ToFloat(const void *in, float *out, std::size_t count);
void Convert16ToFloat(const void *in, float *out, std::size_t count);
void Convert24ToFloat(const void *in, float *out, std::size_t count);
void Convert32ToFloat(const void *in, float *out, std::size_t count);

// Values of magnitude 1 or more map to the extremes of the output width.
void ConvertFloatTo8(const float *in, void *out, std::size_t count);
void ConvertFloatTo16(const float *in, void *out, std::size_t count);
void ConvertFloatTo24(const float *in, void *out, std::size_t count);
void ConvertFloatTo32(const float *in, void *out, std::size_t count);

// By sample width in bytes (1 to 4); false, with nothing written, for any other width.
bool ConvertToFloat(int bytesPerSample, const void *in, float *out, std::size_t count);
bool ConvertFromFloat(int bytesPerSample, const float *in, void *out, std::size_t count);

// IEEE float samples as stored in WAV files, to 32-bit integers in place. The 64-bit version
// packs its results at the front of the buffer (count × 4 bytes).
void ConvertFloat32ToInt32(void *buffer, std::size_t count);
void ConvertFloat64ToInt32(void *buffer, std::size_t count);
int32_t FloatSampleToInt32(double x);

// out may be the same buffer as in.
void ConvertStereoToMono(const float *in, float *out, std::size_t frames);
// buffer holds frames mono values and room for twice as many.
void ConvertMonoToStereo(float *buffer, std::size_t frames);

// The widths the conversion routines know: 8, 16, 24 and 32 bits.
inline bool IsSupportedWidth(std::uint32_t bits) {
  return bits % 8 == 0 && bits >= 8 && bits <= 32;
}
