// What both rip windows put into the files "plindar --extract" makes, read back by ffprobe: the
// list's titles and the disc information as tags, and the encoders' settings.
#include "AccurateRipAnswers.h"
#include "AudioDisc.h"
#include "ExtractProgram.h"
#include "MusicBrainz.h"
#include "MusicBrainzServer.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

// The title, genre and bit rate of a file, wherever its container keeps them (format or
// stream tags, in either case).
std::map<std::string, std::string> TagsOf(const std::string &path) {
  const TRunResult r =
      RunProgram({"ffprobe", "-v", "error", "-show_entries",
                  "stream=bit_rate:stream_tags=title,genre:format_tags=title,genre", "-of",
                  "default=noprint_wrappers=1", path});
  std::map<std::string, std::string> tags;
  std::istringstream lines(r.Output);
  for (std::string line; std::getline(lines, line);)
    if (const std::size_t eq = line.find('='); eq != std::string::npos) {
      std::string key = line.substr(0, eq);
      for (char &c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      tags[key] = line.substr(eq + 1);
    }
  return tags;
}

// The serial number of the first Ogg page's stream.
uint32_t OggSerial(const std::string &path) {
  const auto bytes = ReadFileBytes(path);
  return bytes.size() < 18 ? 0
                           : bytes[14] | bytes[15] << 8 | bytes[16] << 16 |
                                 static_cast<uint32_t>(bytes[17]) << 24;
}

} // namespace

// The tags carry the title as the list holds it, which the file name cannot; the genre goes by
// name into every format that takes one. A stored MP3 bit rate lame does not take becomes the
// default, and Ogg follows the managed bit rate in both windows, each stream with a serial
// number of its own.
TEST_F(ExtractProgram, BothWindowsTagTheListsTitlesAndEncodeWithTheSettings) {
  std::string id;
  {
    TImageDrives drives({Cue});
    id = DriveDiscID();
  }
  fs::create_directories(Config.File("Varnex/Plindar"));
  std::ofstream(Config.File("Varnex/Plindar/cdinfo.dat"))
      << "[" << id << "]\nArtist=AC/DC\nGenre=17\nTrackNumber=2\n1=AC/DC: Live?\n2=Two\n";
  std::ofstream(OptionsFile()) << "[ID3]\nUse=1\n[Mp3Options]\nBitRate=6\n"
                               << "[OggOptions]\nIsUseCompress=0\nNomalBitRate=14\n";
  const struct {
    const char *Format;
    const char *BitRate; // "" where the container names none
  } cases[] = {{"mp3", "128000"}, {"ogg", "320000"}, {"flac", ""}, {"opus", ""}};
  for (const bool secure : {false, true})
    for (const auto &c : cases) {
      const std::string out = Dir.File(std::string(secure ? "secure-" : "") + c.Format);
      std::vector<std::string> options = {"--format", c.Format, "--output", out};
      if (secure)
        options.push_back("--secure");
      const TRunResult run = Extract(options);
      SCOPED_TRACE(out);
      ASSERT_EQ(run.ExitStatus, 0) << run.Output;
      const std::string file = out + "/ACDC Live." + c.Format;
      EXPECT_EQ(run.Output, file + "\n" + out + "/Two." + c.Format + "\n");
      auto tags = TagsOf(file);
      EXPECT_EQ(tags["tag:title"], "AC/DC: Live?");
      EXPECT_EQ(tags["tag:genre"], "Blues");
      if (*c.BitRate) {
        EXPECT_EQ(tags["bit_rate"], c.BitRate);
      }
      if (std::string(c.Format) == "ogg") {
        EXPECT_NE(OggSerial(file), OggSerial(out + "/Two.ogg"));
      }
    }
}

// Titles looked up for the run reach the tags as the list shows them, not as the files are named.
TEST_F(ExtractProgram, TitlesLookedUpForTheRunAreTheTagsTitles) {
  std::string id;
  {
    TImageDrives drives({Cue});
    TToc toc{};
    ASSERT_TRUE(cd::ReadDriveToc(0, toc));
    id = mb::DiscId(mb::TocOf(toc));
  }
  TMusicBrainzServer server;
  server.Answer(id, R"({"releases": [{"title": "Live", "artist-credit": [{"name": "AC/DC"}],
      "media": [{"format": "CD", "discs": [{"id": ")" +
                        id + R"("}],
      "tracks": [{"title": "AC/DC: Live?"}, {"title": "Two <2>"}]}]}]})");
  fs::create_directories(Config.File("Varnex/Plindar"));
  std::ofstream(OptionsFile()) << "[ID3]\nUse=1\n";
  const std::string out = Dir.File("out");
  const TRunResult run = Extract({"--query", "--query-source", "musicbrainz", "--musicbrainz-url",
                                  server.Url(), "--format", "ogg", "--output", out});
  ASSERT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, out + "/ACDC Live.ogg\n" + out + "/Two 2.ogg\n");
  EXPECT_EQ(TagsOf(out + "/ACDC Live.ogg")["tag:title"], "AC/DC: Live?");
  EXPECT_EQ(TagsOf(out + "/Two 2.ogg")["tag:title"], "Two <2>");
}

// A disc image whose sheet carries a catalogue number, ISRCs and a pre-emphasis flag, and music
// before track 1: both windows write each code where it belongs (the log, the Vorbis comments),
// and the raw rip lists and rips the hidden track as track 0 unless the setting turns it off.
TEST_F(ExtractProgram, TheDiscsCodesAndHiddenTrackGoWhereTheyBelong) {
  WriteAudioDisc(Dir.Path(), "Codes", {75 + 40, 30});
  Cue = Dir.File("Codes.cue");
  std::ofstream(Cue) << "CATALOG 0724384260523\nFILE \"Codes.bin\" BINARY\n"
                        "  TRACK 01 AUDIO\n    ISRC USABC9900001\n    FLAGS PRE\n"
                        "    INDEX 00 00:00:00\n    INDEX 01 00:01:00\n"
                        "  TRACK 02 AUDIO\n    ISRC GBXYZ0000002\n    INDEX 01 00:01:40\n";
  fs::create_directories(Config.File("Varnex/Plindar"));
  std::ofstream(OptionsFile()) << "[ID3]\nUse=1\n";
  TCddbServer server;
  {
    TImageDrives drives({Cue});
    TToc toc;
    ASSERT_TRUE(cd::ReadDriveToc(0, toc));
    const accuraterip::TDiscIds ids = accuraterip::DiscIds(cd::VerificationToc(toc));
    server.AddFile("ar/" + accuraterip::RequestPath(ids), DbarResponse(ids, {{3, 1}, {3, 2}}));
  }
  const TRunResult list = RunProgram({PLINDAR_PROGRAM, "--cd-image", Cue, "--list"});
  EXPECT_EQ(list.Output, "0\tHidden track\t00:01 PE\t00.17\n"
                         "1\tTrack01\t00:00 PE\t00.00\n"
                         "2\tTrack02\t00:00\t00.00\n");
  for (const bool secure : {false, true})
    for (const char *format : {"flac", "opus"}) {
      const std::string out = Dir.File(std::string(secure ? "secure-" : "") + format);
      std::vector<std::string> options = {"--format", format, "--output", out};
      if (secure)
        options.push_back("--secure");
      SCOPED_TRACE(out);
      std::vector<std::string> argv = {
          PLINDAR_PROGRAM, "--cd-image",        Cue,
          "--extract",     "--accuraterip-url", "http://" + server.Address() + "/ar"};
      argv.insert(argv.end(), options.begin(), options.end());
      ASSERT_EQ(Verified(RunProgram(argv)).ExitStatus, 0);
      // The hidden track is in no disc id: the database's answer is for the others alone.
      EXPECT_EQ(Verification.find("  Track 00: Not in the AccurateRip database\n") !=
                    std::string::npos,
                !secure)
          << Verification;
      EXPECT_NE(Verification.find("  Track 02: Not accurate (best confidence 3)\n"),
                std::string::npos)
          << Verification;
      const std::string log = FileText(out + "/Rip.log");
      EXPECT_NE(log.find("Catalogue number: 0724384260523\n"), std::string::npos) << log;
      EXPECT_NE(log.find("Track 1\n  Title: Track01\n  ISRC: USABC9900001\n"
                         "  Pre-emphasis: yes, kept as recorded\n"),
                std::string::npos)
          << log;
      EXPECT_NE(log.find("Track 2\n  Title: Track02\n  ISRC: GBXYZ0000002\n  File:"),
                std::string::npos)
          << log;
      // The secure rip reads through the CD input, which has no hidden track yet.
      EXPECT_EQ(fs::exists(out + "/Hidden track." + format), !secure);
      for (const auto &[file, isrc] :
           {std::pair{"/Track01.", "USABC9900001"}, std::pair{"/Track02.", "GBXYZ0000002"}}) {
        const TRunResult probe = RunProgram(
            {"ffprobe", "-v", "error", "-show_entries", "format_tags=isrc:stream_tags=isrc", "-of",
             "default=noprint_wrappers=1:nokey=1", out + file + format});
        EXPECT_EQ(probe.Output, std::string(isrc) + "\n") << file;
      }
    }
  std::ofstream(OptionsFile()) << "[CDOptions]\nDetectHiddenTrack=0\n";
  EXPECT_EQ(RunProgram({PLINDAR_PROGRAM, "--cd-image", Cue, "--list"}).Output.substr(0, 2), "1\t");
}
