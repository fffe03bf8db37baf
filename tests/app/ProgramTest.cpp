// The plindar program run as a user runs it: options, the printed track list, bad images,
// files played on SDL's disk driver, which writes what is played to a file.
#include "AuVorbis.h"
#include "AudioDisc.h"
#include "CddbServer.h"
#include "FileContents.h"
#include "Folders.h"
#include "Global.h"
#include "MusicBrainz.h"
#include "MusicBrainzServer.h"
#include "RunProgram.h"
#include "SoxCheck.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct TRun {
  int ExitCode = -1; // -1 when the program did not end normally (a crash)
  std::string Out, Err;
};

std::string Quoted(const std::string &text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::error_code ec;
    fs::remove_all(plat::ConfigHome() + "Varnex", ec);
  }

  // Runs the program with the arguments; env is put before it (for example "env -u DISPLAY").
  TRun Run(const std::vector<std::string> &args, const std::string &env = "") {
    std::string command = env + " " + Quoted(PLINDAR_PROGRAM);
    for (auto &a : args)
      command += " " + Quoted(a);
    return RunCommand(command);
  }
  // Runs a shell command line with its output and errors read back.
  TRun RunCommand(std::string command) {
    command += " >" + Quoted(Dir.File("out")) + " 2>" + Quoted(Dir.File("err"));
    int status = std::system(command.c_str());
    TRun run;
    if (status != -1 && WIFEXITED(status))
      run.ExitCode = WEXITSTATUS(status);
    run.Out = FileText(Dir.File("out"));
    run.Err = FileText(Dir.File("err"));
    return run;
  }

  // --convert run as a script runs it: no screen, standard error not a terminal.
  TRun Convert(const std::string &in, const std::string &out,
               const std::vector<std::string> &options = {}) {
    std::vector<std::string> args = {"--convert", Dir.File(in), Dir.File(out)};
    args.insert(args.end(), options.begin(), options.end());
    return Run(args, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
  }
  // One second of a 1000 Hz tone, the same on both channels: 44100 Hz, 16-bit stereo.
  void MakeTone(const std::string &name, const std::string &channels = "2") {
    ASSERT_EQ(RunProgram({"sox", "-R", "-n", "-r", "44100", "-c", channels, "-b", "16",
                          Dir.File(name), "synth", "1", "sine", "1000", "gain", "-3"})
                  .ExitStatus,
              0);
  }
  // Bytes of 16-bit PCM as oggdec decodes a file; 0 when it cannot.
  std::size_t OggDecBytes(const std::string &ogg) {
    const std::string raw = Dir.File("oggdec.raw");
    if (RunProgram({"oggdec", "-Q", "-R", "-o", raw, Dir.File(ogg)}).ExitStatus != 0)
      return 0;
    const std::size_t bytes = ReadFileBytes(raw).size();
    fs::remove(raw);
    return bytes;
  }
  // The environment that plays on SDL's disk driver into the file "played".
  std::string DiskSound() const {
    return "env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + Quoted(Dir.File("played"));
  }
  // The played bytes from the first sound on.
  std::vector<std::uint8_t> PlayedSound() const {
    const std::vector<std::uint8_t> played = ReadFileBytes(Dir.File("played"));
    return {std::find_if(played.begin(), played.end(), [](std::uint8_t b) { return b != 0; }),
            played.end()};
  }

  TTempDir Dir;
};

// A 44100 Hz 16-bit stereo WAV file of the given audio.
void WriteWav(const std::string &name, const std::vector<std::uint8_t> &audio) {
  auto le = [](std::uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
      out += char(v >> (8 * i));
    return out;
  };
  const auto size = static_cast<std::uint32_t>(audio.size());
  std::ofstream(name, std::ios::binary)
      << "RIFF" << le(36 + size, 4) << "WAVEfmt " << le(16, 4) << le(1, 2) << le(2, 2)
      << le(44100, 4) << le(176400, 4) << le(4, 2) << le(16, 2) << "data" << le(size, 4)
      << std::string(audio.begin(), audio.end());
}

} // namespace

// With no drive chosen in the options, the first image named is listed, also on a machine
// with a drive of its own.
TEST_F(ProgramTest, ListPrintsOneTabSeparatedRowPerTrack) {
  std::string cue = WriteAudioDisc(Dir.Path(), "three", {65 * 75 + 30, 20 * 75 + 50, 4});
  TRun run = Run({"--cd-image", cue, "--list"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "1\tTrack01\t01:05\t10.93\n"
                     "2\tTrack02\t00:21\t03.53\n"
                     "3\tTrack03\t00:00\t00.00\n");
  // Listing is no session: nothing is written to the disc cache.
  EXPECT_FALSE(fs::exists(GetSettingsFolder() + "cdinfo.dat"));
}

TEST_F(ProgramTest, QueryLooksTheTitlesUpFromTheSourcesAsked) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "three", {300, 450, 300});
  std::string mbId;
  {
    TImageDrives drives({cue});
    TToc toc{};
    ASSERT_TRUE(cd::ReadDriveToc(0, toc));
    mbId = mb::DiscId(mb::TocOf(toc));
  }
  TCddbServer freedb;
  freedb.AddEntry("blues", "0b000e03", "plindar_three.xmcd");
  TMusicBrainzServer known, unknown;
  const auto named = [&mbId](const std::string &album) {
    return R"({"title": ")" + album + R"(", "date": "2011", "country": "DE",
        "artist-credit": [{"name": "The Band"}], "media": [{"format": "CD", "discs": [{"id": ")" +
           mbId + R"("}], "tracks": [{"title": ")" + album + R"( One"}]}]})";
  };
  known.Answer(mbId, R"({"releases": [)" + named("First") + "," + named("Second") + "]}");
  struct {
    std::vector<std::string> Source;
    const TMusicBrainzServer &Service;
    int ExitCode;
    std::string FirstRow, Err;
  } cases[] = {
      {{"--query-source", "musicbrainz"},
       known,
       0,
       "First One",
       "plindar: MusicBrainz also lists The Band - Second (2011, DE, CD)\n"},
      {{},
       known,
       0,
       "First One", // the setting's default: MusicBrainz first
       "plindar: MusicBrainz also lists The Band - Second (2011, DE, CD)\n"},
      {{"--query-source", "freedb"}, known, 0, "Opening Theme", ""},
      {{"--query-source", "both"},
       unknown,
       0,
       "Opening Theme",
       "plindar: MusicBrainz lookup failed: MusicBrainz knows no disc with the id " + mbId + "\n"},
      {{"--query-source", "musicbrainz"},
       unknown,
       1,
       "",
       "plindar: MusicBrainz lookup failed: MusicBrainz knows no disc with the id " + mbId + "\n"},
  };
  for (const auto &c : cases) {
    std::vector<std::string> args = {
        "--cd-image",        cue,
        "--query",           "--list",
        "--musicbrainz-url", c.Service.Url(),
        "--cddb-server",     "http://" + freedb.Address() + "/~cddb/cddb.cgi"};
    args.insert(args.end(), c.Source.begin(), c.Source.end());
    const TRun run = Run(args);
    SCOPED_TRACE(c.Source.empty() ? "setting" : c.Source[1]);
    EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err;
    EXPECT_EQ(run.Out.substr(0, run.Out.find('\n')),
              c.FirstRow.empty() ? "" : "1\t" + c.FirstRow + "\t00:04\t00.67");
    EXPECT_EQ(run.Err, c.Err);
  }
}

// Whether the process has a handler for the signal.
static bool Catches(pid_t pid, int signal) {
  std::istringstream status(FileText("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0)
      return std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1;
  return false;
}

// SIGTERM or a logout's SIGHUP closes the window as the user would: the disc's titles and the
// settings are saved and the program ends normally.
TEST_F(ProgramTest, TermOrHangUpClosesTheWindowSavingTitlesAndSettings) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "three", {300, 450, 300});
  for (int signal : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    std::error_code ec;
    fs::remove_all(plat::ConfigHome() + "Varnex", ec);
    TRunningProgram gui({"env", "QT_QPA_PLATFORM=offscreen", PLINDAR_PROGRAM, "--cd-image", cue},
                        Dir.File("gui.out"));
    // The window is up, its disc listed, once the signal is caught.
    ASSERT_TRUE(WaitFor([&] { return Catches(gui.Pid(), signal); }));
    kill(gui.Pid(), signal);
    const TRunResult run = gui.Wait(std::chrono::seconds(60));
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    EXPECT_NE(FileText(GetSettingsFolder() + "cdinfo.dat").find("\n1=Track01\n"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(GetSettingsFolder() + "options.ini"));
  }
}

// On a real X server the main window's title is its own: the program's name is not added to
// it ("Plindar 4.5 — Plindar"). The window list is read as a window manager would read it.
TEST_F(ProgramTest, TheWindowTitleIsNotFollowedByTheProgramsName) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "three", {300, 450, 300});
  const std::string script =
      Quoted(PLINDAR_PROGRAM) + " --cd-image " + Quoted(cue) +
      " & for i in $(seq 300); do xwininfo -root -tree | grep -q '\": (\"plindar\"' && break; "
      "sleep 0.1; done; xwininfo -root -tree; kill $!";
  TRun run = RunCommand("env QT_QPA_PLATFORM=xcb xvfb-run -a sh -c " + Quoted(script));
  const std::string title = std::string(product::Name) + " " + product::Version;
  EXPECT_NE(run.Out.find("\"" + title + "\": ("), std::string::npos) << run.Out;
}

TEST_F(ProgramTest, ListWithoutAnAudioDiscPrintsTheStatusAndFails) {
  std::string data = WriteTestDisc(Dir.Path(), "data", {{300, true}});
  TRun noAudio = Run({"--cd-image", data, "--list"});
  EXPECT_EQ(noAudio.ExitCode, 1);
  EXPECT_EQ(noAudio.Out, "");
  EXPECT_EQ(noAudio.Err, "Can not find audio CD in your CD device.\n");
}

TEST_F(ProgramTest, TheDemoDiscIsMadeAndListed) {
  TRun run = Run({"--make-demo-disc", Dir.File("demo"), "--list"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  std::istringstream lines(run.Out);
  std::string cue, row;
  std::getline(lines, cue);
  EXPECT_TRUE(fs::is_regular_file(cue)) << cue;
  int rows = 0;
  while (std::getline(lines, row)) {
    ++rows;
    EXPECT_EQ(row.rfind(std::to_string(rows) + "\tTrack" + TwoDigits(rows) + "\t", 0), 0u) << row;
  }
  EXPECT_GE(rows, 4);
  EXPECT_LE(rows, 6);

  // Made alone, it only prints where it is.
  TRun alone = Run({"--make-demo-disc", Dir.File("demo2")});
  EXPECT_EQ(alone.ExitCode, 0);
  EXPECT_EQ(alone.Out, Dir.File("demo2") + "/" + fs::path(cue).filename().string() + "\n");
}

TEST_F(ProgramTest, BadImagesGiveAClearMessageNamingTheFile) {
  std::vector<std::string> images = {
      WriteCueWithoutBin(Dir.Path(), "nobin"),
      WriteTruncatedDisc(Dir.Path(), "cut", {{750}, {750}}, 700 * 2352),
      Dir.File("absent.cue"),
  };
  for (const std::string &cue : images) {
    TRun run = Run({"--cd-image", cue, "--list"});
    EXPECT_NE(run.ExitCode, 0) << cue;
    EXPECT_NE(run.ExitCode, -1) << cue;
    EXPECT_EQ(run.Out, "") << cue;
    EXPECT_NE(run.Err.find(fs::path(cue).filename().string()), std::string::npos)
        << cue << ": " << run.Err;
  }
  // A sheet with lines it does not know either lists the tracks it finds or says why not.
  TRun garbage = Run({"--cd-image", WriteGarbageCueDisc(Dir.Path(), "junk"), "--list"});
  EXPECT_NE(garbage.ExitCode, -1);
  EXPECT_TRUE(garbage.ExitCode == 0 ? !garbage.Out.empty() : !garbage.Err.empty());
}

TEST_F(ProgramTest, CommandLineErrorsAndHelp) {
  TRun help = Run({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_NE(help.Out.find("--cd-image FILE.cue"), std::string::npos);
  EXPECT_NE(help.Out.find("--list"), std::string::npos);
  EXPECT_NE(help.Out.find("--convert IN OUT"), std::string::npos);

  TRun bad = Run({"--frobnicate"});
  EXPECT_EQ(bad.ExitCode, 2);
  EXPECT_NE(bad.Err.find("unknown argument: --frobnicate"), std::string::npos);

  // The window needs a screen; without one the program says so instead of aborting.
  TRun headless = Run({}, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
  EXPECT_EQ(headless.ExitCode, 1);
  EXPECT_NE(headless.Err.find("no display"), std::string::npos);
}

// Each conversion writes the format asked for and keeps the rest of the input's; the tone comes
// through at its pitch and level, the length to the sample (an ADPCM file ends on a whole
// block). Nothing is printed when standard error is no terminal, and nothing else is left.
TEST_F(ProgramTest, ConvertWritesTheFormatAskedForAndKeepsTheRest) {
  MakeTone("in.wav");
  ASSERT_EQ(Convert("in.wav", "in.ogg").ExitCode, 0);
  ASSERT_EQ(Convert("in.wav", "in.flac").ExitCode, 0);
  ASSERT_EQ(Convert("in.wav", "in.opus").ExitCode, 0);
  ASSERT_TRUE(RunQuietly({"ffmpeg", "-v", "error", "-i", Dir.File("in.wav"), "-c:a", "libmp3lame",
                          "-b:a", "128k", Dir.File("mp3.wav")}));
  struct TCase {
    const char *In, *Out;
    std::vector<std::string> Options;
    const char *Rate, *Channels, *Bits, *Encoding;
    long Frames, MaxExtraFrames;
    double LevelTolerance = 0.05;
  } cases[] = {
      // clang-format off
      {"in.wav", "small.wav", {"--rate", "22050", "--channels", "1", "--bits", "8"},
       "22050", "1", "8", "Unsigned Integer PCM", 22050, 0},
      {"in.wav", "ima.wav", {"--ima"}, "44100", "2", "4", "IMA ADPCM", 44100, 504},
      {"in.wav", "wide.wav", {"--bits", "24"}, "44100", "2", "24", "Signed Integer PCM", 44100, 0},
      {"in.ogg", "ogg.wav", {}, "44100", "2", "16", "Signed Integer PCM", 44100, 0},
      {"in.ogg", "mono.wav", {"--channels", "1", "--rate", "22050"},
       "22050", "1", "16", "Signed Integer PCM", 22050, 0},
      {"in.flac", "flac.wav", {}, "44100", "2", "16", "Signed Integer PCM", 44100, 0},
      {"in.opus", "opus.wav", {}, "48000", "2", "16", "Signed Integer PCM", 48000, 0},
      // MP3 data decodes with the encoder's delay and padding (up to two frames more), 5 % softer
      // as the encoder made it (ffmpeg decodes the same level).
      {"mp3.wav", "mp3pcm.wav", {}, "44100", "2", "16", "Signed Integer PCM", 44100, 2304, 0.07},
      // clang-format on
  };
  const TTone input =
      Measure(FirstChannel(Dir.File("in.wav"), Dir.File("raw")), 4410, 39690, 44100);
  std::vector<std::string> made = {"err",    "in.flac", "in.ogg", "in.opus",
                                   "in.wav", "mp3.wav", "out"}; // out, err: runs
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Out);
    const TRun run = Convert(c.In, c.Out, c.Options);
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out, "");
    const std::string out = Dir.File(c.Out);
    EXPECT_EQ(Soxi("-r", out), c.Rate);
    EXPECT_EQ(Soxi("-c", out), c.Channels);
    EXPECT_EQ(Soxi("-b", out), c.Bits);
    EXPECT_EQ(Soxi("-e", out), c.Encoding);
    const auto samples = FirstChannel(out, Dir.File("raw"));
    EXPECT_GE(long(samples.size()), c.Frames);
    EXPECT_LE(long(samples.size()), c.Frames + c.MaxExtraFrames);
    const double rate = std::stod(c.Rate);
    const TTone output = Measure(samples, std::size_t(rate / 10), std::size_t(rate * 0.9), rate);
    EXPECT_NEAR(output.Crossings, input.Crossings, 10);
    EXPECT_NEAR(output.Rms / input.Rms, 1.0, c.LevelTolerance);
    made.push_back(c.Out);
  }
  std::sort(made.begin(), made.end());
  EXPECT_EQ(FolderListing(Dir.Path()), made);
}

// On a terminal (here the one script makes) the conversion shows how far it got, to the end.
TEST_F(ProgramTest, ConvertShowsItsProgressOnATerminal) {
  MakeTone("in.wav");
  const std::string command = Quoted(PLINDAR_PROGRAM) + " --convert " + Quoted(Dir.File("in.wav")) +
                              " " + Quoted(Dir.File("out.ogg"));
  const TRunResult run = RunProgram({"script", "-qec", command, "/dev/null"});
  EXPECT_EQ(run.ExitStatus, 0);
  EXPECT_NE(run.Output.find("\r" + Dir.File("out.ogg") + ": 100%"), std::string::npos)
      << run.Output;
  EXPECT_TRUE(fs::is_regular_file(Dir.File("out.ogg")));
}

// WAV to Ogg Vorbis: oggdec decodes the input's length to the sample, the quality asked for
// reaches the encoder, and an Ogg file re-encoded keeps its comments, a megabyte long too.
TEST_F(ProgramTest, ConvertEncodesOggVorbisAtTheQualityAskedFor) {
  MakeTone("in.wav");
  ASSERT_EQ(Convert("in.wav", "default.ogg").ExitCode, 0);
  ASSERT_EQ(Convert("in.wav", "best.ogg", {"--quality", "1"}).ExitCode, 0);
  EXPECT_EQ(OggDecBytes("default.ogg"), 44100u * 4);
  EXPECT_EQ(OggDecBytes("best.ogg"), 44100u * 4);
  auto nominal = [&](const char *ogg) {
    const std::string info = RunProgram({"ogginfo", Dir.File(ogg)}).Output;
    const std::size_t at = info.find("Nominal bitrate: ");
    return at == std::string::npos ? std::string() : info.substr(at, info.find('\n', at) - at);
  };
  // Quality 0.2 (the default) and 1 of 44100 Hz stereo, as the codec announces them.
  EXPECT_EQ(nominal("default.ogg"), "Nominal bitrate: 96.000000 kb/s");
  EXPECT_EQ(nominal("best.ogg").rfind("Nominal bitrate: 499.", 0), 0u) << nominal("best.ogg");

  const std::string title(1 << 20, 'x');
  std::ofstream(Dir.File("comments.txt")) << "TITLE=" << title << "\nARTIST=Someone\n";
  ASSERT_EQ(RunProgram({"vorbiscomment", "-w", "-c", Dir.File("comments.txt"),
                        Dir.File("default.ogg"), Dir.File("tagged.ogg")})
                .ExitStatus,
            0);
  const TRun run = Convert("tagged.ogg", "again.ogg");
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  const std::string comments = RunProgram({"vorbiscomment", "-l", Dir.File("again.ogg")}).Output;
  EXPECT_NE(comments.find("=" + title + "\n"), std::string::npos);
  EXPECT_NE(comments.find("=Someone\n"), std::string::npos);
  EXPECT_EQ(OggDecBytes("again.ogg"), 44100u * 4);
}

// WAV to FLAC keeps every byte and the sample size asked for; comments go from FLAC to Opus
// and back.
TEST_F(ProgramTest, ConvertWritesFlacLosslesslyAndKeepsCommentsAcrossFormats) {
  MakeTone("in.wav");
  ASSERT_EQ(Convert("in.wav", "out.flac").ExitCode, 0);
  ASSERT_TRUE(RunQuietly({"flac", "-d", "-s", "-o", Dir.File("back.wav"), Dir.File("out.flac")}));
  EXPECT_EQ(ReadFileBytes(Dir.File("back.wav")), ReadFileBytes(Dir.File("in.wav")));
  ASSERT_EQ(Convert("in.wav", "wide.flac", {"--bits", "24"}).ExitCode, 0);
  EXPECT_EQ(RunProgram({"metaflac", "--show-bps", Dir.File("wide.flac")}).Output, "24\n");

  ASSERT_TRUE(RunQuietly({"flac", "-s", "-T", "ARTIST=Zoë", "-T", "TITLE=Song", "-o",
                          Dir.File("tagged.flac"), Dir.File("in.wav")}));
  ASSERT_EQ(Convert("tagged.flac", "tagged.opus").ExitCode, 0);
  const std::string info = RunProgram({"opusinfo", Dir.File("tagged.opus")}).Output;
  EXPECT_NE(info.find("\tARTIST=Zoë\n"), std::string::npos) << info;
  ASSERT_EQ(Convert("tagged.opus", "again.flac").ExitCode, 0);
  EXPECT_EQ(RunProgram({"metaflac", "--export-tags-to=-", Dir.File("again.flac")}).Output,
            "ARTIST=Zoë\nTITLE=Song\n");
}

// Input that cannot be converted, and an output that cannot be made: the message and status
// 1, never a crash or a hang, and no file, whole or part, left behind.
TEST_F(ProgramTest, ConvertRefusesBadInputWithTheReasonAndLeavesNoFile) {
  MakeTone("in.wav");
  MakeTone("three.wav", "3");
  ASSERT_EQ(Convert("in.wav", "good.ogg").ExitCode, 0);
  std::ofstream(Dir.File("empty.wav")).close();
  std::ofstream(Dir.File("notes.txt")) << "nothing to hear\n";
  // A WAV file of a format tag nobody knows.
  std::string odd("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x34\x12\x02\0\x44\xac\0\0"
                  "\x10\xb1\x02\0\x04\0\x10\0data\0\0\0\0",
                  44);
  std::ofstream(Dir.File("odd.wav"), std::ios::binary) << odd;
  ASSERT_TRUE(RunQuietly({"ffmpeg", "-v", "error", "-y", "-i", Dir.File("in.wav"), "-c:a", "flac",
                          Dir.File("flac.ogg")}));
  std::ofstream(Dir.File("fake.flac")) << "fLaC, and then nothing of the kind";
  fs::create_directory(Dir.File("folder.wav"));
  const std::vector<std::string> inputs = FolderListing(Dir.Path());
  struct TCase {
    const char *In, *Out;
    std::vector<std::string> Options;
    const char *Message;
  } cases[] = {
      {"empty.wav", "out.wav", {}, "empty.wav: the file is empty"},
      {"notes.txt", "out.wav", {}, "notes.txt: not a WAV, Ogg Vorbis, FLAC or Opus file"},
      {"fake.flac", "out.opus", {}, "fake.flac: Not a FLAC file that can be read."},
      {"odd.wav", "out.ogg", {}, "odd.wav: not a WAV file that can be read"},
      {"flac.ogg", "out.wav", {}, "flac.ogg: it is an Ogg file, but holds no Vorbis stream"},
      {"absent.wav", "out.wav", {}, "absent.wav: No such file or directory"},
      {"folder.wav", "out.wav", {}, "folder.wav: Is a directory"},
      {"three.wav", "out.wav", {"--ima"}, "Cannot encode this channel count into ADPCM."},
      {"three.wav", "out.wav", {"--channels", "2"}, "channel count of a file of 3 channels"},
      {"in.wav", "no/out.wav", {}, "no/out.wav: No such file or directory"},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.In);
    const TRun run = Convert(c.In, c.Out, c.Options);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Err.rfind("plindar: ", 0), 0u) << run.Err;
    EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(FolderListing(Dir.Path()), inputs);
  }
}

// The looked-up titles are what --list prints; a failed lookup says why and lists nothing.
TEST_F(ProgramTest, QueryListsTheLookedUpTitlesOrSaysWhyItFailed) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "three", {300, 450, 300});
  TCddbServer server;
  const std::string url = "http://" + server.Address() + "/~cddb/cddb.cgi";
  TRun none = Run(
      {"--cd-image", cue, "--query", "--query-source", "freedb", "--cddb-server", url, "--list"});
  EXPECT_EQ(none.ExitCode, 1);
  EXPECT_EQ(none.Out, "");
  EXPECT_EQ(none.Err, "plindar: CDDB lookup failed: no match found for the disc 0b000e03 on " +
                          server.Address() + "\n");

  TRun unreachable = Run({"--cd-image", cue, "--query", "--query-source", "freedb", "--cddb-server",
                          "http://127.0.0.1:1/cddb.cgi", "--list"});
  EXPECT_EQ(unreachable.ExitCode, 1);
  EXPECT_EQ(unreachable.Out, "");
  EXPECT_EQ(unreachable.Err.rfind("plindar: CDDB lookup failed: cannot reach the CDDB server "
                                  "127.0.0.1:1 (",
                                  0),
            0u)
      << unreachable.Err;

  server.AddEntry("blues", "0b000e03", "plindar_three.xmcd");
  TRun found = Run(
      {"--cd-image", cue, "--query", "--query-source", "freedb", "--cddb-server", url, "--list"});
  EXPECT_EQ(found.ExitCode, 0) << found.Err;
  EXPECT_EQ(found.Out, "1\tOpening Theme\t00:04\t00.67\n"
                       "2\tA Title Long Enough to Continue on a Second Line\t00:06\t01.01\n"
                       "3\tCoda für Café\t00:04\t00.67\n");
}
// The card gets the file's audio byte for byte after its leading silence, then only silence;
// the position goes to standard error only when that is a terminal.
TEST_F(ProgramTest, PlayGivesTheCardTheWavFilesAudio) {
  std::vector<std::uint8_t> audio(44100 * 4 / 2);
  for (std::size_t i = 0; i < audio.size(); ++i)
    audio[i] = static_cast<std::uint8_t>(i * 7 + 1);
  WriteWav(Dir.File("pattern.wav"), audio);
  ASSERT_TRUE(RunQuietly({"flac", "-s", "-o", Dir.File("pattern.flac"), Dir.File("pattern.wav")}));
  for (const char *file : {"pattern.wav", "pattern.flac"}) {
    SCOPED_TRACE(file);
    TRun run = Run({"--play", Dir.File(file)}, DiskSound());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err.find('\r'), std::string::npos) << run.Err;
    // A loaded machine may starve the card for a moment, which plays silence: what was heard,
    // in order, is the file's audio.
    EXPECT_TRUE(WithoutSilence(ReadFileBytes(Dir.File("played"))) == audio);
  }
  // Opus plays at its own 48 kHz: the card gets the half second of it.
  ASSERT_TRUE(RunQuietly({"opusenc", "--quiet", Dir.File("pattern.wav"), Dir.File("p.opus")}));
  ASSERT_EQ(Run({"--play", Dir.File("p.opus")}, DiskSound()).ExitCode, 0);
  EXPECT_GE(PlayedSound().size(), 24000u * 4 * 9 / 10);

  // On a terminal (script gives the program one) the position counts up to the length.
  const std::string command =
      DiskSound() + " " + Quoted(PLINDAR_PROGRAM) + " --play " + Quoted(Dir.File("pattern.wav"));
  TRun terminal = RunCommand("script -qec " + Quoted(command) + " /dev/null");
  EXPECT_EQ(terminal.ExitCode, 0) << terminal.Out;
  EXPECT_NE(terminal.Out.find("\r0:00 / 0:00"), std::string::npos) << terminal.Out;
}

// A file that cannot be played, or a sound system that cannot be had, ends the program with
// one line naming the file and why (the sound system's own complaints stay out of it); an Ogg
// file cut in its audio plays to the cut, then says so.
TEST_F(ProgramTest, PlayEndsWithTheReasonWhenItCannotPlay) {
  std::ofstream(Dir.File("notes.wav")) << "not a sound file\n";
  ASSERT_EQ(std::system(("sox -R -n -r 44100 -c 1 -b 16 " + Quoted(Dir.File("tone.wav")) +
                         " synth 4 pinknoise gain -6 && oggenc -Q -o " +
                         Quoted(Dir.File("tone.ogg")) + " " + Quoted(Dir.File("tone.wav")))
                            .c_str()),
            0);
  const std::vector<std::uint8_t> whole = ReadFileBytes(Dir.File("tone.ogg"));
  std::ofstream(Dir.File("cut.ogg"), std::ios::binary)
      .write(reinterpret_cast<const char *>(whole.data()), std::streamsize(whole.size() / 2));
  const struct {
    const char *File;
    const char *Env;
    const char *Reason; // empty: plays to its end
  } cases[] = {
      {"absent.ogg", "", "No such file or directory"},
      {"notes.wav", "", "not a WAV, Ogg Vorbis, FLAC or Opus file"},
      {"tone.ogg", "env SDL_AUDIODRIVER=no-such-driver", "no sound device could be opened ("},
      {"tone.ogg", "env SDL_AUDIODRIVER=alsa AUDIODEV=hw:99", "no sound device could be opened ("},
      {"cut.ogg", nullptr, ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.File);
    TRun run = Run({"--play", Dir.File(c.File)}, c.Env ? c.Env : DiskSound());
    if (*c.Reason) {
      EXPECT_EQ(run.ExitCode, 1);
      EXPECT_EQ(run.Err.rfind("plindar: cannot play " + Dir.File(c.File) + ": " + c.Reason, 0), 0u)
          << run.Err;
      EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
      continue;
    }
    EXPECT_EQ(run.ExitCode, 1) << run.Err;
    EXPECT_NE(run.Err.find(Dir.File(c.File) + " is cut short: it holds "), std::string::npos)
        << run.Err;
    TVorbisIn cut;
    cut.SetFileName(Dir.File("cut.ogg"));
    ASSERT_TRUE(cut.Valid());
    // Mono goes to the card as stereo: twice the bytes the file holds, give or take the
    // decoder's quiet start.
    const double played = double(PlayedSound().size()), held = 2.0 * double(cut.Size());
    EXPECT_GT(played, 0.9 * held);
    EXPECT_LT(played, 1.1 * held + 44100 * 4 * 0.3); // and at most the buffer's silence after
  }
}

// Damaged inputs, as a user's files come: through --convert into every format and through
// --play, the same message and status, a file only where there is audio for it, and never a
// part file left. A file cut short gives what it holds and says so.
TEST_F(ProgramTest, DamagedInputsEndWithTheReasonAndLeaveNoPartFile) {
  MakeTone("tone.wav"); // 1 s
  const std::vector<std::uint8_t> wav = ReadFileBytes(Dir.File("tone.wav"));
  ASSERT_EQ(wav.size(), 44u + 176400u);
  auto write = [this](const std::string &name, std::vector<std::uint8_t> bytes) {
    std::ofstream(Dir.File(name), std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  };
  auto withU32 = [&wav](std::size_t at, std::uint32_t value) {
    std::vector<std::uint8_t> bytes = wav;
    for (int i = 0; i < 4; ++i)
      bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
  };
  auto firstHalf = [this](const std::string &name) {
    std::vector<std::uint8_t> bytes = ReadFileBytes(Dir.File(name));
    bytes.resize(bytes.size() / 2);
    return bytes;
  };
  write("header.wav", {wav.begin(), wav.begin() + 44});
  write("header45.wav", {wav.begin(), wav.begin() + 45});
  write("cut.wav", {wav.begin(), wav.begin() + 44 + 88200});
  write("streamed.wav", withU32(40, 0));
  write("rate0.wav", withU32(24, 0));
  write("rate1.wav", withU32(24, 1));
  write("rate2g.wav", withU32(24, 0x80000000));
  write("rate4g.wav", withU32(24, 0xFFFFFFFF));
  write("T\xe9l\xe9phone.wav", wav); // Latin-1, not UTF-8
  // Four seconds of noise, so that half of each compressed file holds audio.
  ASSERT_TRUE(RunQuietly({"sox", "-R", "-n", "-r", "48000", "-c", "2", "-b", "16",
                          Dir.File("noise.wav"), "synth", "4", "pinknoise", "gain", "-6"}));
  ASSERT_TRUE(RunQuietly({"sox", "-R", "-n", "-r", "96000", "-c", "2", "-b", "16",
                          Dir.File("noise96.wav"), "synth", "1", "pinknoise", "gain", "-6"}));
  ASSERT_TRUE(RunQuietly({"flac", "-s", "-o", Dir.File("whole.flac"), Dir.File("noise.wav")}));
  ASSERT_TRUE(
      RunQuietly({"oggenc", "-Q", "-s", "7", "-o", Dir.File("a.ogg"), Dir.File("noise.wav")}));
  ASSERT_TRUE(
      RunQuietly({"oggenc", "-Q", "-s", "8", "-o", Dir.File("b.ogg"), Dir.File("noise96.wav")}));
  ASSERT_TRUE(RunQuietly({"opusenc", "--quiet", Dir.File("noise.wav"), Dir.File("whole.opus")}));
  write("cut.flac", firstHalf("whole.flac"));
  write("cut.ogg", firstHalf("a.ogg"));
  write("cut.opus", firstHalf("whole.opus"));
  std::vector<std::uint8_t> same = ReadFileBytes(Dir.File("a.ogg")), mixed = same;
  same.insert(same.end(), same.begin(), same.end()); // two links of one serial number
  const std::vector<std::uint8_t> b = ReadFileBytes(Dir.File("b.ogg"));
  mixed.insert(mixed.end(), b.begin(), b.end());
  write("same.ogg", same);
  write("mixed.ogg", mixed);
  for (const char *helper : {"noise.wav", "noise96.wav", "whole.flac", "whole.opus", "b.ogg"})
    fs::remove(Dir.File(helper));
  const std::string longName = std::string(246, 'n') + ".wav"; // 250 bytes, as the system allows

  const std::string whole = " its header announces";
  std::ofstream(Dir.File("out")).close(); // where each run's output goes
  std::ofstream(Dir.File("err")).close();
  const struct {
    std::string In;
    int Status;
    std::string Message; // "" for none
    bool Made;           // a converted file is left
  } cases[] = {
      {"header.wav", 1, "header.wav is cut short: it holds 0.00 s of the 1.00 s" + whole, false},
      {"header45.wav", 1, "header45.wav is cut short: it holds 0.00 s of the 1.00 s" + whole,
       false},
      {"cut.wav", 1, "cut.wav is cut short: it holds 0.50 s of the 1.00 s" + whole, true},
      {"streamed.wav", 0, "", true},
      {"rate0.wav", 1, "its header gives a sample rate of 0 Hz", false},
      {"rate1.wav", 1, "its header gives a sample rate of 1 Hz", false},
      {"rate2g.wav", 1, "its header gives a sample rate of 2147483648 Hz", false},
      {"rate4g.wav", 1, "its header gives a sample rate of 4294967295 Hz", false},
      {"cut.flac", 1, "cut.flac is cut short: it holds ", true},
      {"cut.ogg", 1, "cut.ogg is cut short: it holds ", true},
      {"cut.opus", 1, "cut.opus is cut short: it holds ", true},
      {"same.ogg", 0, "", true},
      {"mixed.ogg", 1, "its chained streams differ in sample rate or channels (48000 Hz", false},
      {"T\xe9l\xe9phone.wav", 0, "", true},
  };
  for (const auto &c : cases)
    for (const std::string &out :
         {longName, std::string("out.ogg"), std::string("out.flac"), std::string("out.opus")}) {
      SCOPED_TRACE(c.In + " to " + out.substr(out.size() - std::min<std::size_t>(out.size(), 9)));
      const std::vector<std::string> before = FolderListing(Dir.Path());
      const TRun run = Convert(c.In, out);
      EXPECT_EQ(run.ExitCode, c.Status) << run.Err;
      if (c.Message.empty())
        EXPECT_EQ(run.Err, "");
      else
        EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
      std::vector<std::string> after = before;
      if (c.Made)
        after.insert(std::upper_bound(after.begin(), after.end(), out), out);
      EXPECT_EQ(FolderListing(Dir.Path()), after);
      fs::remove(Dir.File(out));
    }
  // Each link of a chain is decoded, whole.
  ASSERT_EQ(Convert("same.ogg", "same.wav").ExitCode, 0);
  EXPECT_EQ(ReadFileBytes(Dir.File("same.wav")).size() - 44, 2 * OggDecBytes("a.ogg"));
  // A cut file gives what it holds, and no silence for the rest.
  ASSERT_EQ(Convert("cut.flac", "cut-flac.wav", {"--rate", "22050"}).ExitCode, 1);
  EXPECT_LT(ReadFileBytes(Dir.File("cut-flac.wav")).size(), 44u + 22050u * 4 * 3);

  for (const auto &c : cases) {
    SCOPED_TRACE("play " + c.In);
    const TRun run = Run({"--play", Dir.File(c.In)}, DiskSound());
    EXPECT_EQ(run.ExitCode, c.Status) << run.Err;
    EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
  }
}

// An interrupt ends playback at once, with status 1; the deadline only stops a hang (the file
// plays for a minute).
TEST_F(ProgramTest, PlayEndsOnAnInterrupt) {
  ASSERT_TRUE(RunQuietly({"sox", "-R", "-n", "-r", "8000", "-c", "1", "-b", "16",
                          Dir.File("minute.wav"), "synth", "60", "sine", "440"}));
  TRunningProgram play({"env", "SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + Dir.File("played"),
                        PLINDAR_PROGRAM, "--play", Dir.File("minute.wav")},
                       Dir.File("play.log"));
  // Sound reaching the card tells that the player runs (and has its handler).
  ASSERT_TRUE(WaitFor([&] { return fs::exists(Dir.File("played")) && !PlayedSound().empty(); }));
  kill(play.Pid(), SIGTERM);
  const TRunResult run = play.Wait(std::chrono::seconds(30));
  EXPECT_EQ(run.ExitStatus, 1) << run.Output;
  EXPECT_NE(run.Output.find("plindar: interrupted: " + Dir.File("minute.wav")), std::string::npos)
      << run.Output;
}

// --secure reads through the CD input: the same list, the lookup of the CDDB component at the
// server and path of --cddb-server with the same outcome, and no use with the commands that
// read no disc.
TEST_F(ProgramTest, SecureListsAndQueriesThroughTheCDInput) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "three", {300, 450, 300});
  TRun plain = Run({"--cd-image", cue, "--list"});
  TRun secure = Run({"--cd-image", cue, "--secure", "--list"});
  EXPECT_EQ(secure.ExitCode, 0) << secure.Err;
  EXPECT_EQ(secure.Out, plain.Out);
  EXPECT_EQ(secure.Err, "");

  TCddbServer server("normal", false, 0, "/cgi-bin/cddb.cgi");
  const std::string url = "http://" + server.Address() + "/cgi-bin/cddb.cgi";
  TRun none = Run({"--cd-image", cue, "--secure", "--query", "--query-source", "freedb",
                   "--cddb-server", url, "--list"});
  EXPECT_EQ(none.ExitCode, 1);
  EXPECT_EQ(none.Out, "");
  EXPECT_EQ(none.Err, "plindar: CDDB lookup failed: no match found for the disc 0b000e03 on " +
                          server.Address() + "\n");
  server.AddEntry("blues", "0b000e03", "plindar_three.xmcd");
  TRun found = Run({"--cd-image", cue, "--secure", "--query", "--query-source", "freedb",
                    "--cddb-server", url, "--list"});
  EXPECT_EQ(found.ExitCode, 0) << found.Err;
  EXPECT_EQ(found.Out, "1\tOpening Theme\t00:04\t00.67\n"
                       "2\tA Title Long Enough to Continue on a Second Line\t00:06\t01.01\n"
                       "3\tCoda für Café\t00:04\t00.67\n");
  EXPECT_EQ(server.Requests().rfind("/cgi-bin/cddb.cgi?cmd=cddb+query+0b000e03+3+150+450+900+16"
                                    "&hello=plindar+localhost+Plindar+",
                                    0),
            0u)
      << server.Requests();

  TRun convert = Run({"--secure", "--convert", cue, Dir.File("x.wav")});
  EXPECT_EQ(convert.ExitCode, 2);
  EXPECT_NE(convert.Err.find("--secure goes without --convert and --play"), std::string::npos);

  // A program without its ripping library beside it ends with the reason: the message box a
  // window would show waits for no one in a batch run.
  std::filesystem::create_directory(Dir.File("alone"));
  std::filesystem::copy_file(PLINDAR_PROGRAM, Dir.File("alone/plindar"));
  for (const std::string batch : {"--list", "--extract"}) {
    const TRun run = RunCommand("timeout 60 " + Quoted(Dir.File("alone/plindar")) + " --cd-image " +
                                Quoted(cue) + " --secure " + batch);
    EXPECT_EQ(run.ExitCode, 1) << batch << ": " << run.Err;
    EXPECT_EQ(run.Err, "plindar: libplindar_cdrip.so could not be loaded.\n") << batch;
  }
}
