#pragma once
// The WAV files of a rip: their header, and a filtered copy taking a file's place.
#include <array>
#include <cstdint>
#include <string>

constexpr std::uint32_t WavHeaderSize = 44;

// The 44-byte header of a 44.1 kHz, 16-bit stereo PCM WAV file holding dataSize bytes.
std::array<std::uint8_t, WavHeaderSize> CDWavHeader(std::uint32_t dataSize);

// Ends the filtering of fileName into its copy temp: a whole copy (copied) takes the file's
// name in one rename; otherwise, or when the rename fails, the copy is removed, the file stays
// as it was and the result is false.
bool ReplaceWithCopy(bool copied, const std::string &temp, const std::string &fileName);
