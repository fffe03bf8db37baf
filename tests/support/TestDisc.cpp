#include "TestDisc.h"

#include "DiscImage.h"
#include "akrip32.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

uint8_t TestAudioByte(int track, uint32_t sector, uint32_t byte) {
  uint32_t x =
      static_cast<uint32_t>(track) * 0x9E3779B1u ^ sector * 0x85EBCA77u ^ (byte / 4) * 0xC2B2AE3Du;
  x ^= x >> 15;
  x *= 0x2C1B3C6Du;
  x ^= x >> 12;
  return static_cast<uint8_t>(x >> (8 * (byte % 4)));
}

std::vector<uint8_t> TestAudio(int track, uint32_t sectors) {
  std::vector<uint8_t> audio(size_t{sectors} * CDSectorSize);
  for (uint32_t s = 0; s < sectors; ++s)
    for (uint32_t b = 0; b < CDSectorSize; ++b)
      audio[size_t{s} * CDSectorSize + b] = TestAudioByte(track, s, b);
  return audio;
}

std::string WriteTestDisc(const std::string &dir, const std::string &name,
                          const std::vector<TTestTrack> &tracks, int firstTrack) {
  std::vector<TImageTrack> image;
  uint32_t position = 0;
  for (size_t i = 0; i < tracks.size(); ++i) {
    const TTestTrack &t = tracks[i];
    image.push_back({t.Data, t.Data ? Mode1Sectors(position, t.Sectors)
                                    : TestAudio(static_cast<int>(i + 1), t.Sectors)});
    position += t.Sectors;
  }
  const std::string cue = WriteBinCue(dir, name, image);
  // The sheet's TRACK lines renumbered, each followed by its flags.
  std::istringstream lines(FileText(cue));
  std::string sheet, line;
  for (size_t i = 0; std::getline(lines, line);) {
    if (line.starts_with("  TRACK ")) {
      char number[8];
      std::snprintf(number, sizeof number, "%02d", firstTrack + static_cast<int>(i));
      line.replace(8, 2, number);
      if (tracks[i++].CopyPermitted)
        line += "\n    FLAGS DCP";
    }
    sheet += line + "\n";
  }
  std::ofstream(cue, std::ios::trunc) << sheet;
  return cue;
}

std::string WriteAudioDisc(const std::string &dir, const std::string &name,
                           const std::vector<uint32_t> &sectors) {
  std::vector<TTestTrack> tracks;
  for (uint32_t n : sectors)
    tracks.push_back({n});
  return WriteTestDisc(dir, name, tracks);
}

std::string Write99TrackDisc(const std::string &dir, const std::string &name, uint32_t sectors) {
  return WriteAudioDisc(dir, name, std::vector<uint32_t>(99, sectors));
}

std::string WriteTruncatedDisc(const std::string &dir, const std::string &name,
                               const std::vector<TTestTrack> &tracks, uint64_t bytes) {
  const std::string cue = WriteTestDisc(dir, name, tracks);
  std::filesystem::resize_file(BinOf(cue), bytes);
  return cue;
}

std::string WriteCdTextDisc(const std::string &dir, const std::string &name,
                            const std::vector<uint32_t> &sectors, const TCdTextSheet &text) {
  const std::string cue = WriteAudioDisc(dir, name, sectors);
  const auto quoted = [](const std::string &value) { return "\"" + value + "\""; };
  std::string sheet = "TITLE " + quoted(text.Title) + "\nPERFORMER " + quoted(text.Performer) +
                      "\n" + FileText(cue);
  std::size_t at = 0;
  for (std::size_t i = 0; i < text.TrackTitles.size(); ++i) {
    at = sheet.find('\n', sheet.find(" AUDIO", at)) + 1;
    std::string lines = "    TITLE " + quoted(text.TrackTitles[i]) + "\n";
    if (i < text.TrackPerformers.size() && !text.TrackPerformers[i].empty())
      lines += "    PERFORMER " + quoted(text.TrackPerformers[i]) + "\n";
    sheet.insert(at, lines);
  }
  std::ofstream(cue, std::ios::trunc) << sheet;
  return cue;
}

std::string WriteGarbageCueDisc(const std::string &dir, const std::string &name) {
  const std::string cue = WriteAudioDisc(dir, name, {100, 100});
  std::ofstream(cue, std::ios::app) << "  THIS IS NOT A CUE LINE\n\x01\x02 garbage 00:00:00\n";
  return cue;
}

std::string WriteCueWithoutBin(const std::string &dir, const std::string &name) {
  const std::string cue = WriteAudioDisc(dir, name, {100});
  std::filesystem::remove(BinOf(cue));
  return cue;
}

std::string BinOf(const std::string &cuePath) {
  return std::filesystem::path(cuePath).replace_extension(".bin").string();
}

std::vector<uint8_t> ShiftedBin(const std::string &cuePath, uint32_t start, uint32_t sectors,
                                int32_t offset) {
  const std::vector<uint8_t> bin = ReadFileBytes(BinOf(cuePath));
  std::vector<uint8_t> audio(size_t{sectors} * CDSectorSize);
  const int64_t first = int64_t{start} * CDSectorSize + int64_t{offset} * 4;
  for (size_t i = 0; i < audio.size(); ++i)
    if (const int64_t at = first + int64_t(i); at >= 0 && at < int64_t(bin.size()))
      audio[i] = bin[size_t(at)];
  return audio;
}

TImageDrives::TImageDrives(const std::vector<std::string> &cuePaths) {
  SetScanSystemDrives(false);
  ClearDiscImages();
  for (const std::string &cue : cuePaths) {
    std::string error;
    if (!AddDiscImage(cue, &error))
      throw std::runtime_error(error);
  }
}

TImageDrives::~TImageDrives() {
  ClearDiscImages();
  SetScanSystemDrives(true);
}
