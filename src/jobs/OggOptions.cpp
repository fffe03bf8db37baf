#include "OggOptions.h"

#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "Global.h"
#include "OggComments.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace {

// The bit rates of the options window's Ogg lists, by position.
constexpr std::array<TVorbisBitRate, 15> ListedBitRates = {
    brAutoSelect, bitrate45,  bitrate48,  bitrate56,  bitrate64,  bitrate80,  bitrate96, bitrate112,
    bitrate128,   bitrate144, bitrate160, bitrate192, bitrate224, bitrate256, bitrate320};

// A position outside the list (a hand-edited options.ini) leaves the rate automatic.
TVorbisBitRate ListedBitRate(int position) {
  return position >= 0 && position < static_cast<int>(ListedBitRates.size())
             ? ListedBitRates[position]
             : brAutoSelect;
}

void SetComments(TVorbisTags &tags, bool tagged, const std::string &fileTitle, int track,
                 int trackTotal) {
  tags.Clear();
  if (tagged)
    FillTrackComments(tags, fileTitle, track, trackTotal);
}

// The quality the settings ask for: (CompressPosition - 10) / 100 with IsUseCompress, else 0.2.
float OggQuality() {
  return GlobalOptions.IsUseCompress
             ? std::clamp((GlobalOptions.CompressPosition - 10) / 100.0f, -0.1f, 1.0f)
             : 0.2f;
}

} // namespace

std::string OggEncoderText() {
  // Read back from an output set up as the rips are, so the log names what they use.
  TVorbisOut output;
  SetOggOptions(output, false, "", 0, 0);
  if (output.DesiredNominalBitrate() == brAutoSelect) {
    char quality[16];
    std::snprintf(quality, sizeof quality, "%.2f", output.Compression());
    return std::string("libvorbis, quality ") + quality;
  }
  std::string text = "libvorbis";
  for (const auto &[name, rate] : {std::pair{"nominal", output.DesiredNominalBitrate()},
                                   std::pair{"minimum", output.MinimumBitrate()},
                                   std::pair{"maximum", output.DesiredMaximumBitrate()}})
    if (rate != brAutoSelect)
      text += std::string(", ") + name + " " + std::to_string(VorbisBitsPerSecond(rate) / 1000) +
              " kbit/s";
  return text;
}

void SetOggOptions(TVorbisOut &output, bool tagged, const std::string &fileTitle, int track,
                   int trackTotal) {
  const bool managed = !GlobalOptions.IsUseCompress;
  output.SetCompression(OggQuality());
  // The nominal rate first: it pulls the others to it, and they may only widen around it.
  output.SetDesiredNominalBitrate(managed ? ListedBitRate(GlobalOptions.OggNomalBitRate)
                                          : brAutoSelect);
  output.SetDesiredMaximumBitrate(managed ? ListedBitRate(GlobalOptions.OggMaxBitRate)
                                          : brAutoSelect);
  output.SetMinimumBitrate(managed ? ListedBitRate(GlobalOptions.OggMinBitRate) : brAutoSelect);
  SetComments(output.Comments(), tagged, fileTitle, track, trackTotal);
}

void SetFLACOptions(TFLACOut &output, bool tagged, const std::string &fileTitle, int track,
                    int trackTotal) {
  output.SetCompressionLevel(GlobalOptions.FLACCompression);
  SetComments(output.Comments(), tagged, fileTitle, track, trackTotal);
}

void SetOpusOptions(TOpusOut &output, bool tagged, const std::string &fileTitle, int track,
                    int trackTotal) {
  output.SetBitRate(GlobalOptions.OpusBitRate);
  SetComments(output.Comments(), tagged, fileTitle, track, trackTotal);
}
