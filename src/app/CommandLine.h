#pragma once
// The program's command line. (TCommandLine is the encoders' argument vector.)
#include "Convert.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TProgramOptions {
  std::vector<std::string> CDImages; // --cd-image FILE.cue, in the order given
  bool List = false;                 // --list: print the track list instead of showing a window
  std::string DemoDiscFolder;        // --make-demo-disc DIR
  bool Help = false;                 // --help
  bool Version = false;              // --version
  bool Extract = false;              // --extract: rip every track and exit
  int OutputFormat = -1; // the number of the --format word's row (OutputFormats.h); -1 none
  std::string OutputFolder;   // --output DIR
  bool Convert = false;       // --convert IN OUT: convert one file and exit
  TConvertOptions Conversion; // its files, --rate, --channels, --bits, --ima, --quality
  bool Query = false;         // --query: look the titles up before listing or ripping
  std::string CddbServer;     // --cddb-server URL: its host[:port], for this run only
  std::string CddbScript;     // and its path
  int QuerySource = -1;       // --query-source freedb|musicbrainz|both as TitleSources; -1 none
  std::string MusicBrainzUrl; // --musicbrainz-url URL: the service's base, for this run only
  std::string PlayFile;       // --play FILE: play a WAV, Ogg Vorbis, FLAC or Opus file and exit
  bool Secure = false;        // --secure: read the disc with error correction, this run only
  std::optional<int32_t> ReadOffset; // --offset N: the drive's read offset, this run only
  bool DetectOffset = false;         // --detect-offset: find the drive's read offset and exit
  bool StoreOffset = false;          // --store-offset: and store it for the drive
  std::string AccurateRipUrl;      // --accuraterip-url URL: where rips are verified, this run only
  std::vector<std::string> Verify; // --verify PATH...: the rips of one disc to verify and exit
};

// Fills options from the arguments after the program name. False with a message naming the
// offending argument when they cannot be understood.
bool ParseCommandLine(const std::vector<std::string> &args, TProgramOptions &options,
                      std::string &error);

// The text --help prints.
std::string UsageText();
