#pragma once
// De-emphasis: undoes the treble lift of a CD recorded with pre-emphasis (control bit 0x01 of
// its table of contents), the 50/15 µs time constants of the CD standard.
#include "AuConverters.h"

#include <cstdint>
#include <optional>
#include <vector>

// The filter over interleaved 16-bit samples at 44100 Hz, carrying its state from one block
// to the next.
class TDeemphasisFilter {
public:
  explicit TDeemphasisFilter(std::uint32_t channels);
  // Filters count interleaved samples in place (a sample cut by the end of a block is not
  // possible: count is whole samples), rounding to the nearest and holding the 16-bit limits.
  void Process(std::int16_t *samples, std::size_t count);

private:
  struct TState {
    double X1 = 0, X2 = 0, Y1 = 0, Y2 = 0;
  };
  std::vector<TState> FStates; // one per channel
  std::size_t FChannel = 0;    // the channel of the next sample
};

// The pipeline step: 16-bit CD audio (44100 Hz) in, the same de-emphasised out. Other input
// raises EAuException, since the filter is made for that rate only.
class TDeemphasis : public TAuConverter {
public:
  explicit TDeemphasis(TComponent *owner = nullptr) : TAuConverter(owner) {}

protected:
  void InitInternal() override;
  void FlushInternal() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;

private:
  void FilterBlock(std::uint8_t *&buffer, std::uint32_t &bytes);

  std::optional<TDeemphasisFilter> FFilter; // made by Init for the input's channels
  std::vector<std::int16_t> FSamples = std::vector<std::int16_t>(16384);
  std::uint32_t FFrameBytes = 0;
  TFrameRest FRest;
};
