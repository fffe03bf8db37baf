#pragma once
// The "waveaudio" device of the media commands: one WAV file opened as an element, held in
// memory, played to the sound card and recorded into from its input in the file's own format,
// and written back by "save". One device for the whole process. The results are the codes of
// Mci.h.
#include <string>
#include <vector>

namespace plat::waveaudio {

// True when name is the alias or element name of the open device.
bool Owns(const std::string &name);
// "open FILE [type waveaudio] [alias NAME]", the words as given (file names keep their case).
int Open(const std::vector<std::string> &words);
// Any other command on the open device: "close", "set D time format milliseconds", "status D
// length|mode|position", "play D [from MS]", "record D [from MS]" (what is recorded replaces
// the audio from that point on), "stop", "seek D to start|end", "save D [FILE]". Keywords in
// lower case. A capture device that the system takes away ends the recording with what it
// captured: the mode is "stopped" from then on. A record on a machine with no capture device
// answers MciErrWaveInputsUnsuitable. A save that cannot be written whole leaves the file as it
// was.
int Command(const std::vector<std::string> &words, std::string *result);

} // namespace plat::waveaudio
