#include "Deemphasis.h"

#include "AuTypes.h"

#include <algorithm>
#include <cmath>

namespace {

// The 50/15 µs response, (1 + s·15 µs) / (1 + s·50 µs), as a high shelf at 44100 Hz: 9.477 dB
// down above 5283 Hz, slope 0.4845. Fitted to the analogue curve it stays within 0.07 dB of it
// up to 20 kHz, where the bilinear transform of the analogue filter would be off by several dB.
struct TCoefficients {
  double B0, B1, B2, A1, A2; // normalised by a0
};

TCoefficients ShelfCoefficients() {
  constexpr double Pi = 3.14159265358979323846;
  const double gain = std::pow(10.0, -9.477 / 40), w0 = 2 * Pi * 5283 / 44100, slope = 0.4845;
  const double cosW = std::cos(w0), rootGain = std::sqrt(gain);
  const double alpha = std::sin(w0) / 2 * std::sqrt((gain + 1 / gain) * (1 / slope - 1) + 2);
  const double a0 = (gain + 1) - (gain - 1) * cosW + 2 * rootGain * alpha;
  return {gain * ((gain + 1) + (gain - 1) * cosW + 2 * rootGain * alpha) / a0,
          -2 * gain * ((gain - 1) + (gain + 1) * cosW) / a0,
          gain * ((gain + 1) + (gain - 1) * cosW - 2 * rootGain * alpha) / a0,
          2 * ((gain - 1) - (gain + 1) * cosW) / a0,
          ((gain + 1) - (gain - 1) * cosW - 2 * rootGain * alpha) / a0};
}

const TCoefficients Shelf = ShelfCoefficients();

} // namespace

TDeemphasisFilter::TDeemphasisFilter(std::uint32_t channels)
    : FStates(std::max<std::uint32_t>(channels, 1)) {}

void TDeemphasisFilter::Process(std::int16_t *samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    TState &s = FStates[FChannel];
    FChannel = (FChannel + 1) % FStates.size();
    const double x = samples[i];
    const double y =
        Shelf.B0 * x + Shelf.B1 * s.X1 + Shelf.B2 * s.X2 - Shelf.A1 * s.Y1 - Shelf.A2 * s.Y2;
    s.X2 = s.X1;
    s.X1 = x;
    s.Y2 = s.Y1;
    s.Y1 = y;
    samples[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>(au::Round(y), -32768, 32767));
  }
}

void TDeemphasis::InitInternal() {
  if (!FInput)
    throw EAuException("Input not assigned");
  FInput->Init();
  if (FInput->SampleRate() != 44100 || (FInput->BitsPerSample() & ~128u) != 16) {
    FInput->Flush();
    throw EAuException("De-emphasis needs 16-bit audio at 44100 Hz");
  }
  FBusy = true;
  FSize = FInput->Size();
  FPosition = 0;
  FFrameBytes = 2 * std::max<std::uint32_t>(FInput->Channels(), 1);
  FFilter.emplace(FInput->Channels());
  FRest.Clear();
}

void TDeemphasis::FlushInternal() {
  if (FInput)
    FInput->Flush();
  FBusy = false;
}

void TDeemphasis::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  FRest.Serve(FFrameBytes, buffer, bytes,
              [this](std::uint8_t *&b, std::uint32_t &n) { FilterBlock(b, n); });
}

void TDeemphasis::FilterBlock(std::uint8_t *&buffer, std::uint32_t &bytes) {
  const auto room = static_cast<std::uint32_t>(FSamples.size() * 2);
  const std::uint32_t want = std::min(bytes, room) / FFrameBytes * FFrameBytes;
  bool end = false;
  // Whole frames, so the filter's channels stay in step from block to block; only a file cut
  // inside a frame ends with less.
  const std::uint32_t got = FInput->FillBuffer(FSamples.data(), want, end) / 2 * 2;
  FFilter->Process(FSamples.data(), got / 2);
  buffer = got > 0 ? reinterpret_cast<std::uint8_t *>(FSamples.data()) : nullptr;
  bytes = got;
}
