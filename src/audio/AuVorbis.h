#pragma once
// Ogg Vorbis output and input: TVorbisOut encodes the PCM of its input into an Ogg Vorbis
// file (quality-based or managed bit rate, comments in UTF-8), TVorbisIn decodes an Ogg
// Vorbis file to 16-bit PCM and reads its comments.
//
// Both load the codec libraries on first use (VorbisLibs.h) and raise the missing library's
// name when one cannot be loaded; every later Prepare or OpenFile tries again. The decoder
// seeks to the sample and never delivers more than Size bytes.
#include "AuClasses.h"
#include "AuTaggedFileIn.h"
#include "VorbisLibs.h"

#include <atomic>
#include <cstdint>
#include <vector>

// Bit rates of the managed mode, in enumeration order; brAutoSelect stands for "not set".
enum TVorbisBitRate : std::uint8_t {
  brAutoSelect,
  bitrate24,
  bitrate32,
  bitrate45,
  bitrate48,
  bitrate56,
  bitrate64,
  bitrate80,
  bitrate96,
  bitrate112,
  bitrate128,
  bitrate144,
  bitrate160,
  bitrate192,
  bitrate224,
  bitrate256,
  bitrate320,
  bitrate499
};

// Bits per second of a bit rate; -1 for brAutoSelect.
long VorbisBitsPerSecond(TVorbisBitRate rate);

class TVorbisOut : public TAuFileOut {
public:
  explicit TVorbisOut(TComponent *owner = nullptr);
  ~TVorbisOut() override;

  // Logical stream serial number. Unless one is set, each run draws a random one: streams
  // chained into one file (foAppend, or files joined later) must each have their own.
  // Serial() is the set one, else the last run's.
  std::int32_t Serial() const { return FSerial; }
  void SetSerial(std::int32_t value) {
    FSerial = value;
    FRandomSerial = false;
  }
  // brAutoSelect encodes by quality (Compression); any other value selects the managed mode
  // and pulls the minimum down and the maximum up to it.
  TVorbisBitRate DesiredNominalBitrate() const { return FNominal; }
  void SetDesiredNominalBitrate(TVorbisBitRate value);
  // Only while a nominal rate is set: brAutoSelect or a rate at least the nominal.
  TVorbisBitRate DesiredMaximumBitrate() const { return FMaximum; }
  void SetDesiredMaximumBitrate(TVorbisBitRate value);
  // Not above the nominal; brAutoSelect means the nominal rate.
  TVorbisBitRate MinimumBitrate() const { return FMinimum; }
  void SetMinimumBitrate(TVorbisBitRate value);
  // Quality of the quality-based mode, -0.1 ... 1.
  float Compression() const { return FCompression; }
  void SetCompression(float value) { FCompression = value; }
  // The comments of the next run, copied in; entries with empty values are not written.
  // Cleared after every run.
  TVorbisTags &Comments() { return FComments; }
  void SetComments(const TVorbisTags &tags) { FComments.Assign(tags); }
  // foAppend adds a new stream at the end of an existing file.
  void SetFileMode(TFileOutputMode mode) override { FFileMode = mode; }

protected:
  void Prepare() override;
  bool DoOutput(bool abort) override;
  void Done() override;

private:
  void SetUpEncoder(std::uint32_t channels, std::uint32_t rate);
  void WriteHeaders();
  // Moves the encoded blocks into pages and writes the pages out.
  void WritePages();
  void WritePage(const ogg_page &page);

  std::int32_t FSerial = 0;
  bool FRandomSerial = true;
  TVorbisBitRate FNominal = brAutoSelect;
  TVorbisBitRate FMaximum = brAutoSelect;
  TVorbisBitRate FMinimum = brAutoSelect;
  float FCompression = 0.2f;
  TVorbisTags FComments;

  // State of the run in progress; each part is cleared in Done only if it was set up.
  bool FEndOfStream = false;
  std::uint32_t FBytesPerSample = 0;
  std::uint32_t FChannels = 0;
  ogg_stream_state FOggStream{};
  vorbis_info FInfo{};
  vorbis_comment FComment{};
  vorbis_dsp_state FDsp{};
  vorbis_block FBlock{};
  bool FInfoReady = false;
  bool FCommentReady = false;
  bool FDspReady = false;
  bool FStreamReady = false;
};

class TVorbisIn : public TAuTaggedFileIn {
public:
  explicit TVorbisIn(TComponent *owner = nullptr);
  ~TVorbisIn() override;

  // Bit rates announced by the file's stream information; 0 or -1 when not given.
  long UpperBitrate() const { return FUpperBitrate; }
  long NominalBitrate() const { return FNominalBitrate; }
  long LowerBitrate() const { return FLowerBitrate; }

protected:
  void OpenFile() override;
  void CloseFile() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;
  bool Seek(std::int64_t &sample) override;

private:
  // The decoder reads the file through these, with this input as the data source.
  static std::size_t ReadCallback(void *buffer, std::size_t size, std::size_t count, void *source);
  static int SeekCallback(void *source, ogg_int64_t offset, int whence);
  static int CloseCallback(void *source);
  static long TellCallback(void *source);

  void ReadComments();

  std::vector<std::uint8_t> FBuffer;
  OggVorbis_File FFile{};
  std::int32_t FCurrentSection = -1;
  bool FDecoderDone = false; // the decoder has nothing more; buffered bytes still go out
  std::atomic<long> FUpperBitrate{0};
  std::atomic<long> FNominalBitrate{0};
  std::atomic<long> FLowerBitrate{0};
};
