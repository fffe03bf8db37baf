#include "CutRips.h"

#include "AccurateRipAnswers.h"
#include "Frame450Answer.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// A 16-bit stereo 44.1 kHz WAV file with the 44-byte header.
void WriteCdWav(const std::string &path, const std::vector<uint8_t> &audio) {
  const auto le = [](uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
      s += static_cast<char>(v >> (8 * i));
    return s;
  };
  const auto size = static_cast<uint32_t>(audio.size());
  std::ofstream out(path, std::ios::binary);
  out << "RIFF" << le(36 + size, 4) << "WAVEfmt " << le(16, 4) << le(1, 2) << le(2, 2)
      << le(44100, 4) << le(44100 * 4, 4) << le(4, 2) << le(16, 2) << "data" << le(size, 4);
  out.write(reinterpret_cast<const char *>(audio.data()), std::streamsize(audio.size()));
  if (!out)
    throw std::runtime_error("cannot write " + path);
}

} // namespace

std::vector<TRipCut> TrackCuts(const std::vector<uint32_t> &lengths) {
  std::vector<TRipCut> cuts;
  uint32_t from = 0;
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%02zu Track", i + 1);
    cuts.push_back({name, from, lengths[i]});
    from += lengths[i];
  }
  return cuts;
}

void CutWavs(const std::string &cue, const std::string &folder, const std::vector<TRipCut> &cuts,
             int32_t driveOffset) {
  fs::create_directories(folder);
  // A drive that reads late by the offset gives each sample that many samples after its place.
  for (const TRipCut &cut : cuts)
    WriteCdWav(folder + "/" + cut.Name + ".wav",
               ShiftedBin(cue, cut.From, cut.Sectors, -driveOffset));
}

void EncodeWavsToFlac(const std::string &folder) {
  for (const fs::directory_entry &entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".wav") {
      const std::string wav = entry.path().string();
      const std::string flac = fs::path(wav).replace_extension(".flac").string();
      if (!RunQuietly({"flac", "--silent", "--force", "-o", flac, wav}))
        throw std::runtime_error("flac failed on " + wav);
      fs::remove(wav);
    }
}

std::string TrueAnswer(const std::string &cue, const std::vector<uint32_t> &lengths,
                       const accuraterip::TDiscIds &ids, int confidence) {
  TTempDir dir;
  const std::vector<TRipCut> cuts = TrackCuts(lengths);
  CutWavs(cue, dir.Path(), cuts);
  std::vector<accuraterip::TTrackEntry> entries;
  for (std::size_t i = 0; i < cuts.size(); ++i)
    entries.push_back(
        {confidence,
         PeerChecksum(dir.File(cuts[i].Name + ".wav"), int(i) + 1, int(cuts.size()), false),
         ShiftedFrame450(cue, cuts[i].From, 0)});
  return DbarEntries(ids, entries);
}
