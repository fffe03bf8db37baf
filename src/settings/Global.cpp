#include "Global.h"

#include "Folders.h"
#include "IniFile.h"
#include "Language.h"
#include "ReadOffset.h"
#include "Text.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

TGlobalOptions GlobalOptions;
std::string RunOutputFolder;

std::string GetAppDataFolder() { return plat::ConfigHome(); }

std::string GetSettingsFolder() {
  std::string folder = GetAppDataFolder() + "Varnex/Plindar/";
  std::error_code ec;
  if (fs::is_directory(folder, ec) || fs::create_directories(folder, ec))
    return folder;
  return plat::ProgramFolder();
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
// Drive1 = the drive's key, Offset1 = its offset, and so on. An offset out of range is
// dropped on reading, as a damaged entry.
void LoadSaveReadOffsets(TIniFile &ini, bool load, std::map<std::string, int32_t> &offsets) {
  const char *section = "ReadOffsets";
  if (!load) {
    ini.EraseSection(section);
    int n = 0;
    for (const auto &[key, offset] : offsets) {
      ++n;
      ini.WriteString(section, "Drive" + std::to_string(n), key);
      ini.WriteInteger(section, "Offset" + std::to_string(n), offset);
    }
    return;
  }
  offsets.clear();
  for (int n = 1; ini.ValueExists(section, "Drive" + std::to_string(n)); ++n) {
    const std::string key = ini.ReadString(section, "Drive" + std::to_string(n), "");
    const int offset = ini.ReadInteger(section, "Offset" + std::to_string(n), MaxReadOffset + 1);
    if (!key.empty() && ValidReadOffset(offset))
      offsets[key] = offset;
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
  LoadSaveReadOffsets(f.Ini(), Load, o.ReadOffsets);
  if (Load) {
    o.CompressPosition = std::clamp(o.CompressPosition, 30, 100);
    o.FLACCompression = std::clamp(o.FLACCompression, 0, 8);
    o.OpusBitRate = std::clamp(o.OpusBitRate, 32, 256);
    o.StallTime = std::clamp(o.StallTime, MinStallTime, MaxStallTime);
    if (o.TitleSources < TitleSourcesFreedb || o.TitleSources > TitleSourcesBoth)
      o.TitleSources = d.TitleSources;
    // A format this version does not know (a newer one's, or a damaged file) rips to MP3.
    if (o.OutputFormat < 0 || o.OutputFormat > 5)
      o.OutputFormat = d.OutputFormat;
    return true;
  }
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
  switch (GlobalOptions.OutputFormat) {
  case 0: return "MP3";
  case 1: return "WAV";
  case 2: return "OGG";
  case 3: return "WMA";
  case 4: return "FLAC";
  case 5: return "OPUS";
  default: return "";
  }
}

std::string TwoDigits(int n) { return (n <= 9 ? "0" : "") + std::to_string(n); }

std::string GetLanString(const std::string &Key, const std::string &Default) {
  if (plat::SameText(GlobalOptions.Lan, "English"))
    return Default;
  // Read anew on every call: a language chosen from the menu applies to the next message.
  TIniFile ini(LanguageFilePath(GlobalOptions.Lan));
  return ReadLanguageString(ini, "ResourceString", Key, Default);
}
