#pragma once
// The sound path shared by the players: an input → TStereoBalance → TDXAudioOut on the
// system's default device, and the headless player of the command line built on it. Plain
// C++: the headless player pumps the pipeline's events on the calling thread, so it needs no
// display.
#include <atomic>
#include <iosfwd>
#include <string>

class TAuInput;
class TDXAudioOut;
class TStereoBalance;

// Chains input → balance → output with the players' settings: device 0, latency 80 ms,
// polling every 200 ms, 65536 frames in the buffer, read-ahead on, normal speed; the balance
// stays as it is.
void ConnectPlayer(TAuInput &input, TStereoBalance &balance, TDXAudioOut &output);

// Plays a WAV, Ogg Vorbis, FLAC or Opus file to its end. With showPosition, the position and the
// length ("\r0:05 / 3:07") are written to err as it plays. 0 at the end of the whole file; 1,
// with the reason written to err, when the file cannot be played, the sound device fails, the
// file is cut short (what it holds is played first), or stop is set (then within a moment).
int PlayFile(const std::string &file, std::ostream &err, bool showPosition,
             const std::atomic<bool> *stop = nullptr);
