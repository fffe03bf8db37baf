#include "DiscInfo.h"
#include "IniFile.h"
#include "TempConfig.h"

namespace {

class DiscCache : public TempConfig {
protected:
  void SetUp() override {
    TempConfig::SetUp();
    DiscInfo = TDiscInfo();
  }
  std::string CacheFile() const { return SettingsFolder() + "cdinfo.dat"; }
};

TEST_F(DiscCache, LivesInTheSettingsFolder) { EXPECT_EQ(DiscInfoFileName(), CacheFile()); }

TEST_F(DiscCache, UnseenDiscGetsDefaultTitlesAndNoGenre) {
  DiscInfo.Artist = "Left over";
  DiscInfo.Genre = 12;
  LoadDiscInfo("-1712092152");
  EXPECT_EQ(DiscInfo.Artist, "");
  EXPECT_EQ(DiscInfo.Album, "");
  EXPECT_EQ(DiscInfo.Year, "");
  EXPECT_EQ(DiscInfo.Comment, "");
  EXPECT_EQ(DiscInfo.Genre, -1);
  EXPECT_EQ(DiscInfo.TitleCount, 100);
  EXPECT_EQ(DiscInfo.Titles[1], "Track01");
  EXPECT_EQ(DiscInfo.Titles[9], "Track09");
  EXPECT_EQ(DiscInfo.Titles[10], "Track10");
  EXPECT_EQ(DiscInfo.Titles[100], "Track100");
  EXPECT_FALSE(fs::exists(CacheFile())) << "reading must not create the cache";
}

TEST_F(DiscCache, EmptyIdentifierNeitherReadsNorWrites) {
  DiscInfo.Artist = "Kept";
  DiscInfo.TitleCount = 2;
  LoadDiscInfo("");
  EXPECT_EQ(DiscInfo.Artist, "Kept");
  SaveDiscInfo("");
  EXPECT_FALSE(fs::exists(CacheFile()));
}

TEST_F(DiscCache, SaveWritesTheCountAndTitlesAndKeepsOtherDiscs) {
  WriteFile(CacheFile(), "[111]\nArtist=Someone else\nTrackNumber=1\n1=Theirs\n");
  DiscInfo.Artist = "The Band";
  DiscInfo.Album = "Live = Loud";
  DiscInfo.Year = "1999";
  DiscInfo.Comment = "two\nlines";
  DiscInfo.Genre = 17;
  DiscInfo.TitleCount = 3;
  DiscInfo.Titles[1] = "Intro";
  DiscInfo.Titles[2] = "A=B";
  DiscInfo.Titles[3] = "Grüße";
  DiscInfo.Titles[4] = "not on this disc";
  SaveDiscInfo("222");

  TIniFile ini(CacheFile());
  EXPECT_EQ(ini.ReadString("111", "1", ""), "Theirs");
  EXPECT_EQ(ini.ReadInteger("222", "TrackNumber", 0), 3);
  EXPECT_EQ(ini.ReadInteger("222", "Genre", 0), 17);
  EXPECT_FALSE(ini.ValueExists("222", "4"));

  DiscInfo = TDiscInfo();
  LoadDiscInfo("222");
  EXPECT_EQ(DiscInfo.Artist, "The Band");
  EXPECT_EQ(DiscInfo.Album, "Live = Loud");
  EXPECT_EQ(DiscInfo.Year, "1999");
  EXPECT_EQ(DiscInfo.Comment, "two lines") << "a line break may not split the cache line";
  EXPECT_EQ(DiscInfo.Genre, 17);
  EXPECT_EQ(DiscInfo.TitleCount, 3);
  EXPECT_EQ(DiscInfo.Titles[2], "A=B");
  EXPECT_EQ(DiscInfo.Titles[3], "Grüße");
}

TEST_F(DiscCache, MissingTitlesAndThoseOfAPreviousDisc) {
  WriteFile(CacheFile(), "[5]\nTrackNumber=3\n1=One\n3=Three\n5=beyond the count\n");
  DiscInfo.Titles[4] = "previous disc";
  LoadDiscInfo("5");
  EXPECT_EQ(DiscInfo.Titles[1], "One");
  EXPECT_EQ(DiscInfo.Titles[2], "Track02");
  EXPECT_EQ(DiscInfo.Titles[3], "Three");
  EXPECT_EQ(DiscInfo.Titles[4], "") << "titles past the count belong to no disc";
  EXPECT_EQ(DiscInfo.Titles[5], "");
}

TEST_F(DiscCache, DamagedCacheNeverReachesPastTheTitles) {
  std::string nul(1, '\0');
  WriteFile(CacheFile(), "[7]\nTrackNumber=5000\nGenre=0x10\n" + nul +
                             "junk\n[8\n1=x\n"
                             "[9]\nTrackNumber=-4\nGenre=rock\n[10]\nTrackNumber=abc\n2=Two\n");
  LoadDiscInfo("7");
  EXPECT_EQ(DiscInfo.TitleCount, 100);
  EXPECT_EQ(DiscInfo.Genre, 16);
  EXPECT_EQ(DiscInfo.Titles[100], "Track100");
  DiscInfo.TitleCount = 5000; // as a damaged caller might leave it
  SaveDiscInfo("7");
  EXPECT_EQ(TIniFile(CacheFile()).ReadInteger("7", "TrackNumber", 0), 100);

  LoadDiscInfo("9");
  EXPECT_EQ(DiscInfo.TitleCount, 0);
  EXPECT_EQ(DiscInfo.Genre, -1);
  EXPECT_EQ(DiscInfo.Titles[1], "");
  LoadDiscInfo("10");
  EXPECT_EQ(DiscInfo.TitleCount, 100);
  EXPECT_EQ(DiscInfo.Titles[2], "Two");
}

// A track's tags take the list's title its file title was made from, and never another
// track's (a list whose rows are not numbered from 1).
TEST(DiscTitles, TheListsTitleOnlyWhereTheFileTitleWasMadeFromIt) {
  DiscInfo = TDiscInfo();
  const struct {
    int Track;
    const char *Title, *FileTitle, *Tagged;
  } cases[] = {{1, "AC/DC: Live?", "ACDC Live", "AC/DC: Live?"},
               {1, "..Hidden", "Hidden", "..Hidden"},
               {1, "Same", "Same", "Same"},
               {1, "Track01", "Track04", "Track04"},
               {1, "", "Song", "Song"}};
  for (const auto &c : cases) {
    DiscInfo.Titles[1] = c.Title;
    EXPECT_EQ(DiscInfo.TitleOf(c.Track, c.FileTitle), c.Tagged) << c.Title;
  }
  DiscInfo.Titles[100] = "A/B";
  EXPECT_EQ(DiscInfo.TitleOf(100, "AB"), "A/B");
  EXPECT_EQ(DiscInfo.TitleOf(101, "AB"), "AB");
  DiscInfo = TDiscInfo();
}

} // namespace
