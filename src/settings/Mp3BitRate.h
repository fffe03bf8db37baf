#pragma once
// The bit rates an MP3 is encoded at, and how a bit-rate text of the settings reads. They are
// MPEG-1 Layer III's, the ones lame takes for audio at 32 kHz and above: every rip and, after
// the resampling of slower files, every WAV file the program encodes.
#include <array>
#include <string>

// In kbit/s, ascending, as the options window lists them.
inline constexpr std::array<int, 14> Mpeg1Layer3BitRates = {32,  40,  48,  56,  64,  80,  96,
                                                            112, 128, 160, 192, 224, 256, 320};

bool IsMp3BitRate(int kbps);
// The number a bit-rate text starts with, after blanks ("  64", "128 kbit/s", "-5"); whatever
// follows it is ignored. Otherwise std::invalid_argument with the conversion error message
// "'text' is not a valid integer value".
int LeadingNumber(const std::string &text);
