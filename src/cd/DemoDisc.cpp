#include "DemoDisc.h"

#include "DiscImage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr double TwoPi = 2 * std::numbers::pi;

// Stereo float audio of one track.
struct TStereo {
  std::vector<float> L, R;
  explicit TStereo(double seconds)
      : L(static_cast<size_t>(seconds * Rate)), R(static_cast<size_t>(seconds * Rate)) {}
};

// A fixed pseudo-random sequence, so the disc is the same on every run.
class TRandom {
public:
  explicit TRandom(uint32_t seed) : State(seed) {}
  uint32_t Next() {
    State = State * 1664525u + 1013904223u;
    return State >> 8;
  }
  double Unit() { return Next() / double(1u << 24) * 2 - 1; } // -1..1
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

private:
  uint32_t State;
};

enum class TVoice { Pad, Pluck, Bell, Bass, Kick, Hat };

struct TNote {
  double Start;  // seconds
  double Length; // seconds the key is held; the release follows
  int Midi;
  float Velocity;
  TVoice Voice;
  float Pan; // -1 left .. 1 right
};

double Frequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// One cycle of a soft sawtooth (eight harmonics), read with linear interpolation.
class TWaveTable {
public:
  TWaveTable() : Table(Size + 1) {
    for (int i = 0; i <= Size; ++i)
      for (int h = 1; h <= 8; ++h)
        Table[i] += static_cast<float>(std::sin(TwoPi * h * i / Size) / (h * 1.6));
  }
  float At(double phase) const { // phase in cycles, 0..1
    const double x = phase * Size;
    const int i = static_cast<int>(x);
    return static_cast<float>(Table[i] + (Table[i + 1] - Table[i]) * (x - i));
  }

private:
  static constexpr int Size = 2048;
  std::vector<float> Table;
};

const TWaveTable &Saw() {
  static const TWaveTable table;
  return table;
}

// Attack, hold and release of a held note, 0..1.
double Envelope(double t, double held, double attack, double release) {
  if (t < attack)
    return t / attack;
  if (t < held)
    return 1.0;
  return std::max(0.0, 1.0 - (t - held) / release);
}

// The note's mono samples, starting at its start.
std::vector<float> Voice(const TNote &note, TRandom &random) {
  const double f = Frequency(note.Midi);
  const auto samples = [&](double seconds) { return static_cast<size_t>(seconds * Rate); };
  std::vector<float> out;
  switch (note.Voice) {
  case TVoice::Pad: {
    out.resize(samples(note.Length + 0.8));
    double a = 0, b = 0; // two voices a few cents apart
    for (size_t i = 0; i < out.size(); ++i) {
      const double t = double(i) / Rate;
      a = std::fmod(a + f * 1.0017 / Rate, 1.0);
      b = std::fmod(b + f * 0.9983 / Rate, 1.0);
      out[i] = static_cast<float>((Saw().At(a) + Saw().At(b)) * 0.5 *
                                  Envelope(t, note.Length, 0.35, 0.8));
    }
    break;
  }
  case TVoice::Pluck: { // a plucked string: a noise burst circulating in a damped delay line
    out.resize(samples(note.Length + 0.3));
    std::vector<float> line(std::max<size_t>(2, static_cast<size_t>(Rate / f)));
    for (float &s : line)
      s = static_cast<float>(random.Unit());
    for (size_t i = 0; i < out.size(); ++i) {
      const size_t k = i % line.size(), next = (i + 1) % line.size();
      const float s = line[k];
      line[k] = 0.498f * (s + line[next]);
      out[i] = static_cast<float>(s * Envelope(double(i) / Rate, note.Length, 0.002, 0.3));
    }
    break;
  }
  case TVoice::Bell: { // two-operator FM with a fading modulation index
    out.resize(samples(2.5));
    for (size_t i = 0; i < out.size(); ++i) {
      const double t = double(i) / Rate;
      const double index = 3.0 * std::exp(-t * 2.5);
      out[i] = static_cast<float>(std::sin(TwoPi * f * t + index * std::sin(TwoPi * f * 3.5 * t)) *
                                  std::exp(-t * 1.8) * std::min(1.0, t / 0.004));
    }
    break;
  }
  case TVoice::Bass: {
    out.resize(samples(note.Length + 0.15));
    for (size_t i = 0; i < out.size(); ++i) {
      const double t = double(i) / Rate;
      const double tone = std::sin(TwoPi * f * t) + 0.35 * std::sin(TwoPi * 2 * f * t) +
                          0.12 * std::sin(TwoPi * 3 * f * t);
      out[i] =
          static_cast<float>(tone * std::exp(-t * 1.5) * Envelope(t, note.Length, 0.008, 0.15));
    }
    break;
  }
  case TVoice::Kick: { // a falling sine
    out.resize(samples(0.35));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
      const double t = double(i) / Rate;
      phase += (50 + 90 * std::exp(-t * 30)) / Rate;
      out[i] = static_cast<float>(std::sin(TwoPi * phase) * std::exp(-t * 9));
    }
    break;
  }
  case TVoice::Hat: { // high-passed noise, short
    out.resize(samples(0.06));
    float last = 0;
    for (size_t i = 0; i < out.size(); ++i) {
      const float noise = static_cast<float>(random.Unit());
      out[i] = static_cast<float>((noise - last) * 0.5 * std::exp(-double(i) / Rate * 60));
      last = noise;
    }
    break;
  }
  }
  return out;
}

void Mix(const TNote &note, TRandom &random, TStereo &track) {
  const std::vector<float> mono = Voice(note, random);
  const float left = note.Velocity * std::sqrt(0.5f * (1 - note.Pan));
  const float right = note.Velocity * std::sqrt(0.5f * (1 + note.Pan));
  const size_t first = static_cast<size_t>(note.Start * Rate);
  for (size_t i = 0; i < mono.size() && first + i < track.L.size(); ++i) {
    track.L[first + i] += mono[i] * left;
    track.R[first + i] += mono[i] * right;
  }
}

// Triads over roots (MIDI numbers); minor when the root is marked negative.
std::vector<int> Chord(int root) {
  const int r = std::abs(root);
  return {r, r + (root < 0 ? 3 : 4), r + 7};
}

// A piece: chords of one bar each (four beats), cycled from `from` to `to` seconds.
struct TPiece {
  double Bpm;
  std::vector<int> Roots;
  double From, To;
  double Beat() const { return 60.0 / Bpm; }
  int Bars() const { return static_cast<int>((To - From) / (4 * Beat())); }
  std::vector<int> ChordOfBar(int bar) const { return Chord(Roots[bar % Roots.size()]); }
  double BarStart(int bar) const { return From + bar * 4 * Beat(); }
};

void AddPad(const TPiece &p, std::vector<TNote> &notes) {
  for (int bar = 0; bar < p.Bars(); ++bar) {
    float pan = -0.4f;
    for (int midi : p.ChordOfBar(bar)) {
      notes.push_back({p.BarStart(bar), 4 * p.Beat() - 0.1, midi, 0.16f, TVoice::Pad, pan});
      pan += 0.4f;
    }
  }
}

void AddArpeggio(const TPiece &p, TVoice voice, int octave, float velocity,
                 std::vector<TNote> &notes) {
  static const int order[] = {0, 1, 2, 1, 0, 2, 1, 2};
  for (int bar = 0; bar < p.Bars(); ++bar) {
    const std::vector<int> chord = p.ChordOfBar(bar);
    for (int step = 0; step < 8; ++step)
      notes.push_back({p.BarStart(bar) + step * p.Beat() / 2, p.Beat() / 2,
                       chord[order[step]] + 12 * octave, velocity, voice, step % 2 ? 0.5f : -0.5f});
  }
}

// A melody that wanders over the chord tones and the notes between them.
void AddMelody(const TPiece &p, TVoice voice, TRandom &random, std::vector<TNote> &notes) {
  int degree = 0;
  for (int bar = 0; bar < p.Bars(); ++bar) {
    const std::vector<int> chord = p.ChordOfBar(bar);
    for (int beat = 0; beat < 4; ++beat) {
      if (random.Below(4) == 0)
        continue; // a rest
      degree = std::clamp(degree + random.Below(5) - 2, -2, 4);
      const int midi = chord[(degree + 3) % 3] + 12 + (degree > 2 ? 12 : 0);
      notes.push_back({p.BarStart(bar) + beat * p.Beat(), p.Beat() * 0.9, midi, 0.3f, voice, 0.2f});
    }
  }
}

void AddBassAndBeat(const TPiece &p, std::vector<TNote> &notes) {
  for (int bar = 0; bar < p.Bars(); ++bar) {
    const int root = p.ChordOfBar(bar)[0] - 24;
    for (int beat = 0; beat < 4; ++beat) {
      const double t = p.BarStart(bar) + beat * p.Beat();
      notes.push_back({t, p.Beat() * 0.8, beat == 2 ? root + 7 : root, 0.45f, TVoice::Bass, 0});
      if (beat % 2 == 0)
        notes.push_back({t, 0.3, 0, 0.6f, TVoice::Kick, 0});
      notes.push_back({t + p.Beat() / 2, 0.05, 0, 0.12f, TVoice::Hat, 0.3f});
    }
  }
}

// Removes the offset that decaying bass notes and noise bursts leave (a one-pole high pass at
// about 35 Hz).
void BlockDc(std::vector<float> &channel) {
  float in = 0, out = 0;
  for (float &s : channel) {
    out = s - in + 0.995f * out;
    in = s;
    s = out;
  }
}

// Scales the track to a peak of 70 % full scale and gives it as 16-bit little-endian samples.
std::vector<uint8_t> ToPcm(TStereo &track) {
  BlockDc(track.L);
  BlockDc(track.R);
  float peak = 1e-6f;
  for (size_t i = 0; i < track.L.size(); ++i)
    peak = std::max({peak, std::abs(track.L[i]), std::abs(track.R[i])});
  const double gain = 0.7 * 32767 / peak;
  std::vector<uint8_t> pcm;
  pcm.reserve(track.L.size() * 4);
  for (size_t i = 0; i < track.L.size(); ++i)
    for (float s : {track.L[i], track.R[i]}) {
      const auto v = static_cast<int16_t>(std::nearbyint(s * gain));
      pcm.push_back(static_cast<uint8_t>(v & 0xFF));
      pcm.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
    }
  return pcm;
}

std::vector<uint8_t> RenderTrack(int number, double seconds) {
  TStereo track(seconds);
  TRandom random(0x5EED0000u + static_cast<uint32_t>(number));
  std::vector<TNote> notes;
  switch (number) {
  case 1: { // slow pad with bells, C major
    const TPiece p{84, {60, -57, 53, 55}, 0.5, seconds - 2.5};
    AddPad(p, notes);
    AddMelody(p, TVoice::Bell, random, notes);
    break;
  }
  case 2: { // plucked arpeggios between stretches of silence
    const TPiece p{100, {62, -59, 55, 57}, 3.0, seconds - 4.0};
    AddArpeggio(p, TVoice::Pluck, 0, 0.5f, notes);
    break;
  }
  case 3: { // bass, beat and plucked chords, A minor
    const TPiece p{118, {-57, 53, 48, 55}, 0.2, seconds - 1.5};
    AddBassAndBeat(p, notes);
    AddArpeggio(p, TVoice::Pluck, 1, 0.25f, notes);
    break;
  }
  case 4: { // bell melody over a pad, E minor
    const TPiece p{92, {-64, 60, 55, 62}, 0.3, seconds - 2.5};
    AddPad(p, notes);
    AddMelody(p, TVoice::Bell, random, notes);
    AddMelody(p, TVoice::Pluck, random, notes);
    break;
  }
  default: { // evening: pad, bass and bells, F major
    const TPiece p{72, {53, -50, 58, 60}, 0.5, seconds - 3.0};
    AddPad(p, notes);
    AddArpeggio(p, TVoice::Bell, 1, 0.12f, notes);
    for (int bar = 0; bar < p.Bars(); ++bar)
      notes.push_back(
          {p.BarStart(bar), 4 * p.Beat(), p.ChordOfBar(bar)[0] - 24, 0.35f, TVoice::Bass, 0});
    break;
  }
  }
  for (const TNote &note : notes)
    Mix(note, random, track);
  return ToPcm(track);
}

} // namespace

std::string MakeDemoDisc(const std::string &dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec)
    throw std::runtime_error("Cannot create the folder " + dir + ": " + ec.message());
  std::vector<TImageTrack> tracks;
  for (size_t i = 0; i < DemoTrackSeconds.size(); ++i)
    tracks.push_back({false, RenderTrack(static_cast<int>(i + 1), DemoTrackSeconds[i])});
  return WriteBinCue(dir, "PlindarDemo", tracks);
}
