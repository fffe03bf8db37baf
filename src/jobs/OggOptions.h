#pragma once
// The settings of a rip window's pipeline encodings, one rule for both windows: the Ogg Vorbis
// quality or managed bit rates, the FLAC level and the Opus bit rate of the settings, and the
// Vorbis comments of the track when tagged (OggComments.h).
#include <string>

class TVorbisOut;
class TFLACOut;
class TOpusOut;

// How the settings encode Ogg Vorbis, for the rip log: "libvorbis, quality 0.20", or the
// managed rates ("libvorbis, nominal 128 kbit/s, minimum 45 kbit/s, maximum 192 kbit/s",
// those left automatic unnamed).
std::string OggEncoderText();
// Each sets the quality, level or bit rate of the settings, and the comments of the track when
// tagged, else none (fileTitle: the title of the track's file; trackTotal: the disc's track
// count, 0 when unknown).
// Ogg: the quality, or with IsUseCompress off the managed bit rates (the OggNomalBitRate,
// OggMaxBitRate and OggMinBitRate positions of the options window's lists).
void SetOggOptions(TVorbisOut &output, bool tagged, const std::string &fileTitle, int track,
                   int trackTotal);
void SetFLACOptions(TFLACOut &output, bool tagged, const std::string &fileTitle, int track,
                    int trackTotal);
void SetOpusOptions(TOpusOut &output, bool tagged, const std::string &fileTitle, int track,
                    int trackTotal);
