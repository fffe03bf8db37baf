#pragma once
// De-emphasis of a ripped track's WAV file, for a track recorded with pre-emphasis when the
// settings ask for it: the audio goes through the de-emphasis step of the pipeline.
#include <string>

// Replaces the audio of a CD WAV file (44100 Hz, 16-bit) with its de-emphasised copy, in one
// rename; on any failure the file stays as it was and the result is false.
bool DeemphasizeWav(const std::string &fileName);
