#pragma once
// Made-up sound for tests that follow each sample through a recording or a copy.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Sound with no byte of silence in it, different for each seed.
std::vector<uint8_t> Pattern(std::size_t size, int seed);
// A PCM WAV file's bytes: the canonical 44-byte header followed by the audio.
std::vector<uint8_t> Wav(uint16_t channels, uint32_t rate, uint16_t bits,
                         const std::vector<uint8_t> &audio);
// Writes the bytes as the whole file.
void WriteFileBytes(const std::string &path, const std::vector<uint8_t> &bytes);
