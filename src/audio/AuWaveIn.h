#pragma once
// The WAV file reader: linear PCM of any width (classic or extensible header), IMA and
// Microsoft ADPCM decoded to 16 bits, 32- and 64-bit IEEE float delivered as 32-bit integers,
// and MPEG Layer-3 data converted as a whole to PCM through the compression manager.
#include "AuClasses.h"
#include "AuWave.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class TWaveIn : public TAuFileIn {
public:
  explicit TWaveIn(TComponent *owner = nullptr);
  ~TWaveIn() override;

  // The kind of file, found by opening it; wtUnsupported when it is not recognised.
  TWavType WavType();

protected:
  void OpenFile() override;
  void CloseFile() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;
  bool Seek(std::int64_t &sample) override;

private:
  struct TMsChannel {
    int Predictor = 0;
    int Delta = 0;
    int Sample1 = 0;
    int Sample2 = 0;
  };

  bool ReadHeader();
  bool ReadFormatChunk(const std::vector<std::uint8_t> &body);
  void CheckFormat();
  void ClampDataSize(std::int64_t declared);
  bool ConvertAcm();
  std::uint32_t ReadBlock(std::uint32_t blockAlign);
  std::uint32_t ImaBlockFrames(std::uint32_t bytes) const;
  std::uint32_t MsBlockFrames(std::uint32_t bytes) const;
  std::uint32_t DecodeImaBlock(std::uint32_t bytes);
  std::uint32_t DecodeMsBlock(std::uint32_t bytes);
  std::int16_t DecodeMsSample(TMsChannel &c, int code) const;
  void Refill(); // the next block of the file into the decode buffer

  // Decode buffer: 16384 bytes, or one decoded ADPCM block when that is longer.
  std::vector<std::uint8_t> FBuffer;
  std::vector<std::uint8_t> FBlock; // one ADPCM block as read
  TWavType FWavType = wtUnsupported;
  std::uint16_t FImaBlockAlign = 0;
  std::uint16_t FImaSamplesPerBlock = 0;
  std::int32_t FImaFactSamples = 0;
  std::uint16_t FMsBlockAlign = 0;
  std::uint16_t FMsSamplesPerBlock = 0;
  std::int32_t FMsFactSamples = 0;
  std::uint16_t FMsCoefCount = 0;
  std::array<std::array<std::int16_t, 2>, 32> FMsCoefs{};
  std::uint32_t FDataStart = 0;
  std::uint16_t FStoredBits = 0; // bits per sample as stored in the file
  bool FSeekableStream = false;
  TStream *FSourceStream = nullptr;
  bool FSourceAssigned = false;
  std::unique_ptr<TMemoryStream> FConvertedStream;
  bool FFloat32 = false;
};
