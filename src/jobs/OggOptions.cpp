#include "OggOptions.h"

#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "Global.h"
#include "OggComments.h"

#include <algorithm>
#include <array>

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

} // namespace

float OggQuality() {
  return GlobalOptions.IsUseCompress
             ? std::clamp((GlobalOptions.CompressPosition - 10) / 100.0f, -0.1f, 1.0f)
             : 0.2f;
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
