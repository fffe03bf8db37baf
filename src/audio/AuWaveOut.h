#pragma once
// The WAV file writer: linear PCM (classic or extensible header) and IMA ADPCM, new files or
// appended to a file of the same format.
#include "AuClasses.h"
#include "AuWave.h"

#include <vector>

class TWaveOut : public TAuFileOut {
public:
  explicit TWaveOut(TComponent *owner = nullptr);
  ~TWaveOut() override;

  // wtPCM or wtDVIADPCM, only while idle; a run may change it (extensible, appended file).
  TWavType WavType() const { return FWavType; }
  void SetWavType(TWavType value);
  // Bytes per ADPCM block: non-zero multiples of 4, only while idle.
  std::uint16_t BlockSize() const { return FBlockSize; }
  void SetBlockSize(std::uint16_t value);
  // True: never switch to the extensible header.
  bool CreateNonMsHeaders() const { return FCreateNonMsHeaders; }
  void SetCreateNonMsHeaders(bool value) { FCreateNonMsHeaders = value; }
  void SetFileMode(TFileOutputMode mode) override { FFileMode = mode; }

protected:
  void Prepare() override;
  bool DoOutput(bool abort) override;
  void Done() override;

private:
  void ReadAppendHeader();
  void PrepareAppend(bool sameFormat);
  void CheckImaFormat();
  void WriteHeader();
  bool HeaderCanHold(std::int64_t length) const;
  void Write(const void *data, std::uint32_t count);
  bool WriteFieldAt(std::uint32_t offset, std::int64_t value);
  void PatchHeader();
  void PadData();
  bool WriteImaBlock();
  void EncodeImaBlock(const std::int16_t *samples, std::uint8_t *block);

  bool FEndReached = false;
  std::atomic<TWavType> FWavType{wtPCM}; // a run may change it while a window reads it
  std::int16_t FSampleL = 0, FSampleR = 0;
  std::uint8_t FIndexL = 0, FIndexR = 0;
  std::uint32_t FAppendRate = 0;
  std::uint16_t FAppendChannels = 0;
  std::uint16_t FAppendBits = 0;
  std::uint32_t FAppendFactSamples = 0;
  std::uint32_t FFactValueOffset = 0;
  std::uint32_t FAppendDataSize = 0;
  std::uint32_t FDataSizeOffset = 0;
  TWavType FAppendType = wtUnsupported;
  std::uint32_t FDataStart = 0;
  std::atomic<std::uint16_t> FBlockSize{512}; // as the type
  bool FCreateNonMsHeaders = true;

  // State of the run in progress.
  bool FAppending = false;     // adding to a non-empty file: its offsets apply
  bool FHeaderWritten = false; // the file has a header (written now or found)
  bool FFailed = false;        // a block could not be written or read: describe what is there
  std::uint32_t FChannels = 0;
  std::uint32_t FBits = 0;
  std::uint32_t FImaBlocks = 0;  // blocks written by this run
  std::uint32_t FImaPadding = 0; // silent frames that fill this run's last block
  std::vector<std::int16_t> FSamples;
  std::vector<std::uint8_t> FBlock;
};
