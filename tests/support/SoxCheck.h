#pragma once
// Reading a sound file back through sox, for tests that check what the pipeline made: what
// soxi says of it, its first channel as 16-bit samples, and the pitch and level of a tone.
#include <cstdint>
#include <string>
#include <vector>

// What soxi says of a file, e.g. "-r" for its rate, without the line end.
std::string Soxi(const std::string &option, const std::string &file);

// The first channel of a file as sox decodes it to 16-bit samples; scratch is a file name the
// raw samples may pass through.
std::vector<std::int16_t> FirstChannel(const std::string &file, const std::string &scratch);

// Zero crossings a second and RMS level of samples [from, to) at rate.
struct TTone {
  double Crossings;
  double Rms;
};
TTone Measure(const std::vector<std::int16_t> &s, std::size_t from, std::size_t to, double rate);
