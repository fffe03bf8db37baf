#pragma once
// The command line of the WMA encoder:
//   WM8EUTIL -input FILE -output FILE -a_setting KBITS_KHZ_CHANNELS [-author TEXT]
//            [-description TEXT]
#include <string>
#include <vector>

struct TWmaJob {
  std::string Input, Output, Author, Description;
  int BitRate = 0;    // bit/s
  int SampleRate = 0; // Hz
  int Channels = 0;
};

// The lowest bit rate the wmav2 encoder can make, in kbit/s.
constexpr int LowestWmaKbits = 24;

// Throws std::runtime_error with the reason when the arguments or the profile are not usable.
TWmaJob ParseWmaArguments(const std::vector<std::string> &arguments);
