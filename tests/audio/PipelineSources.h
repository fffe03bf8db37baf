#pragma once
// Sources and helpers for the pipeline suites: a synthetic input, a pass-through converter, a
// headerless PCM file input, a temporary folder and message pumping for a test without Qt.
#include "AuClasses.h"
#include "FileContents.h"
#include "MessagePump.h"
#include "Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace pipetest {

// The message of the EAuException an action raises; empty when it raises none.
inline std::string MessageOf(const std::function<void()> &action) {
  try {
    action();
  } catch (const EAuException &e) {
    return e.what();
  }
  return "";
}

// A synthetic source: bytes from Pattern(position), delivered in blocks of BlockBytes, Total
// bytes in all (-1 = endless), announcing Announced as its Size. It advances Position itself,
// as inputs that keep the base GetData do.
class TToneInput : public TAuInput {
public:
  std::uint32_t Bits = 16, Chans = 2, Rate = 44100;
  std::int64_t Total = 0;
  std::int64_t Announced = 0;
  std::uint32_t BlockBytes = 4096;
  std::int64_t RaiseAfter = -1; // the data call raises from this many bytes on
  bool InitRaises = false;
  std::function<std::uint8_t(std::int64_t)> Pattern = [](std::int64_t i) {
    return static_cast<std::uint8_t>(i * 7 + 1);
  };
  std::atomic<std::int64_t> Produced{0};
  std::atomic<int> InitCount{0}, FlushCount{0};

  explicit TToneInput(std::int64_t total = 0, std::int64_t announced = -2) {
    Total = total;
    Announced = announced == -2 ? total : announced;
  }

protected:
  std::uint32_t GetBitsPerSample() override { return Bits; }
  std::uint32_t GetChannels() override { return Chans; }
  std::uint32_t GetSampleRate() override { return Rate; }
  void InitInternal() override {
    if (InitRaises)
      throw std::runtime_error("The source cannot start");
    FBusy = true;
    FPosition = 0;
    FSize = Announced;
    FProduced = 0;
    ++InitCount;
  }
  void FlushInternal() override {
    FBusy = false;
    ++FlushCount;
  }
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override {
    if (RaiseAfter >= 0 && FProduced >= RaiseAfter)
      throw EAuException("The source failed");
    std::int64_t left = Total < 0 ? bytes : std::min<std::int64_t>(bytes, Total - FProduced);
    std::uint32_t n = static_cast<std::uint32_t>(std::min<std::int64_t>(left, BlockBytes));
    FData.resize(n);
    for (std::uint32_t i = 0; i < n; ++i)
      FData[i] = Pattern(FProduced + i);
    FProduced += n;
    Produced = FProduced;
    FPosition += n;
    buffer = FData.data();
    bytes = n;
  }

private:
  std::vector<std::uint8_t> FData;
  std::int64_t FProduced = 0;
};

// 16-bit samples of a sine, for the sound of a file rather than its bytes.
inline std::function<std::uint8_t(std::int64_t)>
SinePattern(std::uint32_t channels, double frequency = 440.0, double rate = 44100.0) {
  return [=](std::int64_t i) {
    std::int64_t frame = i / (2 * channels);
    int channel = static_cast<int>((i / 2) % channels);
    double phase = 2 * M_PI * frequency * (channel + 1) * frame / rate;
    auto v = static_cast<std::int16_t>(std::lround(12000 * std::sin(phase)));
    return static_cast<std::uint8_t>(i % 2 == 0 ? v & 0xFF : (v >> 8) & 0xFF);
  };
}

// Passes its input on unchanged, with the converter's own Size cut.
class TPassConverter : public TAuConverter {
public:
  std::int64_t SizeLimit = 0; // 0 = the input's Size

protected:
  void InitInternal() override {
    FInput->Init();
    FBusy = true;
    FPosition = 0;
    FSize = SizeLimit != 0 ? SizeLimit : FInput->Size();
  }
  void FlushInternal() override {
    FInput->Flush();
    FBusy = false;
  }
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override {
    FInput->GetData(buffer, bytes);
  }
};

// A headerless 16-bit stereo 44100 Hz file after the four bytes "RAW1"; other files are not
// recognised.
class TRawFileIn : public TAuFileIn {
public:
  ~TRawFileIn() override { CloseFile(); }

protected:
  void OpenFile() override {
    std::lock_guard<std::recursive_mutex> lock(FFileLock);
    if (FOpenCount > 0)
      return;
    if (!FStreamAssigned)
      FStream = new TAuFileStream(FFileName, fmOpenRead | fmShareDenyWrite);
    char magic[4] = {};
    FStream->SetPosition(0);
    FValid = FStream->Read(magic, 4) == 4 && std::memcmp(magic, "RAW1", 4) == 0;
    FBitsPerSample = 16;
    FChannels = 2;
    FSampleRate = 44100;
    FSize = FValid ? FStream->Size() - 4 : 0;
    ++FOpenCount;
  }
  void CloseFile() override {
    std::lock_guard<std::recursive_mutex> lock(FFileLock);
    if (FOpenCount == 0)
      return;
    FreeOwnStream();
    FOpenCount = 0;
  }
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override {
    FData.resize(std::min<std::uint32_t>(bytes, 4000) / 4 * 4);
    bytes = static_cast<std::uint32_t>(FStream->Read(FData.data(), FData.size()));
    buffer = FData.data();
  }
  bool Seek(std::int64_t &sample) override {
    return FStream->Seek(4 + sample * 4, TSeekOrigin::soBeginning) >= 0;
  }

private:
  std::vector<std::uint8_t> FData;
};

// A raw file whose frame i holds the sample value i (modulo 2^16) in both channels.
inline void WriteCountingRawFile(const std::string &name, int frames) {
  std::ofstream out(name, std::ios::binary);
  out.write("RAW1", 4);
  for (int i = 0; i < frames; ++i) {
    auto v = static_cast<std::int16_t>(i);
    out.write(reinterpret_cast<const char *>(&v), 2);
    out.write(reinterpret_cast<const char *>(&v), 2);
  }
}

// The frame numbers a run of counting frames holds.
inline std::vector<int> FrameNumbers(const std::uint8_t *data, std::size_t bytes) {
  std::vector<int> frames;
  for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
    std::int16_t v;
    std::memcpy(&v, data + i, 2);
    frames.push_back(static_cast<std::uint16_t>(v));
  }
  return frames;
}

inline std::uint32_t U32At(const std::vector<std::uint8_t> &bytes, std::size_t offset) {
  return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
         (std::uint32_t(bytes[offset + 3]) << 24);
}

// Starts the output on the input; done turns true when the run has ended.
inline void StartRun(TAuOutput &out, TAuInput &input, std::atomic<bool> &done) {
  done = false;
  out.OnDone = [&done](TComponent *) { done = true; };
  out.SetInput(&input);
  out.Run();
}

// Runs the output to its end; the message it ended with ("" for success).
inline std::string RunToEnd(TAuOutput &out, TAuInput &input) {
  std::atomic<bool> done{false};
  StartRun(out, input, done);
  EXPECT_TRUE(PumpUntil([&] { return done.load(); }));
  return out.ExceptionMessage();
}

// Everything an input delivers in one run, asked for in blocks of 5000 bytes.
inline std::vector<std::uint8_t> DecodeAll(TAuInput &in) {
  in.Init();
  std::vector<std::uint8_t> all;
  std::uint8_t *data = nullptr;
  std::uint32_t bytes = 0;
  do {
    bytes = 5000;
    in.GetData(data, bytes);
    all.insert(all.end(), data, data + bytes);
  } while (bytes > 0);
  in.Flush();
  return all;
}

// A fresh folder per test, removed afterwards.
class TTempFolder : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/plindar-pipeline-XXXXXX";
    Folder = mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(Folder); }
  std::string Path(const std::string &name) const { return Folder + "/" + name; }

  std::string Folder;
};

} // namespace pipetest
