#pragma once
// FLAC output and input: TFLACOut encodes the PCM of its input into a FLAC file (libFLAC's
// stream encoder at a compression level, every frame checked by the encoder's own decoder,
// Vorbis comments and a seek table), TFLACIn decodes a FLAC file to PCM of the file's width
// rounded up to whole bytes and reads its comments.
//
// The reader seeks to the sample. A file cut short delivers the frames it holds whole and then
// ends; Size stays what the file announces, so a reader of the whole file can tell it is cut.
#include "AuLibraryOutput.h"
#include "AuTaggedFileIn.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#include <cstdint>
#include <vector>

// Compression levels of the encoder: 0 is the fastest, 8 the smallest.
constexpr int FLACFastest = 0;
constexpr int FLACSmallest = 8;
constexpr int FLACDefaultLevel = 5;

class TFLACOut : public TAuLibraryOutput {
public:
  explicit TFLACOut(TComponent *owner = nullptr);
  ~TFLACOut() override;

  int CompressionLevel() const { return FLevel; }
  // Held within FLACFastest ... FLACSmallest.
  void SetCompressionLevel(int value);

protected:
  void OpenEncoder() override;
  void Encode(const std::uint8_t *data, std::uint32_t frames) override;
  void FinishEncoder() override;
  void CloseEncoder() override;

private:
  static FLAC__StreamEncoderWriteStatus WriteCallback(const FLAC__StreamEncoder *encoder,
                                                      const FLAC__byte buffer[], size_t bytes,
                                                      uint32_t samples, uint32_t frame,
                                                      void *output);
  static FLAC__StreamEncoderSeekStatus SeekCallback(const FLAC__StreamEncoder *encoder,
                                                    FLAC__uint64 offset, void *output);
  static FLAC__StreamEncoderTellStatus TellCallback(const FLAC__StreamEncoder *encoder,
                                                    FLAC__uint64 *offset, void *output);

  // The comments and, when the length is known, a seek point every ten seconds.
  void AddMetadata(std::uint64_t totalFrames);
  // EAuException naming the encoder's state.
  [[noreturn]] void Fail(const char *what);

  int FLevel = FLACDefaultLevel;

  // State of the run in progress.
  FLAC__StreamEncoder *FEncoder = nullptr;
  int FWriteError = 0; // the system's error of a write that failed
  FLAC__StreamMetadata *FMetadata[2] = {};
  std::vector<FLAC__int32> FSamples;
};

class TFLACIn : public TAuTaggedFileIn {
public:
  explicit TFLACIn(TComponent *owner = nullptr);
  ~TFLACIn() override;

protected:
  void OpenFile() override;
  void CloseFile() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;
  bool Seek(std::int64_t &sample) override;

private:
  static FLAC__StreamDecoderReadStatus
  ReadCallback(const FLAC__StreamDecoder *decoder, FLAC__byte buffer[], size_t *bytes, void *input);
  static FLAC__StreamDecoderSeekStatus SeekCallback(const FLAC__StreamDecoder *decoder,
                                                    FLAC__uint64 offset, void *input);
  static FLAC__StreamDecoderTellStatus TellCallback(const FLAC__StreamDecoder *decoder,
                                                    FLAC__uint64 *offset, void *input);
  static FLAC__StreamDecoderLengthStatus LengthCallback(const FLAC__StreamDecoder *decoder,
                                                        FLAC__uint64 *length, void *input);
  static FLAC__bool EofCallback(const FLAC__StreamDecoder *decoder, void *input);
  static FLAC__StreamDecoderWriteStatus WriteCallback(const FLAC__StreamDecoder *decoder,
                                                      const FLAC__Frame *frame,
                                                      const FLAC__int32 *const channels[],
                                                      void *input);
  static void MetadataCallback(const FLAC__StreamDecoder *decoder,
                               const FLAC__StreamMetadata *metadata, void *input);
  static void ErrorCallback(const FLAC__StreamDecoder *decoder,
                            FLAC__StreamDecoderErrorStatus status, void *input);

  // Gives up the decoder and a stream this input opened.
  void Release();

  FLAC__StreamDecoder *FDecoder = nullptr;
  std::uint32_t FFileBits = 0; // the width in the file, 4 ... 32
  bool FHasStreamInfo = false;
  // Decoded PCM not yet handed out; FBufStart and FBufEnd index it.
  std::vector<std::uint8_t> FBuffer;
  bool FSeekFrame = false; // the buffer holds the frame a seek decoded, not yet handed out
  bool FDecoderDone = false;
};
