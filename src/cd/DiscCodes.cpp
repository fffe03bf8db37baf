#include "DiscCodes.h"

#include "akrip32.h"

#include <cdio/mmc.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

// Takes libcdio's malloc'd answer.
std::string Taken(char *text) {
  const std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
  return text ? std::string(text) : std::string();
}

bool Digit(char c) { return c >= '0' && c <= '9'; }
bool Upper(char c) { return c >= 'A' && c <= 'Z'; }
bool UpperOrDigit(char c) { return Upper(c) || Digit(c); }

bool AllOf(const std::string &text, size_t from, size_t to, bool (*is)(char)) {
  return std::all_of(text.begin() + from, text.begin() + to, is);
}

bool IsImage(CdIo_t *cdio) {
  const driver_id_t driver = cdio_get_driver_id(cdio);
  return driver == DRIVER_BINCUE || driver == DRIVER_CDRDAO || driver == DRIVER_NRG;
}

} // namespace

std::string TDiscCodes::IsrcOf(int track) const {
  const int at = track - FirstTrack;
  return at >= 0 && at < static_cast<int>(Isrc.size()) ? Isrc[at] : "";
}

bool TDiscCodes::PreEmphasisOf(int track) const {
  // The hidden track before track 1 is track 1's pregap on the disc: track 1's flags hold.
  const int at = (track == 0 ? 1 : track) - FirstTrack;
  return at >= 0 && at < static_cast<int>(PreEmphasis.size()) && PreEmphasis[at];
}

bool ValidCatalog(const std::string &text) {
  return text.size() == 13 && AllOf(text, 0, 13, Digit) && text != std::string(13, '0');
}

bool ValidIsrc(const std::string &text) {
  return text.size() == 12 && AllOf(text, 0, 2, Upper) && AllOf(text, 2, 5, UpperOrDigit) &&
         AllOf(text, 5, 12, Digit);
}

TDiscCodes ReadDiscCodes(CdIo_t *cdio, const TDiscLayout &disc) {
  TDiscCodes codes;
  codes.FirstTrack = disc.FirstTrack;
  // A drive reads these from the Q sub-channel with READ SUB-CHANNEL; an image has them as
  // text.
  const bool image = IsImage(cdio);
  const std::string catalog = Taken(image ? cdio_get_mcn(cdio) : mmc_get_mcn(cdio));
  codes.Catalog = ValidCatalog(catalog) ? catalog : "";
  for (size_t i = 0; i < disc.Tracks.size(); ++i) {
    if (disc.Tracks[i].Control & TocControlData) {
      codes.Isrc.emplace_back();
    } else {
      const auto track = static_cast<track_t>(disc.FirstTrack + i);
      const std::string isrc =
          Taken(image ? cdio_get_track_isrc(cdio, track) : mmc_get_track_isrc(cdio, track));
      codes.Isrc.push_back(ValidIsrc(isrc) ? isrc : "");
    }
    codes.PreEmphasis.push_back(
        (disc.Tracks[i].Control & (TocControlData | TocControlPreEmphasis)) ==
        TocControlPreEmphasis);
  }
  return codes;
}
