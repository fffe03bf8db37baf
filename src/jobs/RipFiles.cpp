#include "RipFiles.h"

#include "AuFLAC.h"
#include "AuWaveIn.h"
#include "Language.h"
#include "Text.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace accuraterip;

namespace {

constexpr int MaxTracks = 99;

std::string NameOf(const std::string &path) { return fs::path(path).filename().string(); }
std::string StemOf(const std::string &name) { return fs::path(name).stem().string(); }
std::string ExtensionOf(const std::string &path) {
  return plat::LowerCase(fs::path(path).extension().string());
}

// The number a text starts with ("03", "3/12", "03 Title.flac"); 0 for none.
int LeadingNumber(const std::string &text) {
  int number = 0;
  for (std::size_t i = 0; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
    if ((number = number * 10 + (text[i] - '0')) > 999)
      return 0;
  return number;
}

// The track number of a file: its FLAC track-number tag, else the number its name starts with.
int TrackNumber(TAuFileIn &input, const std::string &name) {
  if (auto *flac = dynamic_cast<TFLACIn *>(&input))
    if (const int tagged = LeadingNumber(plat::Utf16ToUtf8(flac->VorbisTags().Track())))
      return tagged;
  return LeadingNumber(name);
}

// Orders the files by their track numbers (all must have one) or, when none has one, by name,
// and checks that the numbers run from 1 without a gap.
bool OrderTracks(std::vector<TRipFile> &files, std::vector<int> numbers, std::string &refusal) {
  std::vector<std::size_t> order(files.size());
  for (std::size_t i = 0; i < order.size(); ++i)
    order[i] = i;
  const auto numbered = std::count_if(numbers.begin(), numbers.end(), [](int n) { return n > 0; });
  if (numbered > 0 && numbered < static_cast<long>(files.size())) {
    const auto at = std::find(numbers.begin(), numbers.end(), 0) - numbers.begin();
    refusal =
        GetLanText("RES_Verify_No_Number",
                   "%s: no track number in its tags or at the start of its name", {files[at].Name});
    return false;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return numbered ? numbers[a] < numbers[b] : files[a].Name < files[b].Name;
  });
  std::vector<TRipFile> sorted;
  for (std::size_t i = 0; i < order.size(); ++i) {
    sorted.push_back(files[order[i]]);
    const int number = numbers[order[i]], expected = static_cast<int>(i) + 1;
    if (numbered && number < expected) {
      refusal = GetLanText("RES_Verify_Same_Number", "%s and %s are both track %s",
                           {sorted[i - 1].Name, sorted[i].Name, std::to_string(number)});
      return false;
    }
    if (numbered && number > expected) {
      refusal =
          GetLanText("RES_Verify_Missing_Track", "track %s is missing: %s is track %s of the files",
                     {std::to_string(expected), sorted[i].Name, std::to_string(number)});
      return false;
    }
  }
  files = std::move(sorted);
  return true;
}

// The files and cue sheets the paths name: a folder stands for its WAV, FLAC and cue files.
bool CollectPaths(const std::vector<std::string> &paths, std::vector<std::string> &audio,
                  std::vector<std::string> &cues, std::string &refusal) {
  std::vector<std::string> folders;
  for (const std::string &path : paths) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
      folders.push_back(path);
      std::vector<std::string> inside;
      for (const fs::directory_entry &entry : fs::directory_iterator(path, ec))
        if (entry.is_regular_file(ec))
          inside.push_back(entry.path().string());
      std::sort(inside.begin(), inside.end());
      for (const std::string &file : inside)
        if (const std::string ext = ExtensionOf(file); ext == ".wav" || ext == ".flac")
          audio.push_back(file);
      continue;
    }
    if (!fs::is_regular_file(path, ec)) {
      refusal = GetLanText("RES_Verify_No_File", "%s: no such file or folder", {path});
      return false;
    }
    if (ExtensionOf(path) == ".cue")
      cues.push_back(path);
    else
      audio.push_back(path);
    folders.push_back(fs::path(path).parent_path().string());
  }
  if (audio.empty()) {
    refusal = GetLanText("RES_Verify_No_Tracks", "no WAV or FLAC files to verify", {});
    return false;
  }
  if (!cues.empty())
    return true;
  // The cue sheets beside the tracks.
  std::sort(folders.begin(), folders.end());
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  for (const std::string &folder : folders) {
    std::error_code ec;
    std::vector<std::string> found;
    for (const fs::directory_entry &entry :
         fs::directory_iterator(folder.empty() ? "." : folder, ec))
      if (entry.is_regular_file(ec) && ExtensionOf(entry.path().string()) == ".cue")
        found.push_back(entry.path().string());
    std::sort(found.begin(), found.end());
    cues.insert(cues.end(), found.begin(), found.end());
  }
  return true;
}

// "mm:ss:ff" in sectors; -1 for anything else.
int32_t CueTime(const std::string &text) {
  int m = 0, s = 0, f = 0;
  char c1 = 0, c2 = 0, rest = 0;
  std::istringstream in(text);
  if (!(in >> m >> c1 >> s >> c2 >> f) || c1 != ':' || c2 != ':' || in >> rest || m < 0 || s < 0 ||
      s > 59 || f < 0 || f > 74)
    return -1;
  return (m * 60 + s) * 75 + f;
}

// The quoted (or single-word) file name of a FILE line after its keyword.
std::string CueFileName(std::istringstream &line) {
  line >> std::ws;
  std::string name;
  if (line.peek() == '"') {
    line.get();
    std::getline(line, name, '"');
  } else {
    line >> name;
  }
  return name;
}

struct TCueTrack {
  int Number = 0;
  bool Audio = true;
  int32_t Lsn = -1;
};

} // namespace

std::unique_ptr<TAuFileIn> OpenRipFile(const std::string &path, std::string &refusal) {
  const std::string name = NameOf(path);
  char head[4] = {};
  std::ifstream(path, std::ios::binary).read(head, sizeof head);
  const std::string_view start(head, sizeof head);
  std::unique_ptr<TAuFileIn> input;
  if (start == "fLaC" || start.starts_with("ID3"))
    input = std::make_unique<TFLACIn>();
  else if (start == "RIFF")
    input = std::make_unique<TWaveIn>();
  else {
    refusal = GetLanText("RES_Verify_Not_Rip", "%s: not a WAV or FLAC file", {name});
    return nullptr;
  }
  try {
    input->SetFileName(path);
    input->SampleRate(); // opens the file, raising the reader's refusal
    if (!input->Valid())
      throw EAuException(input->Refusal().empty() ? "not a WAV or FLAC file that can be read"
                                                  : input->Refusal());
  } catch (const EAuException &e) {
    refusal = name + ": " + e.what();
    return nullptr;
  }
  auto *wave = dynamic_cast<TWaveIn *>(input.get());
  if (wave && wave->WavType() != wtPCM && wave->WavType() != wtExtPCM)
    refusal = GetLanText("RES_Verify_Lossy",
                         "%s: compressed or floating-point audio is not CD audio", {name});
  else if (input->BitsPerSample() != 16)
    refusal = GetLanText("RES_Verify_Bits", "%s: %s-bit audio is not CD audio",
                         {name, std::to_string(input->BitsPerSample())});
  else if (input->Channels() != 2)
    refusal = GetLanText("RES_Verify_Channels", "%s: audio of %s channels is not CD audio",
                         {name, std::to_string(input->Channels())});
  else if (input->SampleRate() != 44100)
    refusal = GetLanText("RES_Verify_Rate", "%s: audio at %s Hz is not CD audio",
                         {name, std::to_string(input->SampleRate())});
  else if (input->TotalSamples() <= 0 || input->TotalSamples() % SectorSamples != 0)
    refusal = GetLanText("RES_Verify_Sectors",
                         "%s: its %s samples are not whole CD sectors of 588 samples",
                         {name, std::to_string(input->TotalSamples())});
  return refusal.empty() ? std::move(input) : nullptr;
}

namespace {

// What the cue sheet's lines have said so far, read in order.
struct TCueReading {
  std::map<std::string, const TRipFile *> ByStem; // the rip's files by lower-case stem
  std::vector<TCueTrack> Tracks;
  int32_t FileStart = 0, FileSectors = 0, AudioEnd = -1, LeadOut = -1;
  bool InData = false, SecondSession = false;
  std::size_t AudioFiles = 0;
};

// A FILE line: where the file starts and how many sectors it holds; a data file gives the
// lead-out, an audio file must be the rip's next one.
bool ReadCueFile(std::istringstream &line, const std::string &folder,
                 const std::vector<TRipFile> &files, TCueReading &cue, std::string &refusal) {
  cue.FileStart += cue.FileSectors;
  const std::string name = CueFileName(line);
  std::string type;
  line >> type;
  cue.InData = plat::UpperCase(type) == "BINARY" || plat::UpperCase(type) == "MOTOROLA";
  if (cue.InData) {
    if (cue.AudioEnd < 0)
      cue.AudioEnd = cue.FileStart;
    if (cue.SecondSession)
      cue.FileStart += DataSessionGap;
    std::error_code ec;
    const auto bytes = fs::file_size(fs::path(folder) / name, ec);
    if (ec) {
      refusal = GetLanText("RES_Verify_Cue_Data",
                           "the data track's file %s is not here: the disc's length is not known",
                           {name});
      return false;
    }
    cue.FileSectors = static_cast<int32_t>(bytes / SectorBytes);
    cue.LeadOut = cue.FileStart + cue.FileSectors;
    return true;
  }
  if (cue.AudioEnd >= 0) {
    refusal = GetLanText("RES_Verify_Cue_Data_First",
                         "the cue sheet puts the audio file %s after a data track", {name});
    return false;
  }
  const auto file = cue.ByStem.find(plat::LowerCase(StemOf(name)));
  if (file == cue.ByStem.end()) {
    refusal =
        GetLanText("RES_Verify_Cue_Missing", "the cue sheet names %s, which is not here", {name});
    return false;
  }
  if (file->second != &files[cue.AudioFiles]) {
    refusal = GetLanText("RES_Verify_Cue_Order", "the cue sheet names %s as the file of track %s",
                         {name, std::to_string(cue.AudioFiles + 1)});
    return false;
  }
  ++cue.AudioFiles;
  cue.FileSectors = static_cast<int32_t>(file->second->Samples / SectorSamples);
  return true;
}

// Reads the sheet's lines into tracks and file positions, refusing what the files cannot back.
bool ReadCueSheet(const std::string &text, const std::string &folder,
                  const std::vector<TRipFile> &files, TCueReading &cue, std::string &refusal) {
  for (const TRipFile &file : files)
    cue.ByStem[plat::LowerCase(StemOf(file.Name))] = &file;
  std::istringstream lines(text);
  for (std::string raw; std::getline(lines, raw);) {
    std::istringstream line(raw);
    std::string keyword;
    line >> keyword;
    keyword = plat::UpperCase(keyword);
    if (keyword.starts_with("\xEF\xBB\xBF")) // a byte-order mark
      keyword.erase(0, 3);
    if (keyword == "FILE") {
      if (!ReadCueFile(line, folder, files, cue, refusal))
        return false;
    } else if (keyword == "TRACK") {
      TCueTrack &track = cue.Tracks.emplace_back();
      std::string type;
      line >> track.Number >> type;
      track.Audio = plat::UpperCase(type) == "AUDIO";
    } else if (keyword == "INDEX" && !cue.Tracks.empty()) {
      int number = -1;
      std::string time;
      line >> number >> time;
      // An audio track starts in an audio file, a data track in a data file.
      if (number == 1)
        cue.Tracks.back().Lsn = CueTime(time) < 0 || cue.Tracks.back().Audio == cue.InData
                                    ? -2
                                    : cue.FileStart + CueTime(time);
    } else if (keyword == "PREGAP") {
      refusal = GetLanText("RES_Verify_Cue_Pregap",
                           "the cue sheet adds a pregap that none of the files holds", {});
      return false;
    } else if (keyword == "REM") {
      std::string what, session;
      line >> what >> session;
      cue.SecondSession = cue.SecondSession ||
                          (plat::UpperCase(what) == "SESSION" && session != "01" && session != "1");
    }
  }
  cue.FileStart += cue.FileSectors;
  if (cue.AudioEnd < 0)
    cue.AudioEnd = cue.LeadOut = cue.FileStart;
  if (cue.AudioFiles < files.size()) {
    refusal = GetLanText("RES_Verify_Cue_Extra", "%s is not in the cue sheet",
                         {files[cue.AudioFiles].Name});
    return false;
  }
  return true;
}

// The disc's table of contents from the tracks read: each in order, inside a file of its kind.
bool TocFromCue(const TCueReading &cue, TDiscToc &toc, std::string &refusal) {
  toc = {};
  toc.FirstTrack = cue.Tracks.empty() ? 1 : cue.Tracks.front().Number;
  bool dataSeen = false;
  for (const TCueTrack &track : cue.Tracks) {
    const int32_t end = track.Audio ? cue.AudioEnd : cue.LeadOut;
    const int32_t previous = toc.Tracks.empty() ? -1 : toc.Tracks.back().Lsn;
    if (track.Lsn < 0 || track.Lsn <= previous || track.Lsn >= end || dataSeen ||
        (toc.Tracks.empty() && !track.Audio) || toc.Tracks.size() == MaxTracks) {
      refusal = GetLanText("RES_Verify_Cue_Track",
                           "the cue sheet's track %s does not fit the files (each track needs an "
                           "INDEX 01 in a file of its kind, audio or BINARY; a data track goes "
                           "last)",
                           {std::to_string(track.Number)});
      return false;
    }
    dataSeen = !track.Audio;
    toc.Tracks.push_back({track.Lsn, track.Audio});
  }
  if (toc.Tracks.empty()) {
    refusal = GetLanText("RES_Verify_Cue_Empty", "the cue sheet lists no tracks", {});
    return false;
  }
  toc.LeadOut = cue.LeadOut;
  return true;
}

} // namespace

bool CueSheetToc(const std::string &text, const std::string &folder,
                 const std::vector<TRipFile> &files, TDiscToc &toc, std::string &refusal) {
  TCueReading cue;
  return ReadCueSheet(text, folder, files, cue, refusal) && TocFromCue(cue, toc, refusal);
}

TDiscToc LengthsToc(const std::vector<TRipFile> &files) {
  TDiscToc toc;
  int32_t at = 0;
  for (const TRipFile &file : files) {
    toc.Tracks.push_back({at, true});
    at += static_cast<int32_t>(file.Samples / SectorSamples);
  }
  toc.LeadOut = at;
  return toc;
}

bool ReadRipDisc(const std::vector<std::string> &paths, TRipDisc &disc, std::string &refusal) {
  disc = {};
  std::vector<std::string> audio, cues;
  if (!CollectPaths(paths, audio, cues, refusal))
    return false;
  if (audio.size() > MaxTracks) {
    refusal = GetLanText("RES_Verify_Too_Many", "%s files are more tracks than a disc holds",
                         {std::to_string(audio.size())});
    return false;
  }
  std::vector<int> numbers;
  for (const std::string &path : audio) {
    const std::unique_ptr<TAuFileIn> input = OpenRipFile(path, refusal);
    if (!input)
      return false;
    const std::string name = NameOf(path);
    disc.Files.push_back({path, name, static_cast<uint64_t>(input->TotalSamples())});
    numbers.push_back(TrackNumber(*input, name));
  }
  if (!OrderTracks(disc.Files, numbers, refusal))
    return false;
  if (cues.empty()) {
    disc.Toc = LengthsToc(disc.Files);
    return true;
  }
  // Of several cue sheets the first that fits; when none does, why the first does not.
  std::string first;
  for (const std::string &cue : cues) {
    std::ifstream in(cue, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string why;
    if (CueSheetToc(text.str(), fs::path(cue).parent_path().string(), disc.Files, disc.Toc, why)) {
      disc.CueSheet = cue;
      return true;
    }
    if (first.empty())
      first = NameOf(cue) + ": " + why;
  }
  refusal = first;
  return false;
}
