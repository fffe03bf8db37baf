// "plindar --extract" run as a script runs it: every track of a disc image into files of the
// chosen format, one printed line per file, and the exit status telling whether all were made.
#include "ExtractProgram.h"
#include "AccurateRipAnswers.h"
#include "CddbServer.h"
#include "Frame450Answer.h"
#include "MusicBrainz.h"
#include "MusicBrainzServer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

TEST_F(ExtractProgram, WavFilesHoldTheTracks) {
  TRunResult run = Extract({"--format", "wav", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.wav", "Track02.wav"}));
  EXPECT_EQ(WavAudio(Out("Track01.wav")), TestAudio(1, 150));
  EXPECT_EQ(WavAudio(Out("Track02.wav")), TestAudio(2, 110));
  EXPECT_FALSE(fs::exists(OptionsFile())) << "nothing of the run is saved";
  EXPECT_FALSE(fs::exists(Config.File("Music"))) << "only the run's own folder is made";
}

// The offset of the run, else the one stored for the image, in both CD access modes.
TEST_F(ExtractProgram, TracksAreReadWithTheReadOffsetOfTheRunOrOfTheDrive) {
  const struct {
    std::vector<std::string> Options;
    const char *Stored;
    int32_t Offset;
  } cases[] = {{{"--offset", "+6"}, "", 6},
               {{"--secure", "--offset=-6"}, "", -6},
               {{}, "1000", 1000},
               {{"--secure"}, "-1000", -1000},
               {{"--offset", "0"}, "1000", 0}};
  fs::create_directories(Config.File("Varnex/Plindar"));
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Offset);
    std::ofstream(OptionsFile()) << "[ReadOffsets]\nDrive1=" << Cue << "\nOffset1=" << c.Stored
                                 << "\n";
    std::vector<std::string> options = {"--format", "wav", "--output", Dir.File("out")};
    options.insert(options.end(), c.Options.begin(), c.Options.end());
    const TRunResult run = Extract(options);
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    EXPECT_TRUE(WavAudio(Out("Track01.wav")) == ShiftedBin(Cue, 0, 150, c.Offset));
    EXPECT_TRUE(WavAudio(Out("Track02.wav")) == ShiftedBin(Cue, 150, 110, c.Offset));
    const std::string log = FileText(Out("Rip.log"));
    EXPECT_NE(log.find("Read offset: " + std::to_string(c.Offset) + " samples\n"),
              std::string::npos)
        << log;
  }
}

TEST_F(ExtractProgram, Mp3FilesDecodeAndTheWavsAreGone) {
  TRunResult run = Extract({"--format", "mp3", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.mp3", "Track02.mp3"}));
  ASSERT_EQ(RunProgram({"lame", "--quiet", "--decode", Out("Track02.mp3"), Dir.File("back.wav")})
                .ExitStatus,
            0);
  // The decoder adds its delay and padding: at least the whole track comes back.
  EXPECT_GE(ReadWav(Dir.File("back.wav")).Samples.size(), 110u * 588 * 2);
  EXPECT_FALSE(fs::exists(Out("Track01.wav")));
  EXPECT_FALSE(fs::exists(Out("Track02.wav")));
}

TEST_F(ExtractProgram, OggFilesDecodeToTheWholeTrackAndTheWavsAreGone) {
  TRunResult run = Extract({"--format", "ogg", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.ogg", "Track02.ogg"}));
  ASSERT_EQ(RunProgram({"oggdec", "-Q", "-o", Dir.File("back.wav"), Out("Track01.ogg")}).ExitStatus,
            0);
  EXPECT_EQ(ReadWav(Dir.File("back.wav")).Samples.size(), 150u * 588 * 2);
  EXPECT_EQ(FolderListing(Dir.File("out")),
            (std::vector<std::string>{"Rip.log", "Track01.ogg", "Track02.ogg"}));
}

// FLAC files decode to the disc's bytes, Opus files to the tracks' length; the WAVs go.
TEST_F(ExtractProgram, FlacAndOpusFilesHoldTheTracks) {
  TRunResult run = Extract({"--format", "flac", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.flac", "Track02.flac"}));
  ASSERT_EQ(
      RunProgram({"flac", "-d", "-s", "-o", Dir.File("back.wav"), Out("Track02.flac")}).ExitStatus,
      0);
  EXPECT_EQ(WavAudio(Dir.File("back.wav")), TestAudio(2, 110));

  run = Extract({"--format", "opus", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.opus", "Track02.opus"}));
  ASSERT_EQ(RunProgram({"opusdec", "--quiet", "--rate", "44100", Out("Track01.opus"),
                        Dir.File("back.wav")})
                .ExitStatus,
            0);
  EXPECT_EQ(ReadWav(Dir.File("back.wav")).Samples.size(), 150u * 588 * 2);
  EXPECT_EQ(FolderListing(Dir.File("out")),
            (std::vector<std::string>{"Rip.log", "Track01.flac", "Track01.opus", "Track02.flac",
                                      "Track02.opus"}));
}

TEST_F(ExtractProgram, WmaFilesAreWmav2AndTheSavedSettingsStayAsTheyWere) {
  fs::create_directories(Config.File("Varnex/Plindar"));
  const std::string saved =
      "[CommonOptions]\nOutputFolder=" + Dir.File("elsewhere") + "\nOutputFormat=1\n";
  std::ofstream(OptionsFile()) << saved;
  TRunResult run = Extract({"--format=wma", "--output=" + Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.wma", "Track02.wma"}));
  EXPECT_EQ(Probe(Out("Track01.wma"))["codec_name"], "wmav2");
  std::stringstream now;
  now << std::ifstream(OptionsFile()).rdbuf();
  EXPECT_EQ(now.str(), saved);
  EXPECT_FALSE(fs::exists(Dir.File("elsewhere")));
}

TEST_F(ExtractProgram, AMissingOutputFolderIsMadeAndAnUnwritableOneFailsClearly) {
  TRunResult made = Extract({"--format", "wav", "--output", Dir.File("new")});
  EXPECT_EQ(made.ExitStatus, 0) << made.Output;
  EXPECT_TRUE(fs::exists(Dir.File("new/Track02.wav")));

  // /proc takes no new files, whoever runs the test.
  TRunResult refused = Extract({"--format", "wav", "--output", "/proc"});
  EXPECT_NE(refused.ExitStatus, 0);
  EXPECT_NE(refused.Output.find("plindar: cannot write into the output folder /proc: "),
            std::string::npos)
      << refused.Output;

  TRunResult tooDeep = Extract({"--output", Dir.File("a/b/c")});
  EXPECT_NE(tooDeep.ExitStatus, 0);
  EXPECT_NE(tooDeep.Output.find("Cannot create " + Dir.File("a/b/c")), std::string::npos)
      << tooDeep.Output;
}

TEST_F(ExtractProgram, ATitleTooLongForAFileNameIsCutAndEveryTrackIsMade) {
  // The disc's cached title of track 1 is too long for a file name.
  std::string id;
  {
    TImageDrives drives({Cue});
    id = DriveDiscID();
  }
  ASSERT_FALSE(id.empty());
  fs::create_directories(Config.File("Varnex/Plindar"));
  const std::string title(300, 'x');
  std::ofstream(Config.File("Varnex/Plindar/cdinfo.dat"))
      << "[" << id << "]\nTrackNumber=2\n1=" << title << "\n2=Fine\n";
  TRunResult run = Extract({"--format", "wav", "--output", Dir.File("out")});
  // It is cut to fit the file system's names, and every track is made.
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_NE(run.Output.find(Out(std::string(251, 'x') + ".wav") + "\n"), std::string::npos)
      << run.Output;
  EXPECT_NE(run.Output.find(Out("Fine.wav") + "\n"), std::string::npos) << run.Output;
  EXPECT_EQ(WavAudio(Out("Fine.wav")), TestAudio(2, 110));
}

TEST_F(ExtractProgram, TitlesGivingOneNameOrNoneStillMakeAFileEach) {
  Cue = WriteAudioDisc(Dir.Path(), "Three", {75, 60, 45});
  std::string id;
  {
    TImageDrives drives({Cue});
    id = DriveDiscID();
  }
  fs::create_directories(Config.File("Varnex/Plindar"));
  std::ofstream(Config.File("Varnex/Plindar/cdinfo.dat"))
      << "[" << id << "]\nTrackNumber=3\n1=Same\n2=Same\n3=???\n";
  TRunResult run = Extract({"--format", "wav", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Same.wav", "Same (2).wav", "Track03.wav"}));
  EXPECT_EQ(FolderListing(Dir.File("out")),
            (std::vector<std::string>{"Rip.log", "Same (2).wav", "Same.wav", "Track03.wav"}));
  EXPECT_EQ(WavAudio(Out("Same.wav")), TestAudio(1, 75));
  EXPECT_EQ(WavAudio(Out("Same (2).wav")), TestAudio(2, 60));
}

// --secure rips through the CD input and the pipeline rip window: every format, one line per
// file made, the disc's audio; a track that cannot be ripped (a data track) fails the run and
// says why, and the others are still made.
TEST_F(ExtractProgram, SecureRipMakesEveryFormatAndFailsWhenATrackIsNotMade) {
  for (const std::string format : {"wav", "mp3", "ogg", "wma"}) {
    const std::string out = Dir.File("secure-" + format);
    TRunResult run = Extract({"--secure", "--format", format, "--output", out});
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    EXPECT_EQ(run.Output, out + "/Track01." + format + "\n" + out + "/Track02." + format + "\n");
    EXPECT_EQ(FolderListing(out),
              (std::vector<std::string>{"Rip.log", "Track01." + format, "Track02." + format}));
  }
  EXPECT_EQ(WavAudio(Dir.File("secure-wav/Track02.wav")), TestAudio(2, 110));

  // A data track, also one whose copying is permitted (control 6), is no audio in either mode,
  // and says so without blaming the disc or the drive.
  Cue = WriteTestDisc(Dir.Path(), "Mixed", {{150}, {300, true, true}});
  for (const bool secure : {false, true}) {
    SCOPED_TRACE(secure);
    const std::string out = Dir.File(secure ? "mixed-secure" : "mixed-raw");
    std::vector<std::string> options{"--format", "wav", "--output", out};
    if (secure)
      options.push_back("--secure");
    TRunResult run = Extract(options);
    EXPECT_EQ(run.ExitStatus, 1);
    EXPECT_NE(run.Output.find(out + "/Track01.wav\n"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("plindar: " + out +
                              "/Track02.wav was not made: its track is a data track, which "
                              "holds no audio.\n"),
              std::string::npos)
        << run.Output;
    EXPECT_EQ(FolderListing(out), (std::vector<std::string>{"Rip.log", "Track01.wav"}));
    EXPECT_NE(Verification.find("\n  Track 02: not made\n"), std::string::npos) << Verification;
  }
}

// The MusicBrainz disc id of the disc of the image at cue.
std::string ImageMusicBrainzId(const std::string &cue) {
  TImageDrives drives({cue});
  TToc toc{};
  return cd::ReadDriveToc(0, toc) ? mb::DiscId(mb::TocOf(toc)) : "";
}

// Each track's title in the log with where it came from: the title cache, freedb, MusicBrainz,
// or none for the "TrackNN" of a disc without titles.
TEST_F(ExtractProgram, TheRipLogNamesEachTitlesSource) {
  Cue = WriteAudioDisc(Dir.Path(), "three", {300, 450, 300});
  std::string id;
  {
    TImageDrives drives({Cue});
    id = DriveDiscID();
  }
  const std::string mbId = ImageMusicBrainzId(Cue);
  TCddbServer freedb;
  freedb.AddEntry("blues", "0b000e03", "plindar_three.xmcd");
  TMusicBrainzServer musicBrainz;
  musicBrainz.Answer(mbId, R"({"releases": [{"title": "First", "artist-credit": [{"name": "B"}],
      "media": [{"discs": [{"id": ")" +
                               mbId + R"("}], "tracks": [{"title": "First One"}]}]}]})");
  const std::string cached = "[" + id + "]\nTrackNumber=3\n1=Morning\n";
  const struct {
    std::vector<std::string> Options;
    std::string Cache, Title;
  } cases[] = {
      {{}, "", "Track01"},
      {{}, cached, "Morning (title cache)"},
      {{"--query", "--query-source", "freedb", "--cddb-server",
        "http://" + freedb.Address() + "/~cddb/cddb.cgi"},
       "",
       "Opening Theme (freedb)"},
      {{"--query", "--query-source", "musicbrainz", "--musicbrainz-url", musicBrainz.Url()},
       cached,
       "First One (MusicBrainz)"},
  };
  fs::create_directories(Config.File("Varnex/Plindar"));
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Title);
    std::ofstream(Config.File("Varnex/Plindar/cdinfo.dat")) << c.Cache;
    fs::remove_all(Dir.File("out"));
    std::vector<std::string> options = {"--format", "wav", "--output", Dir.File("out")};
    options.insert(options.end(), c.Options.begin(), c.Options.end());
    const TRunResult run = Extract(options);
    ASSERT_EQ(run.ExitStatus, 0) << run.Output;
    const std::vector<std::string> files = FolderListing(Dir.File("out"));
    const auto log = std::find_if(files.begin(), files.end(),
                                  [](const std::string &name) { return name.ends_with(".log"); });
    ASSERT_NE(log, files.end());
    const std::string text = FileText(Out(*log));
    EXPECT_NE(text.find("\nTrack 1\n  Title: " + c.Title + "\n"), std::string::npos) << text;
  }
}

// --detect-offset finds the offset of the image whose true audio the server's answer holds,
// and stores it only when asked to; a disc the database does not know fails the run.
TEST_F(ExtractProgram, DetectOffsetPrintsTheOffsetFoundAndStoresItOnlyWhenAsked) {
  Cue = WriteAudioDisc(Dir.Path(), "Long", {520, 470});
  const accuraterip::TDiscIds ids = ImageDiscIds(Cue);
  TCddbServer server;
  server.AddFile(
      "found/" + accuraterip::RequestPath(ids),
      Frame450Response(ids, {{5, ShiftedFrame450(Cue, 0, 6)}, {3, ShiftedFrame450(Cue, 520, 6)}}));
  const auto detect = [&](const std::string &folder, bool store) {
    std::vector<std::string> argv{PLINDAR_PROGRAM, "--cd-image", Cue, "--detect-offset",
                                  "--accuraterip-url=http://" + server.Address() + "/" + folder};
    if (store)
      argv.push_back("--store-offset");
    return RunProgram(argv);
  };
  const std::string found =
      "Read offset +6 found: sector 450 of 2 of 2 tracks matched (confidence 5)\n";
  TRunResult run = detect("found", false);
  EXPECT_EQ(run.ExitStatus, 0);
  EXPECT_EQ(run.Output, found);
  EXPECT_FALSE(fs::exists(OptionsFile()));
  run = detect("found", true);
  EXPECT_EQ(run.ExitStatus, 0);
  EXPECT_EQ(run.Output, found + "Stored for " + Cue + "\n");
  EXPECT_NE(FileText(OptionsFile()).find("[ReadOffsets]\nDrive1=" + Cue + "\nOffset1=6\n"),
            std::string::npos)
      << FileText(OptionsFile());
  run = detect("unknown", true);
  EXPECT_EQ(run.ExitStatus, 1);
  EXPECT_EQ(run.Output,
            "plindar: No read offset found: the disc is not in the AccurateRip database\n");
  // An offset that cannot be stored is no success.
  fs::remove(OptionsFile());
  fs::create_directory(OptionsFile() + ".tmp"); // where the new file is made: it cannot be
  run = detect("found", true);
  EXPECT_EQ(run.ExitStatus, 1);
  EXPECT_EQ(run.Output,
            found + "plindar: the offset could not be stored in " + OptionsFile() + "\n");
}

// Both read modes name the drive and the disc alike, and each says how it read: the raw mode
// claims no error count it cannot see. On a disc whose first track is 4 both name the tracks,
// their files and their lines by the disc's own numbers.
TEST_F(ExtractProgram, BothReadModesVerifyTheRipAndPrintEachTracksResult) {
  Cue = WriteTestDisc(Dir.Path(), "Late", {{150}, {110}}, 4);
  TCddbServer server;
  const accuraterip::TDiscIds ids = ImageDiscIds(Cue);
  char arIds[40];
  std::snprintf(arIds, sizeof arIds, "%03d-%08x-%08x-%08x", ids.AudioTracks, ids.Id1, ids.Id2,
                ids.FreedbId);
  const std::string disc = "Output format: WAV (PCM, 44100 Hz, 16-bit stereo)\n"
                           "Disc: no disc information\n"
                           "Disc ids: freedb " +
                           std::string(arIds).substr(22) + ", MusicBrainz " +
                           ImageMusicBrainzId(Cue) + ", AccurateRip " + arIds + "\n";
  const struct {
    std::string Mode, ReadMode, Read;
  } modes[] = {{"raw", "Raw, without error correction", "Read in full, without error correction"},
               {"secure", "Secure, full paranoia",
                "Read in full, 0 jitter errors corrected, 0 sectors not corrected"}};
  for (const auto &[mode, readMode, read] : modes) {
    SCOPED_TRACE(mode);
    const std::string out = Dir.File(mode);
    std::vector<std::string> options = {
        "--format",          "wav",
        "--output",          out,
        "--accuraterip-url", "http://" + server.Address() + "/" + mode};
    if (mode == "secure")
      options.push_back("--secure");
    ASSERT_EQ(Extract(options).ExitStatus, 0);
    const std::string log = FileText(out + "/Rip.log");
    const std::string head = "\nDrive: Disc image " + Cue + "\nRead mode: " + readMode +
                             "\nRead offset: 0 samples\n" + disc;
    EXPECT_NE(log.find(head), std::string::npos) << head << log;
    EXPECT_NE(log.find("\n  Read: " + read + "\n"), std::string::npos) << log;
    EXPECT_EQ(Verification, "AccurateRip: Not in the AccurateRip database\n"
                            "  Track 04: Not in the AccurateRip database\n"
                            "  Track 05: Not in the AccurateRip database\n"
                            "Rip log: " +
                                out + "/Rip.log\n");
    // The ripped tracks' own checksums, from an independent program: the first matches, the
    // second is filed with another.
    const uint32_t first = PeerChecksum(out + "/Track04.wav", 1, 2, false);
    server.AddFile(mode + "/" + accuraterip::RequestPath(ids),
                   DbarResponse(ids, {{7, first}, {7, first + 1}}));
    const TRunResult run = Extract(options);
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    EXPECT_EQ(Verification, "AccurateRip: 1 of 2 tracks accurately ripped\n"
                            "  Track 04: Accurately ripped (confidence 7, v2)\n"
                            "  Track 05: Not accurate (best confidence 7)\n"
                            "Rip log: " +
                                out + "/Rip.log\n");
    const std::string second = FileText(out + "/Rip.log");
    for (const char *line :
         {"\n      4 | 00:00.00 |", "\n      5 | 00:02.00 |", "\nTrack 4\n", "\nTrack 5\n"})
      EXPECT_NE(second.find(line), std::string::npos) << line << " in\n" << second;
  }
}

TEST_F(ExtractProgram, TheRipLogOfTheDemoDiscTellsHowEachTrackWasMadeAndVerified) {
  TCddbServer server;
  const std::string out = Dir.File("demo");
  const TRunResult run =
      RunProgram({PLINDAR_PROGRAM, "--make-demo-disc", Dir.File("disc"), "--extract", "--format",
                  "wav", "--output", out, "--accuraterip-url", "http://" + server.Address()});
  ASSERT_EQ(run.ExitStatus, 0) << run.Output;
  const std::string log = FileText(out + "/Rip.log");
  ASSERT_NE(run.Output.find("Rip log: " + out + "/Rip.log\n"), std::string::npos) << run.Output;
  const std::vector<std::string> fields = {
      "Plindar 4.5 rip log\n", "\nDate: 2",
      "\nDrive: Disc image " + Dir.File("disc/PlindarDemo.cue"),
      "\nRead mode: Raw, without error correction\n", "\nRead offset: 0 samples\n",
      "\nOutput format: WAV (PCM, 44100 Hz, 16-bit stereo)\n", "\nDisc: no disc information\n",
      // The table of contents: track, start and length in MSF and in sectors.
      "      1 | 00:00.00 | 01:00.00 |            0 |       4499\n", "      5 | ",
      "  Lead-out at sector ",
      "\nDone: 5 of 5 tracks made, 0 failed. AccurateRip: Not in the AccurateRip database\n"};
  for (const std::string &field : fields)
    EXPECT_NE(log.find(field), std::string::npos) << field << "\n" << log;
  for (int track = 1; track <= 5; ++track) {
    SCOPED_TRACE(track);
    const std::string wav = out + "/Track0" + std::to_string(track) + ".wav";
    const std::size_t at = log.find("\nTrack " + std::to_string(track) + "\n");
    ASSERT_NE(at, std::string::npos) << log;
    const std::string block = log.substr(at, log.find("\n\n", at + 1) - at);
    char sums[80];
    std::snprintf(sums, sizeof sums, "AccurateRip v1: %08X, v2: %08X",
                  PeerChecksum(wav, track, 5, true), PeerChecksum(wav, track, 5, false));
    const std::string crc =
        RunProgram(
            {"python3", "-c",
             "import sys,zlib; print('%08X' % zlib.crc32(open(sys.argv[1],'rb').read()[44:]))",
             wav})
            .Output;
    for (const std::string &line :
         {"File: " + wav, std::string("Peak level: "), std::string(sums), "CRC-32: " + crc,
          std::string("AccurateRip: Not in the AccurateRip database"),
          "Title: Track0" + std::to_string(track) + "\n",
          std::string("Read: Read in full, without error correction")})
      EXPECT_NE(block.find(line), std::string::npos) << line << "\n" << block;
  }
}

TEST_F(ExtractProgram, OptionsItCannotUseAreRefused) {
  TRunResult aac = Extract({"--format", "aac"});
  EXPECT_EQ(aac.ExitStatus, 2);
  EXPECT_NE(aac.Output.find("--format must be mp3, wav, ogg, wma, flac or opus, not aac"),
            std::string::npos);
  TRunResult alone = RunProgram({PLINDAR_PROGRAM, "--output", Dir.File("out")});
  EXPECT_EQ(alone.ExitStatus, 2);
  EXPECT_NE(alone.Output.find("--format and --output go with --extract"), std::string::npos);
}

} // namespace
