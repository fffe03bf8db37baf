#pragma once
// Opus output and input: TOpusOut encodes the PCM of its input into an Ogg Opus file
// (libopusenc, variable bit rate, comments in UTF-8; the library resamples any input rate to
// the codec's 48 kHz), TOpusIn decodes an Ogg Opus file (libopusfile) to 16-bit PCM at 48 kHz
// and reads its comments.
//
// The reader seeks to the sample and never delivers more than Size bytes; a file cut short
// announces and delivers what its whole pages hold.
#include "AuLibraryOutput.h"
#include "AuTaggedFileIn.h"

#include <opus/opusenc.h>
#include <opus/opusfile.h>

#include <cstdint>
#include <vector>

// Bit rates of the encoder, in kbit/s.
constexpr int OpusLowestBitRate = 32;
constexpr int OpusHighestBitRate = 256;
constexpr int OpusDefaultBitRate = 160;

class TOpusOut : public TAuLibraryOutput {
public:
  explicit TOpusOut(TComponent *owner = nullptr);
  ~TOpusOut() override;

  // The average of the variable bit rate, in kbit/s.
  int BitRate() const { return FBitRate; }
  // Held within OpusLowestBitRate ... OpusHighestBitRate.
  void SetBitRate(int value);

protected:
  void OpenEncoder() override;
  void Encode(const std::uint8_t *data, std::uint32_t frames) override;
  void FinishEncoder() override;
  void CloseEncoder() override;

private:
  static int WriteCallback(void *output, const unsigned char *data, opus_int32 bytes);
  static int CloseCallback(void *output);
  // EAuException with the library's text for error.
  [[noreturn]] void Fail(const char *what, int error);

  int FBitRate = OpusDefaultBitRate;

  // State of the run in progress.
  OggOpusEnc *FEncoder = nullptr;
  std::vector<float> FSamples;
};

class TOpusIn : public TAuTaggedFileIn {
public:
  explicit TOpusIn(TComponent *owner = nullptr);
  ~TOpusIn() override;

protected:
  void OpenFile() override;
  void CloseFile() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;
  bool Seek(std::int64_t &sample) override;

private:
  // The decoder reads the file through these, with this input as the data source.
  static int ReadCallback(void *source, unsigned char *buffer, int bytes);
  static int SeekCallback(void *source, opus_int64 offset, int whence);
  static opus_int64 TellCallback(void *source);

  std::vector<opus_int16> FBuffer;
  OggOpusFile *FFile = nullptr;
  bool FStereo = false;      // links of different channel counts are read down-mixed to two
  bool FDecoderDone = false; // the decoder has nothing more; buffered bytes still go out
};
