#pragma once
// The tracks of one disc ripped to files (by any ripper): which files they are, in which order,
// that they hold CD audio, and the table of contents they were ripped from, read from a cue
// sheet beside them or built from their lengths.
//
// Plain C++; the files are only read. Every refusal is a sentence naming the file it is about.
#include "AccurateRip.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TAuFileIn;

struct TRipFile {
  std::string Path;
  std::string Name;     // the file's name, as the report shows it
  uint64_t Samples = 0; // 16-bit stereo samples
};

struct TRipDisc {
  std::vector<TRipFile> Files; // in track order: together the disc's audio from sector 0 on
  accuraterip::TDiscToc Toc;
  std::string CueSheet; // the cue sheet the table of contents came from; "" for the lengths
};

// Gathers the tracks of paths (files, or one folder holding a disc's tracks) into disc. False
// with why in refusal when they are no usable disc: no WAV or FLAC files, a file that is not 16-bit
// stereo 44.1 kHz PCM or not whole CD sectors long, a missing or doubled track number, or a cue
// sheet that does not fit the files.
bool ReadRipDisc(const std::vector<std::string> &paths, TRipDisc &disc, std::string &refusal);

// The reader of a track file, opened and checked to hold CD audio; nullptr with why in refusal.
std::unique_ptr<TAuFileIn> OpenRipFile(const std::string &path, std::string &refusal);

// The table of contents of a cue sheet (its text) whose audio FILE lines name the files, in
// order (by name, any extension: a rip re-encoded from WAV to FLAC keeps its cue sheet). Each
// INDEX counts from the start of its FILE, and each FILE starts where the one before ended; a
// data track's length is its BINARY file's (folder holds it), and "REM SESSION 02" before it
// puts it after the gap between the sessions. False with why when the sheet does not fit.
bool CueSheetToc(const std::string &text, const std::string &folder,
                 const std::vector<TRipFile> &files, accuraterip::TDiscToc &toc,
                 std::string &refusal);

// The table of contents of tracks ripped without a cue sheet: the first at sector 0 (the
// two-second lead-in), each next one where the file before ends, pregaps counted with it.
accuraterip::TDiscToc LengthsToc(const std::vector<TRipFile> &files);
