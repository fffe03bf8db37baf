#pragma once
// The Ogg Vorbis settings of a rip window's encoding: the quality or the managed bit rates of
// the settings, and the Vorbis comments of the track when "Use ID3 tag" is on.
#include <string>

class TVorbisOut;

// The quality the settings ask for: (CompressPosition - 10) / 100 with IsUseCompress, else 0.2.
float OggQuality();
// Quality or managed bit rates (the OggNomalBitRate, OggMaxBitRate and OggMinBitRate
// positions of the options window's lists), and the comments of the track or none.
void SetOggOptions(TVorbisOut &output, const std::string &title, int track);
