// The texts of the track list rows, the job entries and the command line.
#include "TrackList.h"
#include "AudioDisc.h"
#include "CommandLine.h"
#include "Global.h"
#include "MusicBrainz.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

TEST(TrackTexts, LengthAndSizeOfKnownTracks) {
  struct {
    int Minutes, Seconds;
    const char *Length, *Size;
  } cases[] = {{4, 33, "04:33", "45.93"}, {0, 20, "00:20", "03.36"}, {74, 59, "74:59", "756.86"},
               {0, 0, "00:00", "00.00"},  {1, 5, "01:05", "10.93"},  {10, 0, "10:00", "100.94"}};
  for (auto &c : cases) {
    TTrackLength length{c.Minutes, c.Seconds};
    EXPECT_EQ(LengthText(length), c.Length) << c.Minutes << ":" << c.Seconds;
    EXPECT_EQ(SizeText(length), c.Size) << c.Minutes << ":" << c.Seconds;
  }
}

TEST(TrackTexts, SizeRoundsHalfHundredthsToEven) {
  // 8192 s are exactly 1378.125 MB: the even neighbour is below, so rounding half away from
  // zero would show 1378.13. 24576 s are 4134.375 MB, whose even neighbour is above.
  EXPECT_EQ(SizeText({136, 32}), "1378.12");
  EXPECT_EQ(SizeText({409, 36}), "4134.38");
}

TEST(TrackTexts, LengthIgnoresFramesAndBorrowsAMinute) {
  // 00:02:74 to 02:07:10 is 2:04 and 11 frames, but frames do not count.
  TTrackLength a = TrackLengthBetween(0, 2, 2, 7);
  EXPECT_EQ(LengthText(a), "02:05");
  // 03:50 to 05:10: the seconds borrow from the minutes.
  TTrackLength b = TrackLengthBetween(3, 50, 5, 10);
  EXPECT_EQ(b.Minutes, 1);
  EXPECT_EQ(b.Seconds, 20);
  EXPECT_EQ(LengthText(TrackLengthBetween(7, 0, 7, 0)), "00:00");
}

TEST(JobEntries, TitlesLoseOnlyTheForbiddenCharacters) {
  EXPECT_EQ(CleanFileName("AC/DC: Live?"), "ACDC Live");
  EXPECT_EQ(CleanFileName("a*b/c:d<e>f?g\\h|i"), "abcdefghi");
  // Quotes and non-ASCII text stay; control characters go.
  EXPECT_EQ(CleanFileName("Mot\xC3\xB6rhead \"Ace\"\t"), "Mot\xC3\xB6rhead \"Ace\"");
  EXPECT_EQ(CleanFileName("?:*"), "");
}

TEST(JobEntries, StartWithTheTwoDigitPosition) {
  EXPECT_EQ(JobEntry(3, "AC/DC: Live?"), "03ACDC Live");
  EXPECT_EQ(JobEntry(12, "Coda"), "12Coda");
}

TEST(JobEntries, ATitleThatWouldGiveAHiddenOrNamelessFileIsReplaced) {
  const std::pair<const char *, const char *> cases[] = {
      {"???", "07Track07"},          {"", "07Track07"}, {" / ", "07Track07"}, {"..", "07Track07"},
      {"...And Then", "07And Then"}, {"a.b.", "07a.b."}};
  for (const auto &[title, entry] : cases)
    EXPECT_EQ(JobEntry(7, title), entry) << '"' << title << '"';
}

// What a server or a disc calls a track ends up in a file name: it stays a plain name inside
// the output folder, without control characters, whether MusicBrainz or the CD-Text sent it.
TEST(JobEntries, TitlesFromOutsideGiveNamesInsideTheOutputFolder) {
  const std::pair<std::string, std::string> cases[] = {
      {"../../etc/passwd", "etcpasswd"},
      {"..", "Track01"},
      {"/", "Track01"},
      {"/root/.ssh", "root.ssh"},
      {"..\\..\\boot.ini", "boot.ini"},
      {"Bell\x07 and \x1b[31mred\x7f", "Bell and [31mred"},
      {"Next\xC2\x85 line", "Next line"},
      {"\t.hidden", "hidden"},
  };
  // MusicBrainz: one release, a track for each case.
  nlohmann::json tracks = nlohmann::json::array();
  for (const auto &c : cases)
    tracks.push_back({{"title", c.first}});
  const nlohmann::json answer = {
      {"releases",
       {{{"title", "t"}, {"media", {{{"discs", {{{"id", "disc"}}}}, {"tracks", tracks}}}}}}}};
  std::vector<mb::TRelease> releases;
  std::string why;
  ASSERT_TRUE(mb::ParseReleases(answer.dump(), "disc", releases, why)) << why;
  ASSERT_EQ(releases.size(), 1u);
  // CD-Text: a CUE sheet with a TITLE line for each case.
  TTempDir dir;
  TCdTextSheet sheet;
  for (const auto &c : cases)
    sheet.TrackTitles.push_back(c.first);
  TImageDrives drives(
      {WriteCdTextDisc(dir.Path(), "hostile", std::vector<uint32_t>(8, 10), sheet)});
  TDiscText text;
  ASSERT_TRUE(cd::ReadDriveText(0, text));

  const std::vector<std::string> *sources[] = {&releases[0].Titles, &text.Titles};
  for (const auto *titles : sources) {
    ASSERT_EQ(titles->size(), std::size(cases));
    for (std::size_t i = 0; i < titles->size(); ++i) {
      const std::string name = JobEntry(1, (*titles)[i]).substr(2);
      EXPECT_EQ(name, cases[i].second)
          << (titles == sources[0] ? "MusicBrainz " : "CD-Text ") << cases[i].first;
    }
  }
}

TEST(CommandLine, ReadsEveryOption) {
  TProgramOptions options;
  std::string error;
  ASSERT_TRUE(ParseCommandLine(
      {"--cd-image", "a.cue", "--list", "--cd-image=b.cue", "--make-demo-disc", "demo"}, options,
      error))
      << error;
  EXPECT_EQ(options.CDImages, (std::vector<std::string>{"a.cue", "b.cue"}));
  EXPECT_TRUE(options.List);
  EXPECT_EQ(options.DemoDiscFolder, "demo");
  EXPECT_FALSE(options.Help);

  TProgramOptions query;
  ASSERT_TRUE(ParseCommandLine(
      {"--query", "--cddb-server=http://127.0.0.1:8880/~cddb/cddb.cgi", "--list"}, query, error))
      << error;
  EXPECT_TRUE(query.Query);
  EXPECT_EQ(query.CddbServer, "127.0.0.1:8880");
  EXPECT_EQ(query.CddbScript, "/~cddb/cddb.cgi");
  EXPECT_EQ(query.QuerySource, -1); // the setting's sources

  TProgramOptions sources;
  ASSERT_TRUE(ParseCommandLine({"--query", "--query-source", "musicbrainz", "--musicbrainz-url",
                                "http://127.0.0.1:8000", "--extract"},
                               sources, error))
      << error;
  EXPECT_EQ(sources.QuerySource, TitleSourcesMusicBrainz);
  EXPECT_EQ(sources.MusicBrainzUrl, "http://127.0.0.1:8000");

  for (const auto &[text, offset] :
       {std::pair{"+6", 6}, {"-6", -6}, {"2000", 2000}, {"-2000", -2000}}) {
    TProgramOptions run;
    ASSERT_TRUE(ParseCommandLine({"--extract", "--offset", text}, run, error)) << error;
    EXPECT_EQ(run.ReadOffset, offset);
  }

  TProgramOptions none;
  ASSERT_TRUE(ParseCommandLine({}, none, error));
  EXPECT_TRUE(none.CDImages.empty());
  EXPECT_FALSE(none.List);
}

TEST(CommandLine, ReadsTheConversionAndItsOptions) {
  TProgramOptions options;
  std::string error;
  ASSERT_TRUE(ParseCommandLine({"--convert", "in.ogg", "out.WAV", "--rate", "22050", "--channels=1",
                                "--bits", "16", "--ima"},
                               options, error))
      << error;
  EXPECT_TRUE(options.Convert);
  EXPECT_EQ(options.Conversion.Input, "in.ogg");
  EXPECT_EQ(options.Conversion.Output, "out.WAV");
  EXPECT_EQ(options.Conversion.SampleRate, 22050u);
  EXPECT_EQ(options.Conversion.Channels, 1u);
  EXPECT_EQ(options.Conversion.BitsPerSample, 16u);
  EXPECT_TRUE(options.Conversion.Ima);

  // What is not given keeps the input's values: zero, and the default quality.
  TProgramOptions ogg;
  ASSERT_TRUE(ParseCommandLine({"--convert", "in.wav", "out.ogg"}, ogg, error)) << error;
  EXPECT_EQ(ogg.Conversion.SampleRate, 0u);
  EXPECT_EQ(ogg.Conversion.Channels, 0u);
  EXPECT_EQ(ogg.Conversion.BitsPerSample, 0u);
  EXPECT_FLOAT_EQ(ogg.Conversion.Quality, 0.2f);
  ASSERT_TRUE(ParseCommandLine({"--convert", "in.wav", "out.ogg", "--quality=-0.1"}, ogg, error));
  EXPECT_FLOAT_EQ(ogg.Conversion.Quality, -0.1f);
  // A number too small for a float is still a number of the range.
  ASSERT_TRUE(ParseCommandLine({"--convert", "in.wav", "out.ogg", "--quality=1e-50"}, ogg, error))
      << error;
  EXPECT_FLOAT_EQ(ogg.Conversion.Quality, 0.0f);
}

TEST(CommandLine, RejectsWhatItCannotUnderstand) {
  struct {
    std::vector<std::string> Args;
    const char *Error;
  } cases[] = {
      {{"--cd-image"}, "--cd-image needs a value"},
      {{"--cd-image="}, "--cd-image needs a value"},
      {{"--list", "--make-demo-disc"}, "--make-demo-disc needs a value"},
      {{"--lists"}, "unknown argument: --lists"},
      {{"disc.cue"}, "unknown argument: disc.cue"},
      {{"--convert", "a.wav"}, "--convert needs an input and an output file"},
      {{"--convert", "a.wav", "b.mp3"},
       "--convert writes .wav, .ogg, .flac or .opus files, not b.mp3"},
      {{"--rate", "22050"}, "--rate, --channels, --bits, --ima and --quality go with --convert"},
      {{"--convert", "a.wav", "b.wav", "--rate", "22k"},
       "--rate must be a sample rate from 1000 to 1000000 Hz, not 22k"},
      {{"--convert", "a.wav", "b.wav", "--rate=999"},
       "--rate must be a sample rate from 1000 to 1000000 Hz, not 999"},
      {{"--convert", "a.wav", "b.wav", "--channels", "3"}, "--channels must be 1 or 2, not 3"},
      {{"--convert", "a.wav", "b.wav", "--bits", "12"}, "--bits must be 8, 16, 24 or 32, not 12"},
      {{"--convert", "a.wav", "b.ogg", "--quality", "1.5"},
       "--quality must be a number from -0.1 to 1, not 1.5"},
      {{"--convert", "a.wav", "b.ogg", "--quality", "nan"},
       "--quality must be a number from -0.1 to 1, not nan"},
      {{"--convert", "a.wav", "b.ogg", "--quality=-inf"},
       "--quality must be a number from -0.1 to 1, not -inf"},
      {{"--convert", "a.wav", "b.flac", "--ima"},
       "--ima goes with a .wav output, --bits with a .wav or .flac one"},
      {{"--convert", "a.wav", "b.opus", "--bits", "24"},
       "--ima goes with a .wav output, --bits with a .wav or .flac one"},
      {{"--convert", "a.wav", "b.flac", "--quality", "0.5"}, "--quality goes with an .ogg output"},
      {{"--convert", "a.wav", "b.wav", "--quality", "0.5"}, "--quality goes with an .ogg output"},
      {{"--convert", "a.wav", "b.wav", "--ima", "--bits", "8"},
       "--ima encodes 16-bit samples: --bits must be 16 or left out"},
      {{"--list", "--convert", "a.wav", "b.wav"},
       "--convert goes without --cd-image, --list, --extract and --make-demo-disc"},
      {{"--query"}, "--query goes with --list or --extract"},
      {{"--list", "--cddb-server", "http://h/cddb.cgi"},
       "--cddb-server, --query-source and --musicbrainz-url go with --query"},
      {{"--list", "--query-source=both"},
       "--cddb-server, --query-source and --musicbrainz-url go with --query"},
      {{"--query", "--list", "--query-source", "discogs"},
       "--query-source must be freedb, musicbrainz or both, not discogs"},
      {{"--query", "--list", "--musicbrainz-url", "musicbrainz.org"},
       "--musicbrainz-url must be http[s]://host[:port][/path], not musicbrainz.org"},
      {{"--cddb-server=http://h/"},
       "--cddb-server must be http://host[:port]/path/to/cddb.cgi, not http://h/"},
      {{"--cddb-server=h:80/cddb.cgi"},
       "--cddb-server must be http://host[:port]/path/to/cddb.cgi, not h:80/cddb.cgi"},
      {{"--play"}, "--play needs a value"},
      {{"--play", "a.ogg", "--list"}, "--play goes without --list and --extract"},
      {{"--offset", "-2001"}, "--offset must be a number of samples from -2000 to 2000, not -2001"},
      {{"--offset=2001"}, "--offset must be a number of samples from -2000 to 2000, not 2001"},
      {{"--offset", "six"}, "--offset must be a number of samples from -2000 to 2000, not six"},
      {{"--offset", "6 "}, "--offset must be a number of samples from -2000 to 2000, not 6 "},
      {{"--offset", "+-6"}, "--offset must be a number of samples from -2000 to 2000, not +-6"},
      {{"--store-offset"}, "--store-offset goes with --detect-offset"},
      {{"--detect-offset", "--offset", "6"},
       "--detect-offset goes without --list, --extract, --query, --offset and --secure"},
      {{"--play", "a.ogg", "--offset", "6"},
       "--offset and --detect-offset go without --convert and --play"}};
  for (auto &c : cases) {
    TProgramOptions options;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.Args, options, error)) << c.Args[0];
    EXPECT_EQ(error, c.Error);
  }
}
