#pragma once
// The settings of a rip window's pipeline encodings: the Ogg Vorbis quality or managed bit
// rates, the FLAC level and the Opus bit rate of the settings, and the Vorbis comments of the
// track when "Use ID3 tag" is on.
#include <string>

class TVorbisOut;
class TFLACOut;
class TOpusOut;

// The quality the settings ask for: (CompressPosition - 10) / 100 with IsUseCompress, else 0.2.
float OggQuality();
// Quality or managed bit rates (the OggNomalBitRate, OggMaxBitRate and OggMinBitRate
// positions of the options window's lists), and the comments of the track or none.
void SetOggOptions(TVorbisOut &output, const std::string &title, int track);
// The level or bit rate of the settings, and the track's comments when tagged (trackTotal: the
// disc's track count, 0 when unknown).
void SetFLACOptions(TFLACOut &output, bool tagged, const std::string &title, int track,
                    int trackTotal);
void SetOpusOptions(TOpusOut &output, bool tagged, const std::string &title, int track,
                    int trackTotal);
