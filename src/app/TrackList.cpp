#include "TrackList.h"

#include "Global.h"
#include "akrip32.h"

#include <cmath>
#include <string_view>

TTrackLength TrackLengthBetween(int startMinutes, int startSeconds, int nextMinutes,
                                int nextSeconds) {
  TTrackLength length{nextMinutes - startMinutes, nextSeconds - startSeconds};
  if (length.Seconds < 0) {
    length.Seconds += 60;
    --length.Minutes;
  }
  return length;
}

std::string PreEmphasisMark(uint8_t control) {
  return (control & (TocControlData | TocControlPreEmphasis)) == TocControlPreEmphasis ? " PE" : "";
}

std::string LengthText(const TTrackLength &length) {
  return TwoDigits(length.Minutes) + ":" + TwoDigits(length.Seconds);
}

std::string SizeText(const TTrackLength &length) {
  constexpr double BytesPerSecond = 44100 * 2 * 2;
  double bytes = (length.Minutes * 60.0 + length.Seconds) * BytesPerSecond;
  // nearbyint rounds ties to the even neighbour under the default rounding mode.
  long long r = static_cast<long long>(std::nearbyint(bytes / 1048576.0 * 100.0));
  return TwoDigits(static_cast<int>(r / 100)) + "." + TwoDigits(static_cast<int>(r % 100));
}

std::string CleanFileName(const std::string &text) {
  constexpr std::string_view Forbidden = "*/:<>?\\|";
  std::string clean;
  clean.reserve(text.size());
  for (char c : text)
    if (Forbidden.find(c) == std::string_view::npos && static_cast<unsigned char>(c) >= 0x20 &&
        c != 0x7F)
      clean += c;
  return clean;
}

std::string JobEntry(int track, const std::string &title) {
  std::string clean = CleanFileName(title);
  // A leading dot would hide the file, and a title of nothing but blanks leaves it no name.
  clean.erase(0, clean.find_first_not_of('.'));
  if (clean.find_first_not_of(' ') == std::string::npos)
    clean = "Track" + TwoDigits(track);
  return TwoDigits(track) + clean;
}
