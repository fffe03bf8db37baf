#pragma once
// CD input: TCDIn delivers the digital audio of a range of tracks of the disc in a chosen
// drive as 16-bit stereo PCM at 44100 Hz, read through the CD ripping library (secure: jitter
// correction and paranoia modes), and answers the drive questions of the program's CD-input
// mode: drives, tracks, track lengths.
//
// Creating a TCDIn loads the library (CDRipLibrary.h); when it cannot be loaded the program
// says so and ends with a non-zero exit status. InitInternal, GetDataInternal and FlushInternal
// run on the pipeline's output thread under the input's lock; the queries run on the
// user-interface thread and never raise. The library has one active drive for the process:
// every call is bracketed by LockDrive/UnlockDrive, which selects CurrentDrive at the outermost
// level, and a read keeps its drive selected until Flush. Tracks count from 1; sectors are
// 2352 bytes, 75 a second.
#include "AccurateRip.h"
#include "AuClasses.h"
#include "CDRipLibrary.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Length and kind of a track.
struct TCDTrackInfo {
  std::uint8_t Minute = 0;
  std::uint8_t Second = 0;
  std::uint8_t Frame = 0;
  std::uint8_t TrackType = 0; // 1 data track, 0 audio track
};

// A place on the disc: a track and an offset into it.
struct TCDPosition {
  std::int32_t Track = 0;
  std::uint8_t Minute = 0;
  std::uint8_t Second = 0;
  std::uint8_t Frame = 0;
};

constexpr std::int32_t CDChunkBytes = 176400; // one second: 75 sectors of 2352 bytes

class TCDIn : public TAuInput {
public:
  explicit TCDIn(TComponent *owner = nullptr);
  ~TCDIn() override;

  // Also takes in disc images registered since the last call.
  std::int32_t DrivesCount();
  std::int32_t CurrentDrive() const { return FCurrentDrive; }
  // Ignored unless 0 <= n < DrivesCount.
  void SetCurrentDrive(std::int32_t n);
  // The library's identification text of the current drive; switches EnableJitterCorrection
  // on (never off) when the drive's parameters have jitter correction on.
  std::string DriveName();
  // -1 when the table of contents cannot be read.
  std::int32_t TracksCount();
  // The disc's own number of the track at position 1 (a disc may start at another number);
  // position n is track FirstTrack() + n - 1. 0 when the table of contents cannot be read.
  std::int32_t FirstTrack();
  // EAuException "Track out of range." unless 1 <= n <= TracksCount.
  TCDTrackInfo GetTrackInfo(std::int32_t n);
  bool MediaPresent();
  std::int32_t StartTrack() const { return FStartTrack; }
  std::int32_t EndTrack() const { return FEndTrack; }
  // Both raise EAuException "The component is busy" during a read.
  void SetStartTrack(std::int32_t n);
  void SetEndTrack(std::int32_t n); // the read ends at the next track's start (or lead-out)
  // While busy the bytes of the read; otherwise (end - start + 1) sectors of 2352 bytes.
  std::int32_t SizeBytes();
  // Jitter errors the library reported when the last read ended.
  std::int32_t JitterErrors() const { return FJitterErrors; }
  // The times the last read gave up on a sector within its retries and delivered it as read
  // (a caller must tell the user); always 0 without jitter correction, which checks nothing. A
  // sector that cannot be read at all raises EAuException "Cannot read the CD at sector n".
  std::int32_t UncorrectedSectors() const { return FUncorrectedSectors; }
  // Ends a read under way at the library's next drive read, as if the range ended there, so a
  // stop never waits for a drive's retries; any thread may call it. The next Init clears it.
  void Abort();
  // The table of contents for the rip verification; no tracks when it cannot be read.
  accuraterip::TDiscToc VerificationToc();
  // The checksums of the audio the last read delivered, computed as it passed, as the sums of
  // its start track (the disc's first and last audio tracks leave out their edges).
  accuraterip::TTrackSums TrackSums() const;

  // Published; set before Init.
  bool EnableJitterCorrection = false;
  std::int32_t MultiReadCount = 0; // 0 = multiple reads off
  bool Paranoid = false;
  std::int32_t ParanoiaMode = 0;
  bool LockTray = false;
  // The drive's read offset in samples (ReadOffset.h), -2000 ... 2000; Init raises
  // EAuException "The read offset is out of range" for any other.
  std::int32_t ReadOffset = 0;

protected:
  std::uint32_t GetBitsPerSample() override { return 16; }
  std::uint32_t GetChannels() override { return 2; }
  std::uint32_t GetSampleRate() override { return 44100; }
  std::uint32_t GetTotalTime() override;
  std::int64_t GetTotalSamples() override;
  void InitInternal() override;
  void FlushInternal() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;

private:
  void LockDrive();
  void UnlockDrive();
  // A fresh checksum for the read's start track.
  void StartChecksum();
  // The sector of a position in the table of contents read last.
  std::int32_t SectorOf(const TCDPosition &position);

  // Queries on the user-interface thread meet a read on the pipeline's thread here.
  std::atomic<std::int32_t> FDriveLock{0};
  std::atomic<std::int32_t> FCurrentDrive{0};
  std::int32_t FStartTrack = 0;
  std::int32_t FEndTrack = 0;
  TCDPosition FStartPos;
  TCDPosition FEndPos;
  std::atomic<std::int32_t> FRipBytes{0}; // asked for by the progress while reading
  std::int32_t ReadSectors = 0;           // 0 = the library's own value, as for the two below
  std::int32_t OverlapSectors = 0;
  std::int32_t CompareSectors = 0;
  std::vector<std::uint8_t> FBuffer;
  std::int32_t FBufferSize = 0;
  std::atomic<std::int32_t> FJitterErrors{0};
  std::atomic<std::int32_t> FUncorrectedSectors{0};
  // The library's abort flag of CR_RipChunk, read by it during a read: only ever touched
  // through std::atomic_ref.
  alignas(std::atomic_ref<std::int32_t>::required_alignment) std::int32_t FAbort = 0;
  mutable std::mutex FSumsLock; // the read's thread adds, the user-interface thread asks
  std::optional<accuraterip::TTrackChecksum> FChecksum;
};
