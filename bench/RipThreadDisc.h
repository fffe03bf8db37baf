#pragma once
// The disc the rip benchmarks read, and its rip through the rip thread.
#include "Global.h"
#include "akrip32.h"
#include "ripthread.h"

#include <cstdint>
#include <filesystem>
#include <vector>

// 45000 sectors: 10 minutes in four tracks.
inline const std::vector<uint32_t> DiscTracks = {12000, 9000, 15000, 9000};

// Every track of the drive's disc through the rip thread, one after another, into the output
// folder of the settings.
inline bool RipWithThread(int32_t handle) {
  for (size_t track = 1; track <= DiscTracks.size(); ++track) {
    TCDRipThread thread(static_cast<int>(track), "Track" + TwoDigits(static_cast<int>(track)),
                        RipSettings());
    thread.CDHandle = handle;
    thread.Resume();
  }
  return std::filesystem::file_size(GlobalOptions.OutputFolder + "/Track04.wav") ==
         44 + uint64_t{DiscTracks.back()} * CDSectorSize;
}
