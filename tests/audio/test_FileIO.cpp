// File streams and the file input's range, looping, seeking and open-on-demand rules.
#include "PipelineSources.h"
#include "Text.h"

#include <cstring>

using namespace pipetest;

namespace {

class FileStreams : public TTempFolder {};
class FileInput : public TTempFolder {
protected:
  void SetUp() override {
    TTempFolder::SetUp();
    Name = Path("count.raw");
    WriteCountingRawFile(Name, 10000);
  }
  // Every frame number the input delivers from now to its end (or to limit bytes).
  static std::vector<int> Drain(TAuInput &input, std::size_t limit = 1 << 30) {
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < limit) {
      std::uint8_t *data = nullptr;
      std::uint32_t n = 4096;
      input.GetData(data, n);
      if (n == 0)
        break;
      bytes.insert(bytes.end(), data, data + n);
    }
    bytes.resize(std::min(bytes.size(), limit));
    return FrameNumbers(bytes.data(), bytes.size());
  }
  static std::vector<int> Frames(int first, int last) {
    std::vector<int> frames;
    for (int i = first; i <= last; ++i)
      frames.push_back(i);
    return frames;
  }

  std::string Name;
};

// An output that keeps nothing; only the file-mode rule of the base class matters here.
class TNullFileOut : public TAuFileOut {
public:
  ~TNullFileOut() override { ShutDown(); }

protected:
  void Prepare() override {}
  bool DoOutput(bool) override { return false; }
  void Done() override {}
};

// Collects its input's data on the output thread; while held it keeps asking after the end.
struct TFileSink : TAuOutput {
  std::vector<std::uint8_t> Data;
  std::atomic<int> Blocks{0};
  std::atomic<bool> Hold{false};
  ~TFileSink() override { ShutDown(); }
  void Prepare() override { FInput->Init(); }
  bool DoOutput(bool abort) override {
    std::uint8_t *d = nullptr;
    std::uint32_t n = 3000;
    FInput->GetData(d, n);
    Data.insert(Data.end(), d, d + n);
    ++Blocks;
    return (n > 0 || Hold) && !abort;
  }
  void Done() override { FInput->Flush(); }
};

} // namespace

// ---- Streams ----

TEST_F(FileStreams, CreateReplacesAFileAndReadsBackWhatWasWritten) {
  std::string name = Path("a.bin");
  {
    TAuFileStream s(name, fmCreate);
    s.WriteBuffer("0123456789", 10);
  }
  {
    TAuFileStream s(name, fmCreate);
    s.WriteBuffer("abc", 3);
    EXPECT_EQ(s.Size(), 3);
    s.SetPosition(1);
    char c[2];
    s.ReadBuffer(c, 2);
    EXPECT_EQ(std::string(c, 2), "bc");
    EXPECT_EQ(MessageOf([&] { s.ReadBuffer(c, 1); }), "Stream read error");
  }
  EXPECT_EQ(ReadFileBytes(name).size(), 3u);
}

// Names are bytes: one in Latin-1, not valid UTF-8, opens as it is.
TEST_F(FileStreams, NamesOutsideAsciiOpen) {
  for (const std::string name : {Path("Motörhead – 東京.wav"), Path("Mot\xf6rhead.wav")}) {
    { TAuFileStream s(name, fmCreate); }
    EXPECT_TRUE(std::filesystem::exists(name)) << name;
    EXPECT_NO_THROW(TAuFileStream(name, fmOpenRead)) << name;
  }
}

TEST_F(FileStreams, FailuresCarryTheSystemsText) {
  EXPECT_EQ(MessageOf([&] { TAuFileStream(Path("none.wav"), fmOpenRead); }),
            "No such file or directory");
  EXPECT_EQ(MessageOf([&] { TAuFileStream(Path("no/x.wav"), fmCreate); }),
            "No such file or directory");
  { TAuFileStream s(Path("file"), fmCreate); }
  EXPECT_EQ(MessageOf([&] { TAuFileStream(Path("file/x.wav"), fmCreate); }), "Not a directory");
}

// Sharing maps onto advisory locks: a file written without sharing cannot be opened again,
// readers that let others read share it, and a shared reader keeps writers out.
TEST_F(FileStreams, SharingModesKeepOtherOpenersOut) {
  const std::string name = Path("shared.wav");
  {
    TAuFileStream writer(name, fmCreate);
    EXPECT_EQ(MessageOf([&] { TAuFileStream(name, fmOpenRead | fmShareDenyWrite); }),
              "the file is in use: another program or job is reading or writing it");
    EXPECT_NE(MessageOf([&] { TAuFileStream(name, fmCreate); }), "");
  }
  {
    TAuFileStream reader1(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_NO_THROW(TAuFileStream(name, fmOpenRead | fmShareDenyWrite));
    EXPECT_NE(MessageOf([&] { TAuFileStream(name, fmOpenReadWrite | fmShareExclusive); }), "");
    EXPECT_NO_THROW(TAuFileStream(name, fmOpenReadWrite | fmShareDenyNone));
  }
  // A create that is refused leaves the file it found alone.
  {
    TAuFileStream keep(name, fmOpenReadWrite | fmShareExclusive);
    keep.WriteBuffer("data", 4);
    EXPECT_NE(MessageOf([&] { TAuFileStream(name, fmCreate); }), "");
    EXPECT_EQ(keep.Size(), 4);
  }
}

TEST(MemoryStreams, ReadWriteSeekAndSize) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Size(), 5);
  EXPECT_EQ(m.Seek(-2, TSeekOrigin::soEnd), 3);
  char c[8] = {};
  EXPECT_EQ(m.Read(c, 8), 2);
  EXPECT_EQ(std::string(c), "lo");
  EXPECT_EQ(m.Seek(-1, TSeekOrigin::soBeginning), -1);
  m.SetPosition(7); // writing past the end fills the gap with zeros
  m.WriteBuffer("!", 1);
  EXPECT_EQ(m.Size(), 8);
  EXPECT_EQ(m.Data()[6], 0);
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  TMemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(m, 0), 2);
  EXPECT_EQ(std::string(copy.Data().begin(), copy.Data().end()), "he");
}

// ---- File inputs ----

TEST_F(FileInput, ASampleRangeDeliversExactlyItsFramesAndIsForgottenAfterTheRun) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.SetStartSample(1000);
  in.SetEndSample(1999);
  in.Init();
  EXPECT_EQ(in.Size(), 4000);
  EXPECT_EQ(in.TotalSamples(), 1000);
  EXPECT_EQ(Drain(in), Frames(1000, 1999));
  EXPECT_EQ(in.Position(), 4000);
  in.Flush();
  EXPECT_EQ(in.StartSample(), 0);
  EXPECT_EQ(in.EndSample(), -1);
  in.Init();
  EXPECT_EQ(Drain(in).size(), 10000u);
  in.Flush();
}

TEST_F(FileInput, AnEndBeyondTheFileMeansToTheEnd) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.SetStartSample(9990);
  in.SetEndSample(20000);
  in.Init();
  EXPECT_EQ(in.EndSample(), -1);
  EXPECT_EQ(Drain(in), Frames(9990, 9999));
  in.Flush();
}

TEST_F(FileInput, AnEmptyOrReversedRangeDeliversNothing) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.SetStartSample(500);
  in.SetEndSample(100);
  in.Init();
  EXPECT_EQ(in.Size(), 0);
  EXPECT_TRUE(Drain(in).empty());
  in.Flush();
}

TEST_F(FileInput, LoopingRestartsAtTheRangeWithoutLosingTheLastBlock) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.SetLoop(true);
  in.SetStartSample(10);
  in.SetEndSample(1509); // 1500 frames: the last block before each restart is a short one
  in.Init();
  std::vector<int> expected;
  for (int turn = 0; turn < 3; ++turn)
    for (int i = 10; i <= 1509; ++i)
      expected.push_back(i);
  for (int i = 10; i < 15; ++i)
    expected.push_back(i);
  EXPECT_EQ(Drain(in, expected.size() * 4), expected);
  EXPECT_LT(in.Position(), 1500 * 4); // counted again from the restart
  in.Flush();
}

TEST_F(FileInput, SeekingAnIdleInputMovesTheStartOfTheNextRun) {
  TRawFileIn in;
  in.SetFileName(Name);
  EXPECT_TRUE(in.SeekSample(500));
  EXPECT_EQ(in.StartSample(), 500);
  EXPECT_EQ(in.EndSample(), -1);
  EXPECT_FALSE(in.SeekSample(-1));
  in.Init();
  EXPECT_EQ(Drain(in, 8), Frames(500, 501));
  in.Flush();
}

TEST_F(FileInput, SeekingABusyInputMovesAtOnceAndDropsReadAhead) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.Init();
  Drain(in, 400);
  in.Prefetch(4000);
  EXPECT_TRUE(in.SeekSample(3000));
  EXPECT_EQ(in.Position(), 3000 * 4);
  EXPECT_EQ(Drain(in, 8), Frames(3000, 3001));
  EXPECT_FALSE(in.SeekSample(10001)); // beyond the file
  in.Flush();
}

TEST_F(FileInput, ASeekBackAfterTheLastBlockDeliversAgain) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.SetStartSample(9000);
  in.Init();
  Drain(in, 4000); // the whole range: the input has seen its end
  EXPECT_TRUE(in.SeekSample(10));
  EXPECT_EQ(Drain(in, 8), Frames(9010, 9011));
  in.Flush();
}

TEST_F(FileInput, JumpGoesToTheEndAndBackToTheStart) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.Init();
  Drain(in, 20000);
  in.Jump(+1000);
  EXPECT_EQ(in.Position(), in.Size());
  EXPECT_TRUE(Drain(in).empty());
  in.Jump(-1000);
  EXPECT_EQ(in.Position(), 0);
  EXPECT_EQ(Drain(in, 8), Frames(0, 1));
  in.Jump(+500); // from a tenth of the file (one block read) to six tenths
  EXPECT_EQ(Drain(in, 4), Frames(6000, 6000));
  in.Flush();
}

TEST_F(FileInput, AMissingFileRaisesTheSystemsMessage) {
  TRawFileIn in;
  EXPECT_EQ(MessageOf([&] { in.Init(); }), "The file name is not assigned");
  in.SetFileName(Path("missing.raw"));
  EXPECT_EQ(MessageOf([&] { in.Init(); }), "No such file or directory");
  EXPECT_FALSE(in.Busy());
  EXPECT_FALSE(in.Valid());
  EXPECT_EQ(MessageOf([&] { in.SampleRate(); }), "No such file or directory");
  in.SetFileName(Name); // a good name afterwards works
  EXPECT_NO_THROW(in.Init());
  EXPECT_EQ(MessageOf([&] { in.Init(); }), "The component is Busy");
  in.Flush();
}

TEST_F(FileInput, AnUnrecognisedFileDeliversNothing) {
  std::string junk = Path("junk.raw");
  std::ofstream(junk) << "not audio at all";
  TRawFileIn in;
  in.SetFileName(junk);
  EXPECT_FALSE(in.Valid());
  in.Init();
  EXPECT_EQ(in.Size(), 0);
  EXPECT_EQ(in.BitsPerSample(), 8u);
  EXPECT_EQ(in.SampleRate(), 8000u);
  EXPECT_TRUE(Drain(in).empty());
  in.Flush();
}

// A format query opens the file and keeps it open (and locked against writers) until the
// input is flushed, renamed or destroyed.
TEST_F(FileInput, AFormatQueryOpensTheFileUntilFlushOrANewName) {
  auto writerBlocked = [&] {
    return !MessageOf([&] { TAuFileStream(Name, fmOpenReadWrite); }).empty();
  };
  {
    TRawFileIn in;
    in.SetFileName(Name);
    EXPECT_FALSE(writerBlocked());
    EXPECT_EQ(in.Channels(), 2u);
    EXPECT_EQ(in.TotalSamples(), 10000);
    EXPECT_EQ(in.TotalTime(), 0u); // 10000 frames at 44100 Hz round to 0 seconds
    EXPECT_TRUE(writerBlocked());
    in.SetFileName(Name);
    EXPECT_FALSE(writerBlocked());
    in.Init();
    EXPECT_TRUE(writerBlocked());
    in.Flush();
    EXPECT_FALSE(writerBlocked());
    EXPECT_TRUE(in.Valid());
    EXPECT_TRUE(writerBlocked());
  }
  EXPECT_FALSE(writerBlocked());
}

TEST_F(FileInput, AnAssignedStreamIsReadAndNeverFreed) {
  auto *memory = new TMemoryStream;
  memory->WriteBuffer("RAW1", 4);
  std::int16_t frames[] = {7, 7, 8, 8};
  memory->WriteBuffer(frames, sizeof frames);
  {
    TRawFileIn in;
    in.SetStream(memory);
    EXPECT_TRUE(in.Valid());
    in.Init();
    EXPECT_EQ(Drain(in), Frames(7, 8));
    in.Flush();
  }
  EXPECT_EQ(memory->Size(), 12); // still ours
  delete memory;
}

TEST_F(FileInput, AFileRunsThroughAnOutputThread) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.SetStartSample(100);
  in.SetEndSample(8099);
  TPassConverter pass;
  pass.SetInput(&in);
  TFileSink sink;
  bool done = false;
  sink.OnDone = [&](TComponent *) { done = true; };
  sink.SetInput(&pass);
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return done; }));
  EXPECT_EQ(FrameNumbers(sink.Data.data(), sink.Data.size()), Frames(100, 8099));
  EXPECT_EQ(in.StartSample(), 0);
}

TEST_F(FileInput, ABusyInputKeepsItsFileUntilTheRunEnds) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.Init();
  Drain(in, 400); // one block of 1000 frames
  EXPECT_EQ(MessageOf([&] { in.SetFileName(Path("other.raw")); }), "The component is Busy");
  TMemoryStream memory;
  EXPECT_EQ(MessageOf([&] { in.SetStream(&memory); }), "The component is Busy");
  EXPECT_EQ(in.FileName(), Name);
  EXPECT_EQ(Drain(in, 8), Frames(1000, 1001));
  in.Flush();
  EXPECT_EQ(MessageOf([&] { in.SetStream(&memory); }), "");
}

// The window asks for the format while the output thread finds the file unrecognised.
TEST_F(FileInput, TheFormatMayBeAskedForDuringARun) {
  std::string junk = Path("junk.raw");
  std::ofstream(junk) << "not audio at all";
  TRawFileIn in;
  in.SetFileName(junk);
  TFileSink sink;
  sink.Hold = true;
  sink.SetInput(&in);
  sink.Run();
  ASSERT_TRUE(PumpUntil(
      [&] { return in.BitsPerSample() == 8 && in.Channels() == 1 && in.SampleRate() == 8000; }));
  sink.Stop(false);
}

// A stage put between a running converter and the file input they share takes the file over.
TEST_F(FileInput, AStageInsertedBeforeARunningConverterTakesItsFileInputOver) {
  TRawFileIn in;
  in.SetFileName(Name);
  in.SetLoop(true);
  TPassConverter first, inserted;
  first.SizeLimit = inserted.SizeLimit = -1; // as long as the loop goes on
  first.SetInput(&in);
  inserted.SetInput(&in);
  TFileSink sink;
  sink.SetInput(&first);
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return sink.Blocks > 5; }));
  EXPECT_EQ(MessageOf([&] { first.SetInput(&inserted); }), "");
  EXPECT_TRUE(inserted.Busy());
  const int blocks = sink.Blocks;
  ASSERT_TRUE(PumpUntil([&] { return sink.Blocks > blocks + 5; }));
  sink.Stop(false);
  EXPECT_EQ(sink.ExceptionMessage(), "");
  EXPECT_FALSE(in.Busy());

  // A replacement that cannot start ends the run where it is.
  TToneInput broken;
  broken.InitRaises = true;
  first.SetInput(&in);
  bool done = false;
  sink.OnDone = [&](TComponent *) { done = true; };
  const int before = sink.Blocks;
  sink.Run();
  ASSERT_TRUE(PumpUntil([&] { return sink.Blocks > before + 2; }));
  EXPECT_EQ(MessageOf([&] { first.SetInput(&broken); }), "The source cannot start");
  ASSERT_TRUE(PumpUntil([&] { return done; }));
  EXPECT_FALSE(in.Busy());
}

TEST(FileOutput, OnlyOutputsThatCanAppendKeepTheAppendMode) {
  TNullFileOut out;
  out.SetFileMode(foAppend);
  EXPECT_EQ(out.FileMode(), foRewrite);
}
