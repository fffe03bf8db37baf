#pragma once
// The demo disc: a BIN/CUE image of a few short synthesized pieces, so every feature can be
// tried without a CD.
#include <array>
#include <string>

// Length of each track in seconds; the second starts and ends in silence.
inline constexpr std::array<int, 5> DemoTrackSeconds = {60, 25, 41, 33, 52};

// Writes PlindarDemo.bin and PlindarDemo.cue into dir (created when missing) and returns the
// path of the .cue. The audio is the same on every run. Throws std::runtime_error naming the
// file that cannot be written.
std::string MakeDemoDisc(const std::string &dir);
