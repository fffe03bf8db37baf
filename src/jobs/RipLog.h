#pragma once
// The rip log of one Extract job: how the disc was read and encoded, the disc's ids, the table of
// contents, each track's title and where it came from, its file, peak level, checksums, read and
// encoder results, the AccurateRip verdicts once the disc was looked up, and how the job ended:
// the tracks made and failed, or where it was stopped. The log is UTF-8 text written next to the
// job's files.
#include "AccurateRip.h"
#include "DiscCodes.h"
#include "Messages.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TRipLogTrack {
  int Track = 0; // the disc's own number of the track
  std::string Title;
  std::string TitleSource; // "freedb", "MusicBrainz", "CD-Text", "title cache", "typed"; "" none
  std::string File;        // the output file made; "" when none
  bool Ended = false;      // the job is done with the track: its file was made, or it failed
  bool Whole = false;      // the whole track was read, so its checksums can be verified
  accuraterip::TTrackSums Sums;
  std::string ReadResult = "Not read";
  std::string EncoderResult;
  accuraterip::TTrackVerdict Verdict; // NotVerified until Verify
  std::string Isrc = "";              // "" when the disc gives none
  bool PreEmphasis = false;           // recorded with pre-emphasis
  bool Deemphasized = false;          // and the de-emphasis filter was applied to the file
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
  std::string MusicBrainzId;        // "" when the table of contents gives none
  std::string Catalog;              // the disc's catalogue number (MCN); "" none
  std::vector<TRipLogTrack> Tracks; // one per job entry, in job order
  accuraterip::TLookup Lookup = accuraterip::TLookup::Failed;
  std::string LookupWhy = "not looked up";
  bool Stopped = false;

  // Looks the disc up in the database at baseUrl and gives each whole track its verdict.
  // Blocks for up to the lookup's time-out.
  void Verify(const std::string &baseUrl);
  // The job was stopped: the track in progress is marked so, and nothing is verified.
  void MarkStopped();
  // The AccurateRip verdict of the disc: all accurate, N of M, not in the database, or not
  // verified and why; in English, as the log says it, or in the words given, as a window shows it.
  std::string Summary(const accuraterip::TWording &wording = {}) const;
  // The closing line: whether the job is done or was stopped, the tracks made and failed, and
  // the Summary.
  std::string Outcome(const accuraterip::TWording &wording = {}) const;
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
// Verifies a copy of the log on a thread of its own (the lookup may take its whole time-out),
// then posts JobVerified to window; a window gone by then misses nothing it still needs. The
// copy is returned: read it only once JobVerified has arrived. The log itself stays the caller's,
// so a job stopped meanwhile can still write it.
std::shared_ptr<const TRipLog> VerifyLater(const TRipLog &log, const std::string &baseUrl,
                                           TWindowHandle window);

// The log of a rip job over entries (track number and title, as job entries read), with the
// date, the settings of the rip and the disc information of now: each track's title and its
// source as DiscInfo holds them, else the entry's title.
std::shared_ptr<TRipLog> NewRipLog(const std::vector<std::string> &entries,
                                   const std::string &readMode, const std::string &drive);
// The disc's codes go into the log (catalogue number, each track's ISRC and pre-emphasis flag,
// and whether the settings de-emphasise it) and the ISRCs into the tags, through DiscInfo.
void UseDiscCodes(TRipLog &log, const TDiscCodes &codes);

// The read result of a raw rip's end sub-code. A raw read cannot see read errors: a whole read
// claims none.
std::string ReadResultText(int32_t ripResult);

// The encoder and its settings for a rip to format (an OutputFormat value), as the log shows
// them.
std::string EncoderSettings(int format);
