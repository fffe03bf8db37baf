// What both rip windows put into the files "plindar --extract" makes, read back by ffprobe: the
// list's titles and the disc information as tags, and the encoders' settings.
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
