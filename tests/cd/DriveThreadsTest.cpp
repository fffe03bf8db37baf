// A rip thread reading a drive while the user-interface thread uses the same library.
#include "FirstDrive.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(DriveThreads, ReadsStayExactWhileOtherOperationsRunOnTheSameDrive) {
  TTempDir dir;
  const std::string cue = WriteAudioDisc(dir.Path(), "Busy", {400, 333});
  TImageDrives drives({cue});
  const std::vector<uint8_t> bin = ReadFileBytes(BinOf(cue));
  const int32_t handle = OpenFirstDrive();
  ASSERT_NE(handle, 0);

  std::atomic<int> wrongBlocks{0}, failedReads{0};
  std::thread rip([&] {
    for (int pass = 0; pass < 3; ++pass)
      for (uint32_t start = 0; start < 733; start += 10) {
        const uint32_t n = std::min(10u, 733 - start);
        TReadBuffer buffer(start, n);
        if (ReadCDAudioLBA(handle, buffer.Request()) != 1) {
          ++failedReads;
          continue;
        }
        if (!std::equal(buffer.Data(), buffer.Data() + n * CDSectorSize,
                        bin.begin() + start * CDSectorSize))
          ++wrongBlocks;
      }
  });
  int tocsRead = 0;
  for (int i = 0; i < 50; ++i) {
    TToc toc;
    ModifyCDParms(handle, CDParmMsfAddresses, i % 2);
    tocsRead += ReadTOC(handle, &toc);
    EXPECT_FALSE(DriveDiscID().empty());
  }
  rip.join();
  EXPECT_EQ(tocsRead, 50);
  EXPECT_EQ(failedReads, 0);
  EXPECT_EQ(wrongBlocks, 0);
  CloseCDHandle(handle);
}

TEST(DriveThreads, ClosingAHandleDuringReadsEndsThemWithFailures) {
  TTempDir dir;
  TImageDrives drives({WriteAudioDisc(dir.Path(), "Closing", {2000})});
  const int32_t handle = OpenFirstDrive();
  std::atomic<bool> started{false};
  std::atomic<int> readsAfterClose{0};
  std::atomic<bool> closed{false};
  std::thread rip([&] {
    for (uint32_t start = 0; start + 10 <= 2000; start += 10) {
      TReadBuffer buffer(start, 10);
      const int32_t result = ReadCDAudioLBA(handle, buffer.Request());
      started = true;
      if (result != 1)
        return;
      if (closed)
        ++readsAfterClose; // a read may finish that began before the close, not later ones
    }
  });
  while (!started)
    std::this_thread::yield();
  EXPECT_NE(CloseCDHandle(handle), 0);
  closed = true;
  rip.join();
  EXPECT_LE(readsAfterClose, 1);
}

} // namespace
