// The texts of the track list rows, the job entries and the command line.
#include "TrackList.h"
#include "CommandLine.h"

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
  // Quotes, control characters and non-ASCII text stay.
  EXPECT_EQ(CleanFileName("Mot\xC3\xB6rhead \"Ace\"\t"), "Mot\xC3\xB6rhead \"Ace\"\t");
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

  TProgramOptions none;
  ASSERT_TRUE(ParseCommandLine({}, none, error));
  EXPECT_TRUE(none.CDImages.empty());
  EXPECT_FALSE(none.List);
}

TEST(CommandLine, RejectsWhatItCannotUnderstand) {
  struct {
    std::vector<std::string> Args;
    const char *Error;
  } cases[] = {{{"--cd-image"}, "--cd-image needs a value"},
               {{"--cd-image="}, "--cd-image needs a value"},
               {{"--list", "--make-demo-disc"}, "--make-demo-disc needs a value"},
               {{"--lists"}, "unknown argument: --lists"},
               {{"disc.cue"}, "unknown argument: disc.cue"},
               {{"--play"}, "--play needs a value"},
               {{"--play", "a.ogg", "--list"}, "--play goes without --list and --extract"}};
  for (auto &c : cases) {
    TProgramOptions options;
    std::string error;
    EXPECT_FALSE(ParseCommandLine(c.Args, options, error)) << c.Args[0];
    EXPECT_EQ(error, c.Error);
  }
}
