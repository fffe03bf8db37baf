// The CDDB component of CD-input mode: disc id and query string through the CD ripping
// library, its URL, its status rules, its entry parser on real entries, and whole lookups
// against the test server.
#include "CDDBInfo.h"
#include "AuCDROM.h"
#include "CddbServer.h"
#include "FileContents.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// A disc image with the given track starts and lead-out whose BIN holds nothing but zeros (a
// sparse file, so a full-length disc costs no space).
std::string WriteTocImage(const std::string &dir, const std::string &name,
                          const std::vector<int> &starts, int leadOut) {
  std::ofstream cue(dir + "/" + name + ".cue");
  cue << "FILE \"" << name << ".bin\" BINARY\n";
  for (std::size_t i = 0; i < starts.size(); ++i) {
    char line[96];
    std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n    INDEX 01 %02d:%02d:%02d\n", i + 1,
                  starts[i] / 4500, starts[i] / 75 % 60, starts[i] % 75);
    cue << line;
  }
  std::filesystem::resize_file(
      (std::ofstream(dir + "/" + name + ".bin"), dir + "/" + name + ".bin"),
      std::uintmax_t(leadOut) * 2352);
  return dir + "/" + name + ".cue";
}

class CDDBInfoTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
    const std::string audio = WriteAudioDisc(Discs.Path(), "Audio", {120, 80, 100});
    // The real disc of the entry 940c700b: its frame offsets less the 150 of the lead-in, and
    // its 3186 seconds.
    const std::string real = WriteTocImage(
        Discs.Path(), "Real",
        {0, 24925, 46351, 70446, 88383, 105760, 125019, 147215, 162756, 190291, 215024},
        3186 * 75 - 150);
    Gone = WriteAudioDisc(Discs.Path(), "Gone", {75});
    Drives = std::make_unique<TImageDrives>(std::vector<std::string>{audio, real, Gone});
    In = std::make_unique<TCDIn>();
    Info.CDIn = In.get();
  }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

  TCDDBQuery &Query() { return Info.CDDBQuery(); }

  void UseServer(const TCddbServer &server) {
    Info.Server = "http://" + server.Address();
    Info.Email = "me@example.org";
  }

  TTempDir Config, Discs;
  std::string Gone;
  std::unique_ptr<TImageDrives> Drives;
  std::unique_ptr<TCDIn> In;
  TCDDBInfo Info;
};

TEST_F(CDDBInfoTest, DiscIdCountsTheLeadInAndTheQueryStringDoesNot) {
  std::filesystem::remove(BinOf(Gone));
  std::filesystem::remove(Gone);
  struct TCase {
    int Drive;
    const char *Id, *Query;
  } cases[] = {
      {0, "09000403", "3 0 120 200 4"}, // first track at sector 0: 2 seconds in the id
      {1, "940c700b",
       "11 0 24925 46351 70446 88383 105760 125019 147215 162756 190291 215024 3184"},
      {2, "ffffffff", ""}, // no disc
  };
  for (const TCase &c : cases) {
    In->SetCurrentDrive(c.Drive);
    EXPECT_EQ(Info.DiscID(), c.Id);
    EXPECT_EQ(Info.QueryString(), c.Query);
  }
  TCDDBInfo unlinked;
  EXPECT_THROW(unlinked.DiscID(), EAuException);
  EXPECT_THROW(unlinked.QueryString(), EAuException);
}

TEST_F(CDDBInfoTest, TheUrlIsTheProtocolTemplateWithNothingEncoded) {
  Info.Server = "http://cddb.example.org:8880";
  Info.Email = "me@example.org";
  EXPECT_EQ(Query().BuildURL("query", "09000403 3 0 120 200 4"),
            "http://cddb.example.org:8880/~cddb/cddb.cgi?cmd=cddb+query+09000403+3+0+120+200+4"
            "&hello=me+example.org+\"Plindar\"v1.0&proto=5");
  Info.ApplicationName = "My Ripper";
  EXPECT_EQ(Query().BuildURL("read", "rock 09000403"),
            "http://cddb.example.org:8880/~cddb/cddb.cgi?cmd=cddb+read+rock+09000403"
            "&hello=me+example.org+\"My+Ripper\"v1.0&proto=5");
}

TEST_F(CDDBInfoTest, TheStatusIsTheCodeOfTheLastLineExamined) {
  struct TCase {
    std::string Text;
    std::int32_t Status;
    std::size_t Matches;
  } cases[] = {
      {"200 rock 09000403 A / B\r\n", 200, 1},
      {"200 rock 09000403 A / B\r\nnot a status\r\n", 500, 1}, // a 200 followed by a line
      {"211 close ones\r\nrock 1 a\r\njazz 2 b\r\nblues 3 c\r\n.\r\n202 later\r\n", 211, 3},
      {"210 found\r\nrock 1 a\r\n\r\n", 210, 2}, // no "." line: to the end, blank included
      {"202 No match found\r\n", 202, 0},
      {"", -2, 0},
      {FileText(CddbDataFile("6b0af009_query_211_single_inexact.txt")), 211, 1},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(Query().ParseQueryResponse(c.Text), c.Status);
    EXPECT_EQ(Query().Matches.size(), c.Matches);
  }
  EXPECT_EQ(Query().Matches.front(), "blues 6b0af009 Zu / Rai Sunawachi Koe Wo Hassu");
  EXPECT_EQ(TCDDBQuery::SplitMatch(Query().Matches.front()),
            (std::vector<std::string>{"blues", "6b0af009", "Zu / Rai Sunawachi Koe Wo Hassu"}));
}

TEST_F(CDDBInfoTest, EntriesAreParsedWithContinuedLinesJoined) {
  TCDDBAlbum &album = Query().Album;
  Query().ParseEntry(FileText(CddbDataFile("cc0cfb0f_supercop_entry_body_with_continuations.txt")));
  EXPECT_EQ(album.Artist, "Various Artists");
  EXPECT_EQ(album.Title, "Supercop (Music From And Inspired By The Dimension Motion Picture)");
  ASSERT_EQ(album.TrackCount, 15);
  ASSERT_EQ(album.TrackTitles.size(), 15u);
  EXPECT_EQ(album.TrackArtists[1], "Warren G featuring Adina Howard");
  EXPECT_EQ(album.TrackTitles[1], "What's Love Got To Do With It");
  EXPECT_EQ(album.TrackTitles[14], "Main Title From Supercop");
  EXPECT_EQ(album.Year, "1995");

  // DTITLE without a slash: no disc artist, and the track takes the disc's.
  Query().ParseEntry(FileText(CddbDataFile("libcddb_12345674.xmcd")));
  EXPECT_EQ(album.Artist, "");
  EXPECT_EQ(album.Title, "DiscTitle");
  EXPECT_EQ(album.TrackTitles, std::vector<std::string>{"TrackTitle1"});
  EXPECT_EQ(album.TrackArtists, std::vector<std::string>{""});
  EXPECT_EQ(album.Year, "2003");
  EXPECT_EQ(album.Genre, "Test data");
  EXPECT_EQ(album.DiscLength, "10 seconds");
  EXPECT_EQ(album.ExtendedData, "DiscExt");

  // A later entry keeps what it does not name; fields are cut to their sizes.
  Query().ParseEntry("# Generated: by hand\nDTITLE=A / B\nDGENRE=" + std::string(40, 'g') +
                     "\nTTITLE0=One\\nTwo\nEXTD=More\nEXTT0=x\nEXTT1=surplus\n");
  EXPECT_EQ(album.Year, "2003");
  EXPECT_EQ(album.Genre, std::string(30, 'g'));
  EXPECT_EQ(album.Generated, "by hand");
  EXPECT_EQ(album.TrackTitles, std::vector<std::string>{"One\r\nTwo"});
  EXPECT_EQ(album.TrackArtists, std::vector<std::string>{"A"});
  EXPECT_EQ(album.ExtendedData, "DiscExtMore");
  EXPECT_EQ(album.TrackExtended, std::vector<std::string>{"x"});
}

TEST_F(CDDBInfoTest, ALookupReadsTheFirstMatchAndAFailedOneKeepsTheAlbum) {
  TCddbServer server("211", false, 0.3);
  for (const char *category : {"rock", "blues", "jazz"})
    server.AddEntry(category, "940c700b", "940c700b_rammstein_black-mutter.xmcd");
  UseServer(server);
  In->SetCurrentDrive(1);
  int waits = 0;
  Info.WhileWaiting = [&] { ++waits; };
  EXPECT_EQ(Info.Query(), 211);
  EXPECT_GT(waits, 0); // the caller's window kept being served during the delayed answers
  EXPECT_EQ(Info.LastDiscID, "940c700b");
  TCDDBAlbum album;
  Info.GetAlbum(album);
  EXPECT_EQ(album.Title, "(black) Mutter");
  EXPECT_EQ(album.TrackCount, 11);
  const std::string requests = server.Requests();
  EXPECT_NE(requests.find("cmd=cddb+read+blues+940c700b"), std::string::npos) << requests;
  EXPECT_EQ(requests.find("cmd=cddb+read+rock"), std::string::npos) << requests;

  TCddbServer refusing("403");
  UseServer(refusing);
  Query().Read(0); // the first match again, answered "401 No such CD entry"
  EXPECT_EQ(Info.Query(), 403);
  TCddbServer silent("hang");
  UseServer(silent);
  EXPECT_EQ(Info.ConnectTimeout, std::chrono::seconds(10));
  EXPECT_EQ(Info.TotalTimeout, std::chrono::seconds(30));
  Info.ConnectTimeout = Info.TotalTimeout = std::chrono::milliseconds(300);
  EXPECT_EQ(Info.Query(), -1);
  TCDDBAlbum kept;
  Info.GetAlbum(kept);
  EXPECT_EQ(kept.Title, "(black) Mutter");
  EXPECT_EQ(kept.TrackCount, 11);
}

} // namespace
