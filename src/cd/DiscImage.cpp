#include "DiscImage.h"

#include "akrip32.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {
uint32_t SectorsOf(const TImageTrack &track) {
  return static_cast<uint32_t>((track.Raw.size() + CDSectorSize - 1) / CDSectorSize);
}

std::string Msf(uint32_t frames) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", frames / 4500, frames / 75 % 60, frames % 75);
  return text;
}

uint8_t Bcd(uint32_t n) { return static_cast<uint8_t>(n / 10 * 16 + n % 10); }
} // namespace

std::vector<uint8_t> Mode1Sectors(uint32_t firstSector, uint32_t count) {
  std::vector<uint8_t> raw(size_t{count} * CDSectorSize);
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t *sector = raw.data() + size_t{i} * CDSectorSize;
    for (int b = 1; b <= 10; ++b)
      sector[b] = 0xFF; // sync: 00, ten times FF, 00
    const uint32_t address = firstSector + i + 150;
    sector[12] = Bcd(address / 4500);
    sector[13] = Bcd(address / 75 % 60);
    sector[14] = Bcd(address % 75);
    sector[15] = 1;
  }
  return raw;
}

std::vector<uint32_t> TrackStarts(const std::vector<TImageTrack> &tracks) {
  std::vector<uint32_t> starts;
  uint32_t position = 0;
  for (const TImageTrack &track : tracks) {
    starts.push_back(position);
    position += SectorsOf(track);
  }
  return starts;
}

std::string CueSheet(const std::string &binName, const std::vector<TImageTrack> &tracks) {
  std::string cue = "FILE \"" + binName + "\" BINARY\n";
  const std::vector<uint32_t> starts = TrackStarts(tracks);
  for (size_t i = 0; i < tracks.size(); ++i) {
    char number[24];
    std::snprintf(number, sizeof number, "%02zu", i + 1);
    cue += std::string("  TRACK ") + number + (tracks[i].Data ? " MODE1/2352\n" : " AUDIO\n");
    cue += "    INDEX 01 " + Msf(starts[i]) + "\n";
  }
  return cue;
}

std::string WriteBinCue(const std::string &dir, const std::string &baseName,
                        const std::vector<TImageTrack> &tracks) {
  const std::filesystem::path base = std::filesystem::path(dir) / baseName;
  const std::string binPath = base.string() + ".bin";
  const std::string cuePath = base.string() + ".cue";
  const auto fail = [](const std::string &path) {
    throw std::runtime_error("Cannot write the disc image file " + path);
  };

  std::ofstream bin(binPath, std::ios::binary | std::ios::trunc);
  const std::vector<char> padding(CDSectorSize, 0);
  for (const TImageTrack &track : tracks) {
    bin.write(reinterpret_cast<const char *>(track.Raw.data()),
              static_cast<std::streamsize>(track.Raw.size()));
    bin.write(padding.data(),
              static_cast<std::streamsize>(SectorsOf(track) * CDSectorSize - track.Raw.size()));
  }
  bin.close();
  if (!bin)
    fail(binPath);

  std::ofstream cue(cuePath, std::ios::trunc);
  cue << CueSheet(baseName + ".bin", tracks);
  cue.close();
  if (!cue)
    fail(cuePath);
  return cuePath;
}
