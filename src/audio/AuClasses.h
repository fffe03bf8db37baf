#pragma once
// The audio pipeline's three roles and their file-based kinds.
//
// An input produces interleaved little-endian PCM on demand (8-bit unsigned, 16/24/32-bit
// signed); a converter is an input that pulls from another input; an output owns a worker
// thread that pulls block after block from its input and writes it somewhere. The output
// alone drives a chain; progress, completion and errors reach the user-interface thread
// through the process-wide event thread (plat::Synchronize).
//
// Buffer cursors (BufStart, BufEnd) keep the 1-based arithmetic of the decoders: BufStart is
// the index of the next unread byte, BufEnd the index of the last valid one; the buffer is
// empty when BufEnd < BufStart. BufferAt() converts to memory.
#include "AuTypes.h"
#include "AutoResetEvent.h"
#include "Component.h"
#include "Streams.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TAuOutput;

class TAuInput : public TComponent {
public:
  explicit TAuInput(TComponent *owner = nullptr);
  ~TAuInput() override;

  std::uint32_t BitsPerSample() { return GetBitsPerSample(); }
  std::uint32_t Channels() { return GetChannels(); }
  std::uint32_t SampleRate() { return GetSampleRate(); }
  std::uint32_t TotalTime() { return GetTotalTime(); }
  std::int64_t TotalSamples() { return GetTotalSamples(); }
  std::int64_t Position() const { return FPosition; }
  std::int64_t Size() const { return FSize; }
  // Size was cut to what this run delivered, at an end that came early: the source is a
  // damaged file, and the missing part is not to be padded out.
  bool Shortened() const { return FShortened; }
  bool Busy() const { return FBusy; }
  bool Seekable() const { return FSeekable; }
  bool KeepMarker() const { return FKeepMarker; }

  // Starts the input; EAuException with the message of whatever InitInternal raised.
  void Init();
  // Stops the input; the lock is released also when FlushInternal raises.
  void Flush();
  // On entry bytes is the most the caller wants; on return buffer points into memory owned
  // by the input (valid until its next call) and bytes holds how many it holds. 0 bytes =
  // exhausted. Fewer than asked is normal: callers loop.
  virtual void GetData(std::uint8_t *&buffer, std::uint32_t &bytes);
  // One GetData asking for bufferSize, copied into buffer; returns the count.
  std::uint32_t CopyData(void *buffer, std::uint32_t bufferSize);
  // GetData until bufferSize bytes are gathered or a call returns 0 (then endOfInput).
  std::uint32_t FillBuffer(void *buffer, std::uint32_t bufferSize, bool &endOfInput);
  virtual void SetKeepMarker(bool value) { FKeepMarker = value; }
  // Flush with every exception swallowed, then not busy.
  virtual void Reset();
  // Reads ahead up to bytes; they count in Position only once GetData hands them out.
  virtual void Prefetch(std::uint32_t bytes);
  // Replaces the whole prefetch buffer with silence that the next reads hand out.
  void MutePrefetched();
  // The input at the head of the chain was moved to position of its size bytes: Position takes
  // the same share of Size (down to a whole frame) and the data flows again, so that the
  // progress follows the move and a move back is not cut short at Size.
  void FollowMove(std::int64_t position, std::int64_t size);
  virtual void Pause() {}
  virtual void Resume() {}

protected:
  virtual std::uint32_t GetBitsPerSample() = 0;
  virtual std::uint32_t GetChannels() = 0;
  virtual std::uint32_t GetSampleRate() = 0;
  virtual std::uint32_t GetTotalTime() { return 0; }
  virtual std::int64_t GetTotalSamples() { return 0; }
  virtual void InitInternal() = 0;
  virtual void FlushInternal() = 0;
  virtual void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) = 0;
  // One block for Prefetch to read ahead.
  virtual void ReadAhead(std::uint8_t *&buffer, std::uint32_t &bytes) {
    GetDataInternal(buffer, bytes);
  }

  // Hands out prefetched data when there is some (true); the common first step of GetData.
  bool TakePrefetched(std::uint8_t *&buffer, std::uint32_t &bytes);
  // Position += bytes, cutting bytes at Size (when known) and setting EndOfStream there or
  // when bytes is 0.
  void Advance(std::uint32_t &bytes);
  // Memory of a 1-based index into a decode buffer.
  static std::uint8_t *BufferAt(std::uint8_t *buffer, std::int32_t index) {
    return buffer + (index - 1);
  }

  // Polled by other threads (progress, seeks), hence atomic.
  std::atomic<std::int64_t> FPosition{0};
  std::atomic<std::int64_t> FSize{0};
  std::atomic<bool> FShortened{false};
  std::uint16_t FFrameSize = 0;
  std::atomic<bool> FSeekable{false};
  std::atomic<bool> FBusy{false};
  std::int32_t FBufStart = 1;
  std::int32_t FBufEnd = 0;
  std::recursive_mutex FLock;
  std::atomic<bool> FEndOfStream{false};
  bool FKeepMarker = false;
  std::vector<std::uint8_t> FPrefetchBuffer;
  std::uint32_t FPrefetchEnd = 0;
  std::uint32_t FPrefetchOffset = 0;
};

// An input that transforms the data of another input. Subclasses start their input in
// InitInternal (FInput->Init()) and pull from it in GetDataInternal.
class TAuConverter : public TAuInput {
public:
  explicit TAuConverter(TComponent *owner = nullptr);
  ~TAuConverter() override;

  TAuInput *Input() const { return FInput; }
  // Re-plumbs a busy converter: the old input is flushed, the new one started.
  virtual void SetInput(TAuInput *input);
  void GetData(std::uint8_t *&buffer, std::uint32_t &bytes) override;
  void Pause() override;
  void Resume() override;

protected:
  // The input's values; bits per sample without the marker bit unless KeepMarker.
  std::uint32_t GetBitsPerSample() override;
  std::uint32_t GetChannels() override;
  std::uint32_t GetSampleRate() override;
  void Notification(TComponent *component, TOperation operation) override;
  // Counts a block GetDataInternal produced against Position and Size.
  virtual void Delivered(std::uint32_t &bytes) { Advance(bytes); }
  // At the end, after delivering so many bytes: an input Shortened (a damaged file) shortens
  // this length too, so that no output pads the missing part out with silence.
  void EndWithInput(std::int64_t delivered);
  // The sample width the input delivers, without a source's marker bit.
  std::uint32_t InputBits() const { return FInput->BitsPerSample() & ~128u; }
  // A block read ahead counts as one handed out, so read-ahead never passes the Size.
  void ReadAhead(std::uint8_t *&buffer, std::uint32_t &bytes) override {
    GetDataInternal(buffer, bytes);
    Delivered(bytes);
  }

  TAuInput *FInput = nullptr;
};

// The output's worker thread: waits for a run, then Prepare, DoOutput until done, WhenDone.
class TAuThread {
public:
  explicit TAuThread(TAuOutput *parent);
  ~TAuThread(); // terminates and joins

  TAutoResetEvent PauseEvent;
  TAutoResetEvent RunEvent;
  std::atomic<bool> DoNotify{true}; // report the end of the run through OnDone
  std::atomic<bool> StopFlag{false};
  // The number of the run asked to pause (0: none), so that a request made while the sink
  // opens holds, and one that came too late for its run never pauses the next.
  std::atomic<std::uint64_t> PauseRequest{0};
  std::atomic<bool> Paused{false};
  std::atomic<bool> Sleeping{false}; // waiting for a run
  // Runs asked for by Run and runs whose end has been posted; equal when the thread is idle.
  // A run's number is RunsEnded + 1 while it runs.
  std::atomic<std::uint64_t> RunsRequested{0};
  std::atomic<std::uint64_t> RunsEnded{0};

  void RequestRun();
  bool Idle() const { return RunsEnded == RunsRequested; }

private:
  void Execute();
  bool WaitForRun();
  void RunOnce();
  void DoPause();

  TAuOutput *FParent;
  std::atomic<bool> FTerminated{false};
  std::thread FThread; // last: starts once the fields above exist
};

class TAuOutput : public TComponent {
public:
  explicit TAuOutput(TComponent *owner = nullptr);
  ~TAuOutput() override;

  TAuInput *Input() const { return FInput; }
  // On a busy output: synchronous Stop, store, Run again (not with no input).
  virtual void SetInput(TAuInput *input);

  // Starts a run and returns at once.
  void Run();
  // Async: returns at once, the end comes through OnDone. Otherwise waits until the sink is
  // closed and the thread idle; no event of this run is delivered afterwards.
  void Stop(bool async = true);
  virtual void Pause();
  virtual void Resume();
  // 0 playing, 1 paused, 2 idle.
  int Status() const;
  // 0 ... 100 of the input's Size; -1 when the Size is unknown.
  int Progress() const;
  bool Busy() const { return FBusy; }
  std::string ExceptionMessage() const;
  // Called by the output thread at the end of every run.
  void WhenDone();

  TOutputDoneEvent OnDone;
  TOutputProgressEvent OnProgress;
  TThreadExceptionEvent OnThreadException;
  // The handler of an underrun report; outputs that play in real time have one.
  virtual std::function<void(TComponent *)> UnderrunHandler() const { return {}; }

protected:
  friend class TAuThread;

  // Run on the output thread. Prepare opens the sink and Inits the input; DoOutput writes one
  // block and returns false when finished (at once, without writing, when abort is set); Done
  // Flushes the input and closes the sink.
  virtual void Prepare() = 0;
  virtual bool DoOutput(bool abort) = 0;
  virtual void Done() = 0;
  void Notification(TComponent *component, TOperation operation) override;
  // Stops the thread for good. Every concrete output calls it first in its destructor, so
  // that the thread never calls into a half-destroyed object.
  void ShutDown();
  void SetExceptionMessage(const std::string &message);

  std::atomic<bool> FStopped{false};
  std::atomic<bool> FCanOutput{false};
  int FLastProgress = 0;
  TAuInput *FInput = nullptr;
  std::atomic<bool> FBusy{false};
  std::recursive_mutex FRunLock;

private:
  mutable std::mutex FMessageLock;
  std::string FExceptionMessage;
  std::unique_ptr<TAuThread> FThread;
};

// An input that reads a stream: a frame range, looping, seeking by frame.
class TAuStreamedInput : public TAuInput {
public:
  explicit TAuStreamedInput(TComponent *owner = nullptr);

  void GetData(std::uint8_t *&buffer, std::uint32_t &bytes) override;
  // A stream supplied from outside is never freed here.
  virtual void SetStream(TStream *stream);
  TStream *Stream() const { return FStream; }

  // The range of the next run, in frames; EndSample -1 = to the end. Reset after each run.
  std::int64_t StartSample() const { return FStartSample; }
  void SetStartSample(std::int64_t value) { FStartSample = value; }
  std::int64_t EndSample() const { return FEndSample; }
  void SetEndSample(std::int64_t value) { FEndSample = value; }
  bool Loop() const { return FLoop; }
  void SetLoop(bool value) { FLoop = value; }

  // Moves to offset frames after StartSample: at once when busy (prefetched data dropped),
  // else the next run starts there.
  bool SeekSample(std::int64_t offset);
  // Moves by offset thousandths of the whole length.
  void Jump(int offset);

protected:
  // Repositions the source at a frame counted from the start of the file.
  virtual bool Seek(std::int64_t &sample) = 0;
  // Frees the stream unless it was supplied from outside (that one stays set).
  void FreeOwnStream();

  TStream *FStream = nullptr;
  bool FStreamAssigned = false;
  std::atomic<std::int64_t> FStartSample{0};
  std::atomic<std::int64_t> FEndSample{-1};
  std::atomic<bool> FLoop{false};
  std::atomic<std::int64_t> FTotalSamples{0};
};

// A file (or stream) input: open on demand, parsed once, closed by Flush.
// The sample rates a file's header can mean; others are damage.
constexpr std::uint32_t LowestFileSampleRate = 1000;
constexpr std::uint32_t HighestFileSampleRate = 768000;

class TAuFileIn : public TAuStreamedInput {
public:
  explicit TAuFileIn(TComponent *owner = nullptr);
  ~TAuFileIn() override;

  const std::string &FileName() const { return FFileName; }
  // Both refused with EAuException while busy: the output thread reads the file.
  void SetFileName(const std::string &fileName);
  void SetStream(TStream *stream) override;
  void Reset() override;
  // Opens the file when needed and tells whether it was recognised.
  bool Valid();
  // At the end of a file that held less than its length, the length becomes what it held, so
  // that no later stage pads the missing part out with silence.
  void GetData(std::uint8_t *&buffer, std::uint32_t &bytes) override;
  // The decoded bytes the header announces, -1 when it announces none (a streamed WAV, an Ogg
  // stream); after a run read to its end, a Position below it means the file is cut short.
  std::int64_t AnnouncedSize() const { return FAnnouncedSize; }
  // The file ends before its stream does: an Ogg file without the page that ends its stream.
  bool EndMissing() const { return FEndMissing; }
  // Why a file the reader knows was not taken as valid, when it can tell (a WAV file of a
  // sample rate no sound file has); "" otherwise. Readers that raise their refusal leave it "".
  const std::string &Refusal() const { return FRefusal; }

protected:
  // Both run under FFileLock. OpenFile opens Stream unless assigned, parses the header,
  // fills the format fields and Size, sets FValid and increments FOpenCount; it does nothing
  // while FOpenCount > 0. CloseFile undoes it and sets FOpenCount to 0. Subclasses' own
  // destructors call CloseFile.
  virtual void OpenFile() = 0;
  virtual void CloseFile() = 0;

  std::uint32_t GetBitsPerSample() override;
  std::uint32_t GetChannels() override;
  std::uint32_t GetSampleRate() override;
  std::uint32_t GetTotalTime() override;
  std::int64_t GetTotalSamples() override;
  void InitInternal() override;
  void FlushInternal() override;
  bool NameAssigned() const { return !FFileName.empty(); }
  // The start of a decoder's OpenFile: sets FValid and opens the named file unless a stream
  // was given; false (not valid) when there is neither. A file that cannot be opened raises
  // "Failed to open stream".
  bool OpenSourceStream();
  // Gives the stream up after a file was refused or closed: one given from outside is rewound
  // for the next try, the input's own one freed.
  void ReleaseStream();
  // Raises "The component is Busy" while busy; called under the lock.
  void CheckIdle() const;
  // The bytes of 16-bit PCM for the number of frames a stream claims: -1 (unknown) when it
  // claims none, or more than any file holds, as a damaged last Ogg page can.
  static std::int64_t DecodedSize(std::int64_t frames, std::uint32_t channels);
  // "" when FSampleRate is one a sound file can mean, else the refusal naming it: below 1 kHz
  // nothing is audio, and no recorder goes above 768 kHz. A damaged header's rate would
  // otherwise make a player never end or a resampler write hours of output.
  std::string SampleRateRefusal() const;

  // Set by OpenFile: the decoded bytes the header announces (-1 when it announces none, as a
  // streamed WAV), and whether the stream's end is missing (an Ogg file without its last page).
  std::atomic<std::int64_t> FAnnouncedSize{-1};
  std::atomic<bool> FEndMissing{false};
  std::string FRefusal;

  std::recursive_mutex FFileLock;
  std::string FFileName;
  std::int32_t FOpenCount = 0;
  // Written on the output thread by Init, read by the format getters on any thread.
  std::atomic<bool> FValid{false};
  std::atomic<std::uint32_t> FBitsPerSample{0};
  std::atomic<std::uint32_t> FSampleRate{0};
  std::atomic<std::uint32_t> FChannels{0};
  std::uint32_t FTotalTime = 0;
};

// An output that writes into a stream: its own file, or one supplied from outside.
class TAuStreamedOutput : public TAuOutput {
public:
  explicit TAuStreamedOutput(TComponent *owner = nullptr);

  // Prepare then writes into this stream instead of a file, and Done does not free it.
  void SetStream(TStream *stream);
  TStream *Stream() const { return FStream; }

protected:
  void FreeOwnStream();

  TStream *FStream = nullptr;
  bool FStreamAssigned = false;
};

class TAuFileOut : public TAuStreamedOutput {
public:
  explicit TAuFileOut(TComponent *owner = nullptr);

  const std::string &FileName() const { return FFileName; }
  void SetFileName(const std::string &fileName);
  TFileOutputMode FileMode() const { return FFileMode; }
  // Only outputs that can append override this; here the mode stays foRewrite.
  virtual void SetFileMode(TFileOutputMode mode) { FFileMode = foRewrite; }
  // Sharing bits added to the open mode when an existing file is opened for appending.
  std::uint16_t ShareMode() const { return FShareMode; }
  void SetShareMode(std::uint16_t mode) { FShareMode = mode; }

protected:
  // Opens the named file for a run unless a stream was assigned: an existing file for reading
  // and writing when appending, else a new one.
  void OpenFileStream();

  std::string FFileName;
  TFileOutputMode FFileMode = foRewrite;
  std::uint16_t FShareMode = 0;
};
