#include "Global.h"

#include "Folders.h"
#include "IniFile.h"
#include "Language.h"
#include "Mp3BitRate.h"
#include "ReadOffset.h"
#include "Text.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <set>

namespace fs = std::filesystem;

TGlobalOptions GlobalOptions;
std::string RunOutputFolder;

std::string GetAppDataFolder() { return plat::ConfigHome(); }

namespace {

// The problems told, by the folder or file they are about, and where they are told.
std::mutex ProblemsLock;
std::set<std::string> ProblemsTold;
std::function<void(const std::string &)> ProblemHandler;

void TellOnce(const std::string &path, const std::string &text) {
  std::function<void(const std::string &)> handler;
  {
    const std::lock_guard lock(ProblemsLock);
    if (!ProblemsTold.insert(path).second)
      return;
    handler = ProblemHandler;
  }
  if (handler)
    handler(text);
  else
    std::cerr << "plindar: " << text << std::endl;
}

void Forget(const std::string &path) {
  const std::lock_guard lock(ProblemsLock);
  ProblemsTold.erase(path);
}

// The text with each "%s" replaced by the next of the values.
std::string Filled(std::string text, std::initializer_list<std::string> values) {
  size_t at = 0;
  for (const std::string &value : values) {
    at = text.find("%s", at);
    if (at == std::string::npos)
      break;
    text.replace(at, 2, value);
    at += value.size();
  }
  return text;
}

} // namespace

void SetSettingsProblemHandler(std::function<void(const std::string &)> handler) {
  const std::lock_guard lock(ProblemsLock);
  ProblemHandler = std::move(handler);
}

bool SettingsProblemTold() {
  const std::lock_guard lock(ProblemsLock);
  return !ProblemsTold.empty();
}

void CheckSettingsFile(const TIniFile &file) {
  if (!file.Unreadable())
    return Forget(file.FileName());
  TellOnce(file.FileName(),
           Filled(GetLanString("RES_Settings_File_Unreadable",
                               "%s cannot be read as a settings file. It is left as it is, "
                               "and nothing is saved into it."),
                  {file.FileName()}));
}

std::string GetSettingsFolder() {
  const std::string folder = GetAppDataFolder() + "Varnex/Plindar/";
  std::error_code ec, made;
  if (fs::is_directory(folder, ec) || fs::create_directories(folder, made) ||
      fs::is_directory(folder, ec)) {
    Forget(folder);
    return folder;
  }
  // The program's folder is no place for them: it is shared by every user, and usually not
  // writable.
  TellOnce(folder, Filled(GetLanString("RES_Settings_Folder_Not_Made",
                                       "The settings folder %s cannot be made (%s). Settings and "
                                       "disc titles are not saved."),
                          {folder, made ? made.message() : "not a folder"}));
  return folder;
}

namespace {

// Reads (load) or writes (save) every field, in the order of the settings file.
class TOptionsFile {
public:
  TOptionsFile(const std::string &fileName, bool load) : FIni(fileName), FLoad(load) {}

  void Field(const char *section, const char *key, std::string &value, const std::string &def) {
    if (FLoad)
      value = FIni.ReadString(section, key, def);
    else
      FIni.WriteString(section, key, value);
  }
  void Field(const char *section, const char *key, int32_t &value, int32_t def) {
    if (FLoad)
      value = FIni.ReadInteger(section, key, def);
    else
      FIni.WriteInteger(section, key, value);
  }
  void Field(const char *section, const char *key, bool &value, bool def) {
    if (FLoad)
      value = FIni.ReadBool(section, key, def);
    else
      FIni.WriteBool(section, key, value);
  }
  TIniFile &Ini() { return FIni; }

private:
  TIniFile FIni;
  bool FLoad;
};

std::string DefaultOutputFolder(const std::string &settingsFolder) {
  // A rip into a hidden configuration folder would be lost to the user: a missing music
  // folder is made, and only one that cannot be made leaves the settings folder.
  const std::string music = plat::UserMusicFolder();
  std::error_code ec;
  fs::create_directories(music, ec);
  return fs::is_directory(music, ec) ? music : settingsFolder;
}

// The read offsets as numbered pairs, so a key may hold any character an INI key cannot:
// DriveN = the drive's key, OffsetN = its offset, whatever the numbers (a gap in them hides no
// pair). A pair without a drive, or with an offset out of range, is damage: not read, and left
// as it stands.
constexpr const char *OffsetsSection = "ReadOffsets";

struct TOffsetPair {
  std::string Number; // N of DriveN, as the file spells it
  std::string Drive;
  int32_t Offset;
};

// N of a "DriveN" or "OffsetN" key; 0 for any other key.
long long PairNumberOf(const std::string &key) {
  for (const std::string prefix : {"Drive", "Offset"})
    if (key.size() > prefix.size() && plat::SameText(key.substr(0, prefix.size()), prefix)) {
      long long n = 0;
      const char *end = key.data() + key.size();
      const auto [stop, error] = std::from_chars(key.data() + prefix.size(), end, n);
      return error == std::errc() && stop == end && n < 1000000000 ? n : 0;
    }
  return 0;
}

std::vector<TOffsetPair> ReadOffsetPairs(const TIniFile &ini) {
  std::vector<TOffsetPair> pairs;
  for (const std::string &key : ini.ReadSection(OffsetsSection)) {
    if (key.size() <= 5 || !plat::SameText(key.substr(0, 5), "Drive"))
      continue;
    TOffsetPair pair{key.substr(5), ini.ReadString(OffsetsSection, key, ""), 0};
    pair.Offset = ini.ReadInteger(OffsetsSection, "Offset" + pair.Number, MaxReadOffset + 1);
    if (!pair.Drive.empty() && ValidReadOffset(pair.Offset))
      pairs.push_back(pair);
  }
  return pairs;
}

void LoadReadOffsets(const TIniFile &ini, std::map<std::string, int32_t> &offsets) {
  offsets.clear();
  for (const TOffsetPair &pair : ReadOffsetPairs(ini))
    offsets.emplace(pair.Drive, pair.Offset); // a drive given twice reads as its first pair
}

// Each pair read is updated, or removed when its drive has no offset any more; drives new to
// the file get pairs numbered after the highest number there.
void SaveReadOffsets(TIniFile &ini, const std::map<std::string, int32_t> &offsets) {
  std::set<std::string> stored;
  for (const TOffsetPair &pair : ReadOffsetPairs(ini)) {
    if (const auto found = offsets.find(pair.Drive); found != offsets.end()) {
      ini.WriteInteger(OffsetsSection, "Offset" + pair.Number, found->second);
      stored.insert(pair.Drive);
    } else {
      ini.DeleteKey(OffsetsSection, "Drive" + pair.Number);
      ini.DeleteKey(OffsetsSection, "Offset" + pair.Number);
    }
  }
  long long highest = 0;
  for (const std::string &key : ini.ReadSection(OffsetsSection))
    highest = std::max(highest, PairNumberOf(key));
  for (const auto &[drive, offset] : offsets)
    if (!stored.contains(drive)) {
      const std::string n = std::to_string(++highest);
      ini.WriteString(OffsetsSection, "Drive" + n, drive);
      ini.WriteInteger(OffsetsSection, "Offset" + n, offset);
    }
}

} // namespace

bool LoadSaveOptions(bool Load) {
  std::string folder = GetSettingsFolder();
  std::string fileName = folder + "options.ini";
  TOptionsFile f(fileName, Load);
  TGlobalOptions &o = GlobalOptions;
  const TGlobalOptions d;
  // The default is found only when it is needed, as finding it may make the music folder.
  const bool needDefault =
      Load && RunOutputFolder.empty() && !f.Ini().ValueExists("CommonOptions", "OutputFolder");
  f.Field("CommonOptions", "OutputFolder", o.OutputFolder,
          needDefault ? DefaultOutputFolder(folder) : std::string());
  f.Field("CommonOptions", "OutputFormat", o.OutputFormat, d.OutputFormat);
  f.Field("CommonOptions", "IsKeepWav", o.IsKeepWav, d.IsKeepWav);
  f.Field("CommonOptions", "IsNormalize", o.IsNormalize, d.IsNormalize);
  f.Field("CommonOptions", "NormalizePercent", o.NormalizePercent, d.NormalizePercent);
  f.Field("CommonOptions", "EnableRipTime", o.EnableRipTime, d.EnableRipTime);
  f.Field("CommonOptions", "RipTime", o.RipTime, d.RipTime);
  f.Field("Mp3Options", "IsSelectVBR", o.IsSelectVBR, d.IsSelectVBR);
  f.Field("Mp3Options", "IsVBRHead", o.IsVBRHead, d.IsVBRHead);
  f.Field("Mp3Options", "BitRate", o.BitRate, d.BitRate);
  f.Field("Mp3Options", "MaxBitRate", o.MaxBitRate, d.MaxBitRate);
  f.Field("Mp3Options", "MpegQuality", o.MpegQuality, d.MpegQuality);
  f.Field("Mp3Options", "VBRQuality", o.VBRQuality, d.VBRQuality);
  f.Field("Mp3Options", "StereoMode", o.StereoMode, d.StereoMode);
  f.Field("EncoderOptions", "StallTime", o.StallTime, d.StallTime);
  f.Field("OggOptions", "IsUseCompress", o.IsUseCompress, d.IsUseCompress);
  f.Field("OggOptions", "CompressPosition", o.CompressPosition, d.CompressPosition);
  f.Field("OggOptions", "MaxBitRate", o.OggMaxBitRate, d.OggMaxBitRate);
  f.Field("OggOptions", "NomalBitRate", o.OggNomalBitRate, d.OggNomalBitRate);
  f.Field("OggOptions", "MinBitRate", o.OggMinBitRate, d.OggMinBitRate);
  f.Field("WMAOptions", "BitRate", o.WMABitRate, d.WMABitRate);
  f.Field("FLACOptions", "Compression", o.FLACCompression, d.FLACCompression);
  f.Field("OpusOptions", "BitRate", o.OpusBitRate, d.OpusBitRate);
  f.Field("CDOptions", "Index", o.CDIndex, d.CDIndex);
  f.Field("CDOptions", "CDDb", o.CDDb, d.CDDb);
  f.Field("CDOptions", "SecureRip", o.SecureRip, d.SecureRip);
  f.Field("CDOptions", "Deemphasis", o.Deemphasis, d.Deemphasis);
  f.Field("CDOptions", "DetectHiddenTrack", o.DetectHiddenTrack, d.DetectHiddenTrack);
  f.Field("RecordOptions", "SaveMp3", o.SaveMp3, d.SaveMp3);
  f.Field("QueryCDDB", "Server", o.Server, d.Server);
  f.Field("QueryCDDB", "Script", o.Script, d.Script);
  f.Field("QueryCDDB", "UseProxy", o.UseProxy, d.UseProxy);
  f.Field("QueryCDDB", "ProxyAddress", o.ProxyAddress, d.ProxyAddress);
  f.Field("QueryCDDB", "Port", o.Port, d.Port);
  f.Field("QueryCDDB", "AccurateRipUrl", o.AccurateRipUrl, d.AccurateRipUrl);
  f.Field("ID3", "Use", o.UseID3, d.UseID3);
  f.Field("TitleSources", "Sources", o.TitleSources, d.TitleSources);
  f.Field("TitleSources", "MusicBrainzUrl", o.MusicBrainzUrl, d.MusicBrainzUrl);
  f.Field("Options", "Lan", o.Lan, d.Lan);
  CheckSettingsFile(f.Ini());
  if (Load) {
    LoadReadOffsets(f.Ini(), o.ReadOffsets);
    o.CompressPosition = std::clamp(o.CompressPosition, 30, 100);
    o.FLACCompression = std::clamp(o.FLACCompression, 0, 8);
    o.OpusBitRate = std::clamp(o.OpusBitRate, 32, 256);
    o.StallTime = std::clamp(o.StallTime, MinStallTime, MaxStallTime);
    // lame would round a rate it does not take to one of its own, or to a lower sample rate.
    if (!IsMp3BitRate(o.BitRate))
      o.BitRate = d.BitRate;
    if (!IsMp3BitRate(o.MaxBitRate))
      o.MaxBitRate = d.MaxBitRate;
    if (o.TitleSources < TitleSourcesFreedb || o.TitleSources > TitleSourcesBoth)
      o.TitleSources = d.TitleSources;
    // A format this version does not know (a newer one's, or a damaged file) rips to MP3.
    if (!FormatOfNumber(o.OutputFormat))
      o.OutputFormat = d.OutputFormat;
    return true;
  }
  SaveReadOffsets(f.Ini(), o.ReadOffsets);
  return f.Ini().UpdateFile();
}

int32_t StoredReadOffset(const std::string &driveKey) {
  const auto found = GlobalOptions.ReadOffsets.find(driveKey);
  return found == GlobalOptions.ReadOffsets.end() ? 0 : found->second;
}

void StoreReadOffset(const std::string &driveKey, int32_t offset) {
  if (offset == 0)
    GlobalOptions.ReadOffsets.erase(driveKey);
  else
    GlobalOptions.ReadOffsets[driveKey] = offset;
}

std::string GetFormatName() {
  const TOutputFormat *format = FormatOfNumber(GlobalOptions.OutputFormat);
  return format ? format->Name : "";
}

std::string TwoDigits(int n) { return (n <= 9 ? "0" : "") + std::to_string(n); }

std::string GetLanString(const std::string &Key, const std::string &Default) {
  if (plat::SameText(GlobalOptions.Lan, "English"))
    return Default;
  // Read anew on every call: a language chosen from the menu applies to the next message.
  TIniFile ini(LanguageFilePath(GlobalOptions.Lan));
  return ReadLanguageString(ini, "ResourceString", Key, Default);
}
