#pragma once
// The rip log of one Extract job: how the disc was read and encoded, the table of contents, each
// track's file, peak level, checksums, read and encoder results, and the AccurateRip verdicts
// once the disc was looked up. The log is UTF-8 text written next to the job's files.
#include "AccurateRip.h"
#include "Messages.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TRipLogTrack {
  int Track = 0;      // on the disc, from 1
  std::string File;   // the output file made; "" when none
  bool Whole = false; // the whole track was read, so its checksums can be verified
  accuraterip::TTrackSums Sums;
  std::string ReadResult = "Not read";
  std::string EncoderResult;
  accuraterip::TTrackVerdict Verdict; // NotVerified until Verify
};

struct TRipLog {
  std::string Date; // local time of the rip
  // When the job began: a log under this log's name written since then is another job's.
  std::filesystem::file_time_type Begun = std::filesystem::file_time_type::clock::now();
  std::string Drive; // vendor and product, or the disc image
  std::string ReadMode;
  int ReadOffset = 0; // samples
  std::string Format, EncoderSettings;
  std::string Artist, Album;
  accuraterip::TDiscToc Toc;
  std::vector<TRipLogTrack> Tracks; // one per job entry, in job order
  accuraterip::TLookup Lookup = accuraterip::TLookup::Failed;
  std::string LookupWhy = "not looked up";

  // Looks the disc up in the database at baseUrl and gives each whole track its verdict.
  // Blocks for up to the lookup's time-out.
  void Verify(const std::string &baseUrl);
  // The closing line: all accurate, N of M, not in the database, or not verified and why; in
  // English, as the log says it, and in the chosen language, as a window shows it.
  std::string Summary() const;
  std::string ShownSummary() const;
  std::string Text() const;
};

// "<Artist> - <Album>.log" with what a file name cannot hold replaced, or "Rip.log" without
// disc information.
std::string RipLogName(const std::string &artist, const std::string &album);
// Writes the log into folder (ending in '/') under its name, replacing a log of an earlier job
// there; where another job running beside this one has written its log under that name since,
// this one becomes "<name> (2).log" (or the next number free). The path, or "" when it cannot be
// written (no half-written log is left).
std::string WriteRipLog(const TRipLog &log, const std::string &folder);
// WriteRipLog, telling showError which file could not be written.
std::string WriteRipLogOrSay(const TRipLog &log, const std::string &folder,
                             const std::function<void(const std::string &)> &showError);
// The date and time now, local, as the log shows it.
std::string RipLogDate();

// The WM_JOBINFO code that tells a job window its log was verified.
constexpr int32_t JobVerified = 6000;
// Verifies the log on a thread of its own (the lookup may take its whole time-out), then posts
// JobVerified to window; a window gone by then misses nothing it still needs.
void VerifyLater(std::shared_ptr<TRipLog> log, const std::string &baseUrl, TWindowHandle window);

// The log of a rip job over entries (track number and title, as job entries read), with the
// date, the settings of the rip and the disc information of now.
std::shared_ptr<TRipLog> NewRipLog(const std::vector<std::string> &entries,
                                   const std::string &readMode, const std::string &drive);
// The read result of a raw rip's end sub-code.
std::string ReadResultText(int32_t ripResult);

// The encoder and its settings for a rip to format (an OutputFormat value), as the log shows
// them.
std::string EncoderSettings(int format);
