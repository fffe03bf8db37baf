#pragma once
// The output formats of a rip, one row each: every fact of a format that is not its codec. The
// pipeline's reader and writer of each row are in the audio layer (FormatCodecs.h), keyed by
// the same number; that list is checked at compile time against this one.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

// A row's number: the OutputFormat value options.ini stores, and the row's position in the
// options window's list. Numbers are stored in files, so a row never changes its number.
enum TFormat { fmtMP3 = 0, fmtWAV = 1, fmtOGG = 2, fmtWMA = 3, fmtFLAC = 4, fmtOpus = 5 };

// What turns a ripped track's WAV file into the format's file.
enum class TEncoderKind : std::uint8_t {
  None,       // nothing: the WAV file is the output
  Mp3Process, // the lame process
  WmaProcess, // the WM8EUTIL process
  Pipeline,   // the format's writer in the audio pipeline
};

struct TOutputFormat {
  TFormat Number;
  const char *Name;      // the rip window's format label and the rip log's format
  const char *Word;      // the value of --format
  const char *Extension; // of the format's files, lower case
  // The options window's list entry; language files translate it as cbOutputFormat_Item<Number>.
  const char *Caption;
  TEncoderKind Encoder;
};

inline constexpr TOutputFormat OutputFormats[] = {
    {fmtMP3, "MP3", "mp3", ".mp3", "MP3 file(*.MP3)", TEncoderKind::Mp3Process},
    {fmtWAV, "WAV", "wav", ".wav", "WAV file(*.WAV)", TEncoderKind::None},
    {fmtOGG, "OGG", "ogg", ".ogg", "OGG file(*.OGG)", TEncoderKind::Pipeline},
    {fmtWMA, "WMA", "wma", ".wma", "WMA file(*.WMA)", TEncoderKind::WmaProcess},
    {fmtFLAC, "FLAC", "flac", ".flac", "FLAC file(*.FLAC)", TEncoderKind::Pipeline},
    {fmtOpus, "OPUS", "opus", ".opus", "Opus file(*.OPUS)", TEncoderKind::Pipeline},
};

inline constexpr std::size_t OutputFormatCount = std::size(OutputFormats);

static_assert(
    [] {
      for (std::size_t i = 0; i < OutputFormatCount; ++i)
        if (OutputFormats[i].Number != static_cast<TFormat>(i))
          return false;
      return true;
    }(),
    "each row sits at its own number");

constexpr const TOutputFormat &OutputFormatOf(TFormat format) { return OutputFormats[format]; }

// The row of an OutputFormat value; null for a number no row has.
constexpr const TOutputFormat *FormatOfNumber(std::int64_t number) {
  return number >= 0 && static_cast<std::uint64_t>(number) < OutputFormatCount
             ? &OutputFormats[number]
             : nullptr;
}

// The row whose --format word is word, exactly; null for none.
constexpr const TOutputFormat *FormatOfWord(std::string_view word) {
  for (const TOutputFormat &format : OutputFormats)
    if (word == format.Word)
      return &format;
  return nullptr;
}

// The row whose extension is extension (lower case, with its dot); null for none.
constexpr const TOutputFormat *FormatOfExtension(std::string_view extension) {
  for (const TOutputFormat &format : OutputFormats)
    if (extension == format.Extension)
      return &format;
  return nullptr;
}

// One field of the rows that take holds for (all rows without take), in the table's order, as
// "a, b or c" with between = ", " and last = " or ", or "a|b|c" with both "|".
inline std::string ListOfFormats(const char *TOutputFormat::*field, std::string_view between,
                                 std::string_view last,
                                 bool (*take)(const TOutputFormat &) = nullptr) {
  std::string list, pending;
  for (const TOutputFormat &format : OutputFormats) {
    if (take && !take(format))
      continue;
    if (!pending.empty())
      list += (list.empty() ? "" : std::string(between)) + pending;
    pending = format.*field;
  }
  return list.empty() ? pending : list + std::string(last) + pending;
}
