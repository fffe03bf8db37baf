#pragma once
// A track's checksums summed on a thread of their own beside the thread that reads the track:
// with a second core free, verifying then costs a rip nothing but the hand-over.
#include "AccurateRip.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace accuraterip {

class TChecksumThread {
public:
  explicit TChecksumThread(TTrackChecksum checksum);
  ~TChecksumThread();
  TChecksumThread(const TChecksumThread &) = delete;
  TChecksumThread &operator=(const TChecksumThread &) = delete;

  // Hands the next bytes of the track over once those handed over before are summed. They
  // must stay as they are until the next Add or Sums.
  void Add(const uint8_t *data, std::size_t bytes);
  // The sums of everything handed over, once it is summed.
  TTrackSums Sums();

private:
  void Run();
  void WaitIdle(std::unique_lock<std::mutex> &lock);

  TTrackChecksum FChecksum;
  std::mutex FLock;
  std::condition_variable FChanged;
  const uint8_t *FData = nullptr; // the bytes handed over and not yet summed, when not null
  std::size_t FBytes = 0;
  bool FQuit = false;
  std::thread FThread; // not started when the system has no thread to give: then Add sums
};

} // namespace accuraterip
