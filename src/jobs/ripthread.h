#pragma once
// The worker that reads one audio track from the CD drive library into a WAV file, and
// reports its progress and end to a job window with WM_JOBINFO messages.
#include "CDWav.h"
#include "ChecksumThread.h"
#include "Messages.h"
#include "akrip32.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class TStream;
struct TToc;

// Sub-codes of the end-of-track message.
enum TRipResult : int32_t {
  ripDone = 0,
  ripReadFailed = 3,   // a sector could not be read, or the volume step failed
  ripCannotCreate = 5, // the WAV file cannot be created
  ripWriteFailed = 6,  // the WAV file could not be written in full (a full disk)
  ripFileInUse = 7,    // another job is ripping the same WAV file
  ripDataTrack = 8,    // the track holds data, not audio: nothing is read
};

// Event codes of WM_JOBINFO besides progress.
constexpr int32_t JobNormalizing = 999; // the volume step begins
constexpr int32_t JobRipEnded = 1000;   // SubCode: a TRipResult

// Arguments of WM_RIPERROR.
constexpr std::intptr_t RipErrorMsf = 1; // the drive cannot be switched to MSF addresses
constexpr std::intptr_t RipErrorToc = 2; // the table of contents cannot be read
// The WAV file is in use. Job windows understand it; this thread reports a WAV another job
// is ripping as the end of the track with sub-code 7 instead.
constexpr std::intptr_t RipErrorFileInUse = 3;

constexpr std::uint32_t RipBlockSectors = 10;
// Blocks are gathered into writes of about this size: a write a block costs the page cache
// more than the copy itself, and each write wakes the checksum thread, which costs the reader
// more than the summing would at half a megabyte.
constexpr std::size_t RipWriteBytes = 1 << 22;

// What a rip thread takes from the settings, handed to it when it is created.
struct TRipSettings {
  std::string OutputFolder; // with or without the trailing '/'
  int RipSeconds = -1;      // the most seconds of each track ripped; -1 the whole track
  bool Normalize = false;   // scale the volume by NormalizePercent
  int NormalizePercent = 95;
  bool Deemphasis = false; // undo the pre-emphasis of the tracks flagged with it
};
// The rip settings of GlobalOptions, read now.
TRipSettings RipSettings();

class TCDRipThread {
public:
  // Created suspended: set CDHandle and NotifyWindow, then Resume().
  TCDRipThread(int trackNo, const std::string &fileTitle, const TRipSettings &settings);
  // Waits until the body has returned.
  virtual ~TCDRipThread();
  TCDRipThread(const TCDRipThread &) = delete;
  TCDRipThread &operator=(const TCDRipThread &) = delete;

  void Resume();
  // Returns once the body has returned (at once when it never started).
  void WaitFor();
  // Output folder + title + ".wav".
  std::string WavFileName() const;
  // After the end message: the checksums of the audio read, and whether that was the whole
  // track (not cut by the rip length or a failed read), so they can be verified.
  accuraterip::TTrackSums Sums() const { return FSums; }
  bool WholeTrack() const { return FWholeTrack; }

  const int TrackNo; // the disc's own number of the track (a disc may start at another than 1)
  const std::string FileTitle;
  const TRipSettings Settings;
  int32_t CDHandle = 0;
  TWindowHandle NotifyWindow = 0;
  std::atomic<bool> StopRequested{false}; // set by the job window, read after every block

  // Scales every 16-bit sample after the header by percent / 100, reporting 999 and progress
  // to window. The scaled copy replaces the file in one rename; on any failure the file stays
  // as it was and the result is false.
  static bool ScaleVolume(const std::string &fileName, int percent, TWindowHandle window);

protected:
  // Reads count sectors (a block: at most RipBlockSectors) from start and adds them to the
  // file's gathered writes: ripDone, ripReadFailed or ripWriteFailed. A subclass that
  // overrides it calls WaitFor in its destructor.
  virtual TRipResult ReadSectors(uint32_t start, uint32_t count);

private:
  void Execute();
  // Appends the gathered blocks to the file: ripDone or ripWriteFailed.
  TRipResult WritePending();
  // The end-of-track sub-code, or -1 when stopped (which sends no end message).
  int32_t RipTrack(uint32_t start, uint32_t length);

  std::unique_ptr<TStream> OutStream;
  // Blocks read but not yet written, each buffer room for a whole write and one block more:
  // one fills while the checksums run over the other.
  std::unique_ptr<std::uint8_t[]> FPending[2] = {
      std::make_unique_for_overwrite<std::uint8_t[]>(RipWriteBytes +
                                                     RipBlockSectors * CDSectorSize),
      std::make_unique_for_overwrite<std::uint8_t[]>(RipWriteBytes +
                                                     RipBlockSectors * CDSectorSize)};
  int FFilling = 0;
  std::size_t FPendingBytes = 0;
  std::optional<accuraterip::TChecksumThread> FChecksum; // fed each write as it is made
  accuraterip::TTrackSums FSums;
  bool FWholeTrack = false;
  bool FDeemphasize = false; // recorded with pre-emphasis, and the settings undo it
  std::thread FThread;
};

// The first sector and the sector count of track trackNo (the disc's own number) of a table of
// contents with MSF addresses; false when there is no such track. Track 0 is the pregap before
// a track 1 that starts past sector 0 (HiddenTrack.h tells whether it holds music).
bool TrackSectors(const TToc &toc, int trackNo, uint32_t &start, uint32_t &length);
