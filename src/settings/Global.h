#pragma once
// Process-wide settings, message lookup and the routines and types every part shares.
#include "Messages.h"
#include "OutputFormats.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>

class TIniFile;

// Addresses named in messages and menus, kept together.
namespace product {
inline constexpr const char *Name = "Plindar";
inline constexpr const char *Version = "4.5";
inline constexpr const char *HomePage = "https://plindar.org/";
inline constexpr const char *TranslationPage = "https://plindar.org/translations.html";
inline constexpr const char *SupportEmail = "support@plindar.org";
} // namespace product

struct TGlobalOptions {
  std::string OutputFolder;
  int32_t OutputFormat = fmtMP3; // a row's number (OutputFormats.h)
  bool IsKeepWav = false;
  bool IsNormalize = false;
  int32_t NormalizePercent = 95;
  bool EnableRipTime = false;
  int32_t RipTime = 0;
  bool IsSelectVBR = false;
  bool IsVBRHead = false;
  int32_t BitRate = 128;
  int32_t MaxBitRate = 320;
  int32_t MpegQuality = 0;
  int32_t VBRQuality = 4;
  int32_t StereoMode = 1;
  int32_t StallTime = 120; // seconds an encoder process may go without progress
  bool IsUseCompress = true;
  int32_t CompressPosition = 30;
  int32_t OggMaxBitRate = 0;
  int32_t OggNomalBitRate = 0;
  int32_t OggMinBitRate = 0;
  int32_t WMABitRate = 8;
  int32_t FLACCompression = 5; // 0 fastest ... 8 smallest
  int32_t OpusBitRate = 160;   // kbit/s, 32 ... 256
  int32_t CDIndex = -1;
  bool CDDb = false;
  bool SecureRip = false;  // read the disc through the CD ripping library, with error correction
  bool Deemphasis = false; // apply the de-emphasis filter to tracks recorded with pre-emphasis
  bool DetectHiddenTrack = true; // list music in the pregap before track 1 as track 0
  bool SaveMp3 = false;
  std::string Server = "gnudb.gnudb.org"; // a public server that still answers
  std::string Script = "/~cddb/cddb.cgi";
  bool UseProxy = false;
  std::string ProxyAddress;
  std::string Port = "80";
  // Where rips are verified: the AccurateRip database's base URL.
  std::string AccurateRipUrl = "http://www.accuraterip.com/accuraterip";
  bool UseID3 = false;
  std::string Lan = "English";
  // The read offset of each drive in samples (-2000 ... 2000), under the drive's key: vendor
  // and product of a CD drive (drives of one model read alike), the .cue's path of a disc
  // image. A drive without an entry reads with 0.
  std::map<std::string, int32_t> ReadOffsets;
  int32_t TitleSources = 2; // TitleSources... below: where --query looks titles up
  std::string MusicBrainzUrl = "https://musicbrainz.org";
};

// The TitleSources setting: freedb, MusicBrainz, or MusicBrainz first and then freedb when
// MusicBrainz has none.
enum : int32_t { TitleSourcesFreedb = 0, TitleSourcesMusicBrainz = 1, TitleSourcesBoth = 2 };

extern TGlobalOptions GlobalOptions;
// The output folder the command line gives for one run, "" for none. While one is given,
// loading the settings neither looks for nor makes the default music folder.
extern std::string RunOutputFolder;

// The range of StallTime.
constexpr int32_t MinStallTime = 1;
constexpr int32_t MaxStallTime = 3600;

// The per-user application-data folder, with a trailing '/'.
std::string GetAppDataFolder();
// The settings folder, created when missing. When it cannot be made the user is told, and it
// is returned all the same: nothing is then read or saved, and never beside the program.
std::string GetSettingsFolder();

// A settings folder that cannot be made, or a settings file that cannot be read (so nothing is
// saved into it), is told to the user once while it lasts, through this handler: the main
// window shows it in a box. Without one it goes to standard error.
void SetSettingsProblemHandler(std::function<void(const std::string &)> handler);
// True while such a problem has been told and holds: the saves that it makes fail need no
// word of their own.
bool SettingsProblemTold();
// Tells of the file when it could not be read; forgets it once it can be.
void CheckSettingsFile(const TIniFile &file);
// Load = true fills GlobalOptions from options.ini, false writes it. False when a changed
// file could not be written.
bool LoadSaveOptions(bool Load);
// The stored read offset of the drive with that key; 0 when none is stored.
int32_t StoredReadOffset(const std::string &driveKey);
// Stores the read offset of the drive with that key (0 leaves no entry).
void StoreReadOffset(const std::string &driveKey, int32_t offset);
// The Name of OutputFormat's row ("MP3", ...), else "".
std::string GetFormatName();
// n in decimal with a leading "0" when n is 9 or less.
std::string TwoDigits(int n);
// The message of the current language for key, or def.
std::string GetLanString(const std::string &Key, const std::string &Default);

// One progress or end report to a job window, sent as the payload of WM_JOBINFO.
struct TProcessInfo {
  int32_t Code = 0; // 1..100 percent, or an event: 999, 1000, 2000, 3000, 4000, 5000
  std::string Elapsed;
  std::string Estimated;
  int32_t SubCode = 0;
};

constexpr unsigned WM_RIPERROR = WM_USER + 101;
constexpr unsigned WM_JOBINFO = WM_USER + 102;
