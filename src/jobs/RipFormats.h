#pragma once
// What follows the rip of each track, by the OutputFormat setting, and how the job entries
// the main window hands to a rip window read: the disc's number of the track as two digits,
// then the file title. Also what both rip windows say when a rip fails.
#include "OutputFormats.h"

#include <cstdint>
#include <functional>
#include <string>

// The format of the setting; for a value outside the list the rip keeps the WAV files.
TFormat RipOutput();
// The extension of the file encoded from each rip; none when the WAV is the output.
const char *EncodedExtension(TFormat format);
// The track number of a job entry: its first two characters; 0 when they are not digits.
int TrackOfEntry(const std::string &entry);
// The file title of a job entry: what follows the track number.
std::string TitleOfEntry(const std::string &entry);

// "" when file's folder can be written, else that file cannot be made there and why.
std::string FolderNotWritableText(const std::string &file);
// Why file could not be made or named: its folder cannot be written, or it is in use.
std::string CannotMakeText(const std::string &file);
// What a rip window says when the rip of a track ended with ripResult (a sub-code of the rip
// thread) for the track's WAV file wav; "" for one that needs no message.
std::string RipFailureText(const std::string &wav, int32_t ripResult);
// Whether the output folder is gone, when nothing more can be made: endJob is then called with
// the one message the job ends with.
bool OutputFolderGone(const std::function<void(const std::string &message)> &endJob);
