#pragma once
// Texts of the track list rows and the job entries built from them.
#include <cstdint>
#include <string>

// A track's length as the list shows it: whole minutes and seconds, frames dropped.
struct TTrackLength {
  int Minutes = 0;
  int Seconds = 0;
};

// Length from the minute-second addresses of a track's start and of the next entry (the next
// track or the lead-out). Frames are ignored; a borrow from the minutes keeps seconds in 0..59.
TTrackLength TrackLengthBetween(int startMinutes, int startSeconds, int nextMinutes,
                                int nextSeconds);

// " PE" after the length of an audio track recorded with pre-emphasis (control: the control
// nibble of its TOC entry), else "".
std::string PreEmphasisMark(uint8_t control);

// "MM:SS".
std::string LengthText(const TTrackLength &length);

// Megabytes of CD audio (44100 Hz, 2 channels, 16 bits) with two decimals, "MM.HH"; the
// hundredths are rounded to the nearest, ties to even.
std::string SizeText(const TTrackLength &length);

// Drops the characters a file name cannot hold on the systems the files travel to
// (* / : < > ? \ | and control characters) and keeps every other one.
std::string CleanFileName(const std::string &text);

// A job entry: the disc's number of the track as two digits, then the file title: the cleaned
// title without leading dots (which would hide the file), or "Track" and the two-digit number
// when nothing but blanks is left.
std::string JobEntry(int track, const std::string &title);
