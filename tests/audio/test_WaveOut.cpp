// The WAV writer: headers byte for byte, lengths after short, stopped, failed and appended
// runs, and IMA ADPCM checked by independent decoders.
#include "AuWaveIn.h"
#include "AuWaveOut.h"
#include "PipelineSources.h"
#include "Text.h"

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pipetest;

namespace {

using TBytes = std::vector<std::uint8_t>;

class WaveOut : public TTempFolder {
protected:
  // Runs the output to its end; the message it ended with ("" for success).
  std::string RunToEnd(TWaveOut &out, TAuInput &input) {
    bool done = false;
    Exceptions = 0;
    out.OnDone = [&](TComponent *) { done = true; };
    out.OnThreadException = [&](TComponent *) { ++Exceptions; };
    out.SetInput(&input);
    out.Run();
    EXPECT_TRUE(PumpUntil([&] { return done; }));
    EXPECT_EQ(Exceptions, out.ExceptionMessage().empty() ? 0 : 1);
    return out.ExceptionMessage();
  }
  // Writes a file of total bytes of input with the given format.
  TBytes Write(const std::string &name, std::int64_t total, std::uint32_t bits = 16,
               std::uint32_t channels = 2, std::uint32_t rate = 44100, TWavType type = wtPCM) {
    TToneInput in(total);
    in.Bits = bits;
    in.Chans = channels;
    in.Rate = rate;
    TWaveOut out;
    out.SetFileName(name);
    out.SetWavType(type);
    EXPECT_EQ(RunToEnd(out, in), "");
    return ReadFileBytes(name);
  }

  int Exceptions = 0;
};

// The header's lengths agree with the file: RIFF = length - 8, data = length - its offset.
void ExpectConsistent(const TBytes &file, std::size_t dataLengthOffset) {
  ASSERT_GE(file.size(), dataLengthOffset + 4);
  EXPECT_EQ(U32At(file, 4), file.size() - 8);
  EXPECT_EQ(U32At(file, dataLengthOffset), file.size() - dataLengthOffset - 4);
}

TBytes Bytes(std::initializer_list<int> values) {
  TBytes b;
  for (int v : values)
    b.push_back(static_cast<std::uint8_t>(v));
  return b;
}

TBytes Head(const TBytes &file, std::size_t n) {
  return TBytes(file.begin(), file.begin() + std::min(n, file.size()));
}

// Decodes a WAV file into 16-bit samples with an independent program; empty when it fails.
std::vector<std::int16_t> DecodeWith(const std::string &tool, const std::string &wav,
                                     const std::string &raw) {
  std::string command = tool == "sox"
                            ? "sox '" + wav + "' -t raw -e signed-integer -b 16 '" + raw + "'"
                            : "ffmpeg -v error -y -i '" + wav + "' -f s16le '" + raw + "'";
  if (std::system(command.c_str()) != 0)
    return {};
  TBytes bytes = ReadFileBytes(raw);
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

// Signal-to-noise ratio in dB of decoded against the source.
double Snr(const std::vector<std::int16_t> &source, const std::vector<std::int16_t> &decoded) {
  double signal = 0, noise = 0;
  for (std::size_t i = 0; i < source.size() && i < decoded.size(); ++i) {
    signal += double(source[i]) * source[i];
    noise += double(source[i] - decoded[i]) * (source[i] - decoded[i]);
  }
  return 10 * std::log10(signal / std::max(noise, 1.0));
}

// A memory stream whose write at one offset falls short, as a failing disk's would.
class TShortWriteStream : public TMemoryStream {
public:
  explicit TShortWriteStream(std::int64_t failAt) : FFailAt(failAt) {}
  std::int64_t Write(const void *buffer, std::int64_t count) override {
    return Position() == FFailAt ? 0 : TMemoryStream::Write(buffer, count);
  }

private:
  std::int64_t FFailAt;
};

// The first bytes of a file too large to read whole.
TBytes HeadOfFile(const std::string &name, std::size_t n) {
  TBytes head(n);
  std::ifstream(name, std::ios::binary).read(reinterpret_cast<char *>(head.data()), n);
  return head;
}

std::vector<std::int16_t> SourceSamples(const TToneInput &in, std::int64_t bytes) {
  std::vector<std::int16_t> samples(bytes / 2);
  for (std::int64_t i = 0; i < bytes / 2; ++i)
    samples[i] = static_cast<std::int16_t>(in.Pattern(2 * i) | (in.Pattern(2 * i + 1) << 8));
  return samples;
}

} // namespace

// ---- Headers ----

TEST_F(WaveOut, PCMHeaderOfAKnownSize) {
  TBytes file = Write(Path("a.wav"), 40000);
  EXPECT_EQ(Head(file, 44),
            Bytes({'R', 'I', 'F', 'F', 0x64, 0x9C, 0,   0,   'W', 'A',  'V',  'E',  'f', 'm',  't',
                   ' ', 16,  0,   0,   0,    1,    0,   2,   0,   0x44, 0xAC, 0,    0,   0x10, 0xB1,
                   2,   0,   4,   0,   16,   0,    'd', 'a', 't', 'a',  0x40, 0x9C, 0,   0}));
  ASSERT_EQ(file.size(), 44u + 40000u);
  TToneInput reference;
  EXPECT_EQ(file[44], reference.Pattern(0));
  EXPECT_EQ(file.back(), reference.Pattern(39999));
}

TEST_F(WaveOut, ExtensibleHeaderForManyChannelsOrWideSamples) {
  TToneInput in(1800);
  in.Bits = 24;
  in.Chans = 6;
  in.Rate = 48000;
  TWaveOut out;
  out.SetFileName(Path("ext.wav"));
  out.SetCreateNonMsHeaders(false);
  ASSERT_EQ(RunToEnd(out, in), "");
  TBytes file = ReadFileBytes(Path("ext.wav"));
  EXPECT_EQ(
      Head(file, 68),
      Bytes({'R',  'I',  'F',  'F',  0x44, 0x07, 0,    0,    'W',  'A',  'V',  'E',  'f',  'm',
             't',  ' ',  40,   0,    0,    0,    0xFE, 0xFF, 6,    0,    0x80, 0xBB, 0,    0,
             0x00, 0x2F, 0x0D, 0,    18,   0,    24,   0,    22,   0,    24,   0,    0x3F, 0,
             0,    0,    1,    0,    0,    0,    0,    0,    0x10, 0,    0x80, 0,    0,    0xAA,
             0,    0x38, 0x9B, 0x71, 'd',  'a',  't',  'a',  0x08, 0x07, 0,    0}));
  EXPECT_EQ(file.size(), 68u + 1800u);
  EXPECT_EQ(out.WavType(), wtExtPCM); // and it stays so

  TWaveOut classic; // never switches by default
  classic.SetFileName(Path("classic.wav"));
  TToneInput again(1800);
  again.Bits = 24;
  again.Chans = 6;
  ASSERT_EQ(RunToEnd(classic, again), "");
  TBytes plain = ReadFileBytes(Path("classic.wav"));
  EXPECT_EQ(plain.size(), 44u + 1800u);
  EXPECT_EQ(plain[34], 24);
  EXPECT_EQ(plain[20], 1);
}

TEST_F(WaveOut, TheChannelMaskCoversEveryChannel) {
  for (std::uint32_t channels : {1u, 2u, 4u, 8u}) {
    TToneInput in(channels * 300);
    in.Bits = 24;
    in.Chans = channels;
    TWaveOut out;
    out.SetFileName(Path("mask.wav"));
    out.SetCreateNonMsHeaders(false);
    ASSERT_EQ(RunToEnd(out, in), "");
    EXPECT_EQ(U32At(ReadFileBytes(Path("mask.wav")), 40), (1u << channels) - 1) << channels;
  }
}

TEST_F(WaveOut, ASourcesMarkerBitNeverReachesTheHeader) {
  TBytes file = Write(Path("m.wav"), 400, 16 | 128);
  EXPECT_EQ(file[34], 16);
  EXPECT_EQ(file[32], 4);
}

TEST_F(WaveOut, ImaAdpcmMonoHeader) {
  TBytes file = Write(Path("mono.wav"), 2 * 1017 * 2, 16, 1, 44100, wtDVIADPCM);
  EXPECT_EQ(Head(file, 60),
            Bytes({'R', 'I', 'F', 'F',  0x34, 0x04, 0, 0,   'W',  'A',  'V',  'E', 'f', 'm',  't',
                   ' ', 20,  0,   0,    0,    17,   0, 1,   0,    0x44, 0xAC, 0,   0,   0x00, 0x56,
                   0,   0,   0,   2,    4,    0,    2, 0,   0xF9, 3,    'f',  'a', 'c', 't',  4,
                   0,   0,   0,   0xF2, 7,    0,    0, 'd', 'a',  't',  'a',  0,   4,   0,    0}));
  EXPECT_EQ(file.size(), 60u + 2 * 512u);
}

TEST_F(WaveOut, ImaAdpcmStereoHeader) {
  TBytes file = Write(Path("stereo.wav"), 2 * 505 * 4, 16, 2, 44100, wtDVIADPCM);
  EXPECT_EQ(Head(file, 60),
            Bytes({'R', 'I', 'F', 'F',  0x34, 0x04, 0, 0,   'W',  'A',  'V',  'E', 'f', 'm',  't',
                   ' ', 20,  0,   0,    0,    17,   0, 2,   0,    0x44, 0xAC, 0,   0,   0x00, 0xAE,
                   0,   0,   0,   2,    4,    0,    2, 0,   0xF9, 1,    'f',  'a', 'c', 't',  4,
                   0,   0,   0,   0xF2, 3,    0,    0, 'd', 'a',  't',  'a',  0,   4,   0,    0}));
  EXPECT_EQ(file.size(), 60u + 2 * 512u);
}

// The announced block count is rounded; the file holds every block the audio needs, and the
// header says so, with the true number of frames.
TEST_F(WaveOut, ImaAdpcmLengthsFollowTheBlocksWritten) {
  const int frames = 1017 + 400; // 1.39 blocks: the announcement rounds down to one
  TBytes file = Write(Path("part.wav"), frames * 2, 16, 1, 44100, wtDVIADPCM);
  EXPECT_EQ(file.size(), 60u + 2 * 512u);
  EXPECT_EQ(U32At(file, 48), std::uint32_t(frames));
  ExpectConsistent(file, 56);
}

TEST_F(WaveOut, ImaAdpcmBlockHeadersCarryTheFirstSampleAndTheStepIndex) {
  TToneInput in(3 * 1017 * 2);
  in.Chans = 1;
  in.Pattern = SinePattern(1);
  TWaveOut out;
  out.SetWavType(wtDVIADPCM);
  out.SetFileName(Path("blocks.wav"));
  ASSERT_EQ(RunToEnd(out, in), "");
  TBytes file = ReadFileBytes(Path("blocks.wav"));
  auto source = SourceSamples(in, 3 * 1017 * 2);
  for (int block = 0; block < 3; ++block) {
    const std::size_t at = 60 + block * 512;
    EXPECT_EQ(std::int16_t(file[at] | (file[at + 1] << 8)), source[block * 1017]) << block;
    EXPECT_LE(file[at + 2], 88);
    EXPECT_EQ(file[at + 3], 0);
  }
  EXPECT_EQ(file[62], 0);  // the first block starts from step index 0
  EXPECT_GT(file[574], 0); // later ones carry on where the previous block left off
}

TEST_F(WaveOut, ImaAdpcmDecodesCloseToTheSource) {
  for (std::uint32_t channels : {1u, 2u}) {
    const std::int64_t bytes = 44100 * 2 * channels; // one second
    TToneInput in(bytes);
    in.Chans = channels;
    in.Pattern = SinePattern(channels);
    in.BlockBytes = 1000; // blocks of the input never line up with ADPCM blocks
    TWaveOut out;
    out.SetWavType(wtDVIADPCM);
    out.SetFileName(Path("sine.wav"));
    ASSERT_EQ(RunToEnd(out, in), "");
    auto source = SourceSamples(in, bytes);
    for (std::string tool : {"sox", "ffmpeg"}) {
      auto decoded = DecodeWith(tool, Path("sine.wav"), Path("sine.raw"));
      ASSERT_GE(decoded.size(), source.size()) << tool << " " << channels;
      EXPECT_GT(Snr(source, decoded), 30.0) << tool << " " << channels;
    }
  }
}

// ---- Lengths after short, stopped and unknown runs ----

TEST_F(WaveOut, AShortInputIsPaddedToItsAnnouncedSize) {
  TToneInput in(30000, 40000);
  TWaveOut out;
  out.SetFileName(Path("pad.wav"));
  ASSERT_EQ(RunToEnd(out, in), "");
  TBytes file = ReadFileBytes(Path("pad.wav"));
  ASSERT_EQ(file.size(), 44u + 40000u);
  ExpectConsistent(file, 40);
  EXPECT_EQ(file[44 + 29999], in.Pattern(29999));
  for (std::size_t i = 44 + 30000; i < file.size(); ++i)
    ASSERT_EQ(file[i], 0) << i;
}

// An input that delivers more than it announced, or announces more than any header can
// describe (padding up to that would write gigabytes of silence), gets a header for what it
// delivered.
TEST_F(WaveOut, AnAnnouncementThatIsWrongGivesAHeaderForWhatWasDelivered) {
  const struct {
    std::int64_t Delivered, Announced;
  } cases[] = {{50000, 40000}, {1000, 0x100000000ll}};
  for (const auto &c : cases) {
    TToneInput in(c.Delivered, c.Announced);
    TWaveOut out;
    out.SetFileName(Path("told.wav"));
    ASSERT_EQ(RunToEnd(out, in), "");
    TBytes file = ReadFileBytes(Path("told.wav"));
    EXPECT_EQ(file.size(), 44u + c.Delivered) << c.Announced;
    ExpectConsistent(file, 40);
  }
}

TEST_F(WaveOut, AStoppedRunPatchesBothLengths) {
  for (TWavType type : {wtPCM, wtDVIADPCM}) {
    TToneInput in(-1, 1000000000);
    in.Chans = 2;
    TWaveOut out;
    out.SetWavType(type);
    out.SetFileName(Path("stop.wav"));
    bool done = false;
    out.OnDone = [&](TComponent *) { done = true; };
    out.SetInput(&in);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return in.Produced > 300000; }));
    out.Stop(false);
    EXPECT_FALSE(done);
    TBytes file = ReadFileBytes(Path("stop.wav"));
    if (type == wtPCM) {
      ExpectConsistent(file, 40);
      EXPECT_EQ((file.size() - 44) % 4, 0u);
    } else {
      ExpectConsistent(file, 56);
      EXPECT_EQ((file.size() - 60) % 512, 0u);
      EXPECT_EQ(U32At(file, 48), (file.size() - 60) / 512 * 505);
    }
    EXPECT_EQ(out.ExceptionMessage(), "");
  }
}

TEST_F(WaveOut, AnUnknownSizeIsPatchedAtTheEnd) {
  for (TWavType type : {wtPCM, wtDVIADPCM}) {
    TToneInput in(30000, -1);
    TWaveOut out;
    out.SetWavType(type);
    out.SetFileName(Path("unknown.wav"));
    ASSERT_EQ(RunToEnd(out, in), "");
    TBytes file = ReadFileBytes(Path("unknown.wav"));
    if (type == wtPCM) {
      EXPECT_EQ(file.size(), 44u + 30000u);
      ExpectConsistent(file, 40);
    } else {
      ExpectConsistent(file, 56);
      EXPECT_EQ(U32At(file, 48), 30000u / 4);
    }
  }
}

TEST_F(WaveOut, AnInputThatFailsEndsTheRunWithATrueHeader) {
  TToneInput in(100000);
  in.RaiseAfter = 40000;
  in.BlockBytes = 10000;
  TWaveOut out;
  out.SetFileName(Path("fail.wav"));
  EXPECT_EQ(RunToEnd(out, in), "The source failed");
  TBytes file = ReadFileBytes(Path("fail.wav"));
  EXPECT_EQ(file.size(), 44u + 40000u); // not padded as if it had succeeded
  ExpectConsistent(file, 40);
}

TEST_F(WaveOut, AHeaderPatchThatFailsIsReportedAndKeepsTheAudio) {
  TShortWriteStream memory(40); // the data length's field
  TToneInput in(10000, -1);
  TWaveOut out;
  out.SetStream(&memory);
  EXPECT_EQ(RunToEnd(out, in), "Error writing wave file");
  const TBytes file = memory.Data();
  ASSERT_EQ(file.size(), 44u + 10000u);
  EXPECT_EQ(file.back(), in.Pattern(9999));
  EXPECT_EQ(U32At(file, 4), file.size() - 8); // the fields that could be written are true
}

// Lengths are 32-bit: a run that would carry them past their limit stops while the header can
// still describe the file. A sparse file near the limit, appended to, stands in for gigabytes
// of audio; PCM meets the RIFF length's limit, mono IMA ADPCM the frame count's first.
TEST_F(WaveOut, ARunStopsBeforeAHeaderLengthWouldOverflow) {
  struct TCase {
    TWavType Type;
    std::uint32_t Channels, Header, Block, Frames; // Frames per block, 0 for PCM
    std::int64_t Length;                           // of the file before the run
  };
  const std::int64_t maxBlocks = 0xFFFFFFFFll / 1017;
  for (TCase c : {TCase{wtPCM, 2, 44, 4096, 0, 0xFFFFFFFFll + 8 - 3 * 4096 - 1003},
                  TCase{wtDVIADPCM, 1, 60, 512, 1017, 60 + (maxBlocks - 3) * 512}}) {
    SCOPED_TRACE(c.Type);
    const std::string name = Path("huge.wav");
    Write(name, c.Block * 2, 16, c.Channels, 44100, c.Type);
    {
      TFileStream file(name, fmOpenReadWrite);
      file.SetSize(c.Length);
      std::uint8_t field[4];
      wav::PutU32(field, static_cast<std::uint32_t>(c.Length - c.Header));
      file.Seek(c.Header - 4, TSeekOrigin::soBeginning);
      file.Write(field, 4);
    }
    TToneInput in(10 * (c.Frames ? 2 * c.Frames : c.Block)); // ten blocks
    in.Chans = c.Channels;
    in.BlockBytes = c.Block;
    TWaveOut out;
    out.SetFileName(name);
    out.SetFileMode(foAppend);
    EXPECT_EQ(RunToEnd(out, in),
              "The wave file has reached the largest length its header can hold");
    const std::int64_t length = std::filesystem::file_size(name);
    EXPECT_EQ(length, c.Length + 3 * c.Block);
    const TBytes head = HeadOfFile(name, c.Header);
    EXPECT_EQ(U32At(head, 4), length - 8);
    EXPECT_EQ(U32At(head, c.Header - 4), length - c.Header);
    if (c.Type == wtDVIADPCM) {
      EXPECT_EQ(U32At(head, 48), std::uint32_t(maxBlocks * 1017));
    }
    std::filesystem::remove(name);
  }
}

TEST_F(WaveOut, WritesIntoAnAssignedStreamAndLeavesItOpen) {
  TMemoryStream memory;
  TToneInput in(1000, -1);
  TWaveOut out;
  out.SetStream(&memory);
  ASSERT_EQ(RunToEnd(out, in), "");
  TBytes file = memory.Data();
  EXPECT_EQ(file.size(), 44u + 1000u);
  ExpectConsistent(file, 40);
  EXPECT_EQ(out.Stream(), &memory);
}

// A full disk: the file size limit of a child process stands in for it.
TEST_F(WaveOut, ADiskThatFillsUpEndsTheRunAndTheHeaderMatchesTheFile) {
  const std::string name = Path("full.wav");
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100000, 100000};
    setrlimit(RLIMIT_FSIZE, &limit);
    int code;
    {
      TToneInput in(400000);
      TWaveOut out;
      out.SetFileName(name);
      std::string message = RunToEnd(out, in);
      code = message == "Error writing wave file" && Exceptions == 1 ? 0 : 1;
    }
    _exit(code);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the run did not report the failed write";
  TBytes file = ReadFileBytes(name);
  ASSERT_GT(file.size(), 44u);
  EXPECT_LE(file.size(), 100000u);
  ExpectConsistent(file, 40);
  EXPECT_EQ((file.size() - 44) % 4096, 0u); // whole blocks of the input only
  TToneInput reference;
  for (std::size_t i = 44; i < file.size(); i += 997)
    ASSERT_EQ(file[i], reference.Pattern(i - 44)) << i;
}

// ---- Appending ----

TEST_F(WaveOut, AppendingTheSameFormatAddsOnlyData) {
  const std::string name = Path("append.wav");
  TBytes first = Write(name, 4000);
  TToneInput more(2000);
  more.Pattern = [](std::int64_t) { return std::uint8_t(0x5A); };
  TWaveOut out;
  out.SetFileName(name);
  out.SetFileMode(foAppend);
  ASSERT_EQ(RunToEnd(out, more), "");
  TBytes file = ReadFileBytes(name);
  ASSERT_EQ(file.size(), 44u + 6000u);
  EXPECT_TRUE(std::equal(first.begin() + 44, first.end(), file.begin() + 44));
  EXPECT_EQ(file[44 + 4000], 0x5A);
  EXPECT_EQ(file.back(), 0x5A);
  ExpectConsistent(file, 40);
}

TEST_F(WaveOut, AppendingAnotherFormatOrToAnotherFileLeavesTheFileAlone) {
  const std::string name = Path("keep.wav");
  const TBytes original = Write(name, 4000);
  struct TCase {
    std::uint32_t Rate, Bits;
    TWavType Type;
    const char *Message;
  };
  for (TCase c : {TCase{22050, 16, wtPCM, "Cannot append data in different audio format."},
                  TCase{44100, 8, wtPCM, "Cannot append data in different audio format."},
                  TCase{44100, 8, wtDVIADPCM, "Cannot append data in different audio format."}}) {
    TToneInput in(1000);
    in.Rate = c.Rate;
    in.Bits = c.Bits;
    TWaveOut out;
    out.SetWavType(c.Type); // the file's own type decides
    out.SetFileName(name);
    out.SetFileMode(foAppend);
    EXPECT_EQ(RunToEnd(out, in), c.Message);
    EXPECT_FALSE(in.Busy());
    EXPECT_EQ(ReadFileBytes(name), original);
  }

  const std::string text = Path("text.wav");
  std::ofstream(text) << "this is no wave file";
  TToneInput in(1000);
  TWaveOut out;
  out.SetFileName(text);
  out.SetFileMode(foAppend);
  EXPECT_EQ(RunToEnd(out, in), "Cannot append data to this .wav file.");
  EXPECT_EQ(ReadFileBytes(text).size(), 20u);
}

// Audio added behind a chunk that follows the data would turn that chunk into noise.
TEST_F(WaveOut, AppendingIsRefusedWhenAChunkFollowsTheData) {
  const std::string name = Path("list.wav");
  TBytes file = Write(name, 4000);
  const char list[] = "LIST\x04\0\0\0INFO";
  file.insert(file.end(), list, list + 12);
  wav::PutU32(file.data() + 4, static_cast<std::uint32_t>(file.size() - 8));
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<char *>(file.data()), file.size());
  TToneInput in(1000);
  TWaveOut out;
  out.SetFileName(name);
  out.SetFileMode(foAppend);
  EXPECT_EQ(RunToEnd(out, in), "Cannot append data to this .wav file.");
  EXPECT_EQ(ReadFileBytes(name), file);
}

// A chunk of odd length before the data, with its pad byte or, from some writers, without.
TEST_F(WaveOut, AppendingWalksOverAnOddChunkPaddedOrNot) {
  for (bool padded : {true, false}) {
    SCOPED_TRACE(padded ? "padded" : "unpadded");
    const std::string name = Path(padded ? "padded.wav" : "unpadded.wav");
    TBytes file = Write(name, 4000);
    TBytes note = {'n', 'o', 't', 'e', 37, 0, 0, 0};
    note.resize(8 + 37 + (padded ? 1 : 0), 'x');
    file.insert(file.begin() + 36, note.begin(), note.end());
    wav::PutU32(file.data() + 4, static_cast<std::uint32_t>(file.size() - 8));
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<char *>(file.data()), std::streamsize(file.size()));
    TToneInput more(2000);
    TWaveOut out;
    out.SetFileName(name);
    out.SetFileMode(foAppend);
    ASSERT_EQ(RunToEnd(out, more), "");
    file = ReadFileBytes(name);
    EXPECT_EQ(file.size(), 44u + note.size() + 6000u);
    ExpectConsistent(file, 40 + note.size());
  }
}

TEST_F(WaveOut, AppendingToANewOrEmptyFileWritesAFreshHeader) {
  for (bool exists : {false, true}) {
    const std::string name = Path(exists ? "empty.wav" : "new.wav");
    if (exists)
      std::ofstream{name};
    TToneInput in(3000);
    TWaveOut out;
    out.SetFileName(name);
    out.SetFileMode(foAppend);
    ASSERT_EQ(RunToEnd(out, in), "");
    TBytes file = ReadFileBytes(name);
    ASSERT_EQ(file.size(), 44u + 3000u);
    ExpectConsistent(file, 40);
    EXPECT_EQ(Head(file, 4), Bytes({'R', 'I', 'F', 'F'}));
  }
}

TEST_F(WaveOut, AppendingImaAdpcmContinuesTheBlocks) {
  const std::string name = Path("ima.wav");
  const int firstFrames = 2 * 505 - 100; // the last block of the first run is not full
  TToneInput first(firstFrames * 4);
  first.Pattern = SinePattern(2);
  TWaveOut out;
  out.SetWavType(wtDVIADPCM);
  out.SetFileName(name);
  ASSERT_EQ(RunToEnd(out, first), "");

  TToneInput second(40 * 505 * 4);
  second.Pattern = SinePattern(2);
  TWaveOut appender; // a fresh output learns the type and block size from the file
  appender.SetFileName(name);
  appender.SetFileMode(foAppend);
  appender.SetBlockSize(256);
  ASSERT_EQ(RunToEnd(appender, second), "");
  EXPECT_EQ(appender.WavType(), wtDVIADPCM);
  EXPECT_EQ(appender.BlockSize(), 512);
  TBytes file = ReadFileBytes(name);
  EXPECT_EQ(file.size(), 60u + 42 * 512u);
  ExpectConsistent(file, 56);
  EXPECT_EQ(U32At(file, 48), 42u * 505u); // the first run's silence is now inside the audio

  auto decoded = DecodeWith("sox", name, Path("ima.raw"));
  ASSERT_GE(decoded.size(), 42u * 505u * 2u);
  auto tail = SourceSamples(second, 40 * 505 * 4);
  std::vector<std::int16_t> appended(decoded.begin() + 2 * 505 * 2, decoded.end());
  EXPECT_GT(Snr(tail, appended), 30.0);
}

// ---- Properties and refusals ----

TEST_F(WaveOut, PropertiesTakeOnlyTheValuesTheyAllow) {
  TWaveOut out;
  out.SetBlockSize(510);
  EXPECT_EQ(out.BlockSize(), 512);
  out.SetBlockSize(0);
  EXPECT_EQ(out.BlockSize(), 512);
  out.SetBlockSize(1024);
  EXPECT_EQ(out.BlockSize(), 1024);
  out.SetWavType(wtMSADPCM);
  EXPECT_EQ(out.WavType(), wtPCM);
  out.SetWavType(wtExtPCM);
  EXPECT_EQ(out.WavType(), wtPCM);
  out.SetWavType(wtDVIADPCM);
  EXPECT_EQ(out.WavType(), wtDVIADPCM);
  out.SetFileMode(foAppend);
  EXPECT_EQ(out.FileMode(), foAppend);

  TToneInput in(-1);
  out.SetWavType(wtPCM);
  out.SetFileName(Path("busy.wav"));
  out.SetInput(&in);
  out.SetFileMode(foRewrite);
  out.Run();
  out.SetWavType(wtDVIADPCM); // not while running
  out.SetBlockSize(256);
  EXPECT_EQ(out.WavType(), wtPCM);
  EXPECT_EQ(out.BlockSize(), 1024);
  out.Stop(false);
}

// Every block size the writer takes gives a file the reader reads; too small a block holds no
// codes, and a mono block above 32768 bytes has more samples than its 16-bit field can count.
TEST_F(WaveOut, AdpcmBlockSizesAreThoseTheReaderReads) {
  struct TCase {
    std::uint32_t Channels;
    std::uint16_t BlockSize;
    bool Taken;
  };
  for (TCase c :
       {TCase{1, 4, false}, TCase{1, 8, true}, TCase{1, 32768, true}, TCase{1, 32772, false},
        TCase{2, 8, false}, TCase{2, 16, true}, TCase{2, 65528, true}}) {
    SCOPED_TRACE(std::to_string(c.Channels) + " channels, block " + std::to_string(c.BlockSize));
    TToneInput in(40000 * c.Channels);
    in.Chans = c.Channels;
    TWaveOut out;
    out.SetWavType(wtDVIADPCM);
    out.SetBlockSize(c.BlockSize);
    out.SetFileName(Path("block.wav"));
    EXPECT_EQ(RunToEnd(out, in), c.Taken ? "" : "Invalid ADPCM block size");
    if (c.Taken) {
      TWaveIn reader;
      reader.SetFileName(Path("block.wav"));
      EXPECT_TRUE(reader.Valid());
      EXPECT_EQ(reader.TotalSamples(), 20000);
    }
  }
}

TEST_F(WaveOut, AdpcmIsRefusedForInputItCannotEncode) {
  struct TCase {
    std::uint32_t Bits, Channels;
    std::uint16_t BlockSize;
    const char *Message;
    bool NonMsHeaders = true; // false: PCM of this input would take the extensible header
  };
  for (TCase c : {TCase{8, 1, 512, "Cannot encode 8 bit sound into ADPCM."},
                  TCase{24, 2, 512, "Cannot encode 8 bit sound into ADPCM."},
                  TCase{16, 4, 512, "Cannot encode this channel count into ADPCM."},
                  TCase{16, 3, 512, "Cannot encode this channel count into ADPCM.", false},
                  TCase{16, 2, 516, "Invalid ADPCM block size"}}) {
    TToneInput in(4000);
    in.Bits = c.Bits;
    in.Chans = c.Channels;
    TWaveOut out;
    out.SetCreateNonMsHeaders(c.NonMsHeaders);
    out.SetWavType(wtDVIADPCM);
    out.SetBlockSize(c.BlockSize);
    out.SetFileName(Path("refused.wav"));
    EXPECT_EQ(RunToEnd(out, in), c.Message);
    EXPECT_FALSE(in.Busy());
  }
}

TEST_F(WaveOut, AFileThatCannotBeCreatedIsReportedAndNothingIsLeft) {
  TToneInput in(1000);
  TWaveOut out;
  EXPECT_EQ(RunToEnd(out, in), "File name is not assigned.");
  out.SetFileName(Path("no/such/folder/x.wav"));
  EXPECT_EQ(RunToEnd(out, in), "No such file or directory");
  std::ofstream(Path("plain")) << "x";
  out.SetFileName(Path("plain/x.wav"));
  EXPECT_EQ(RunToEnd(out, in), "Not a directory");
  EXPECT_FALSE(in.Busy());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder),
                          std::filesystem::directory_iterator()),
            1);         // only the plain file of this test
  if (geteuid() != 0) { // permissions do not stop the superuser
    std::filesystem::create_directory(Path("locked"));
    std::filesystem::permissions(Path("locked"), std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::owner_exec);
    out.SetFileName(Path("locked/x.wav"));
    EXPECT_EQ(RunToEnd(out, in), plat::SysErrorMessage(EACCES));
    std::filesystem::permissions(Path("locked"), std::filesystem::perms::owner_all);
  }
}

TEST_F(WaveOut, ManyWritersRunAtOnce) {
  constexpr int count = 6;
  std::vector<std::unique_ptr<TToneInput>> inputs;
  std::vector<std::unique_ptr<TWaveOut>> outs;
  int done = 0;
  for (int i = 0; i < count; ++i) {
    inputs.push_back(std::make_unique<TToneInput>(200000 + 4 * i));
    outs.push_back(std::make_unique<TWaveOut>());
    outs[i]->SetFileName(Path("many" + std::to_string(i) + ".wav"));
    outs[i]->SetWavType(i % 2 ? wtDVIADPCM : wtPCM);
    outs[i]->SetInput(inputs[i].get());
    outs[i]->OnDone = [&](TComponent *) { ++done; };
  }
  for (auto &out : outs)
    out->Run();
  ASSERT_TRUE(PumpUntil([&] { return done == count; }));
  for (int i = 0; i < count; ++i) {
    TBytes file = ReadFileBytes(Path("many" + std::to_string(i) + ".wav"));
    ExpectConsistent(file, i % 2 ? 56 : 40);
    if (i % 2 == 0) {
      EXPECT_EQ(file.size(), 44u + 200000u + 4 * i);
    }
  }
}

TEST_F(WaveOut, DestroyingARunningWriterLeavesAConsistentFile) {
  TToneInput in(-1, 1000000000);
  {
    TWaveOut out;
    out.SetFileName(Path("gone.wav"));
    out.SetInput(&in);
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return in.Produced > 100000; }));
  }
  ExpectConsistent(ReadFileBytes(Path("gone.wav")), 40);
  EXPECT_FALSE(in.Busy());
}

// A window shows the type while a run switches it to the extensible header.
TEST_F(WaveOut, TheTypeMayBeReadWhileARunChoosesIt) {
  TToneInput in(-1, 1000000000);
  in.Bits = 24;
  TWaveOut out;
  out.SetFileName(Path("ext.wav"));
  out.SetCreateNonMsHeaders(false);
  out.SetInput(&in);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return out.WavType() == wtExtPCM; }));
  out.Stop(false);
}
