// The CDDB lookup of a disc image's disc through the CD drive library, against the test server.
#include "CddbLookup.h"
#include "CddbServer.h"
#include "FirstDrive.h"
#include "Global.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32Cddb.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// Two audio tracks and a data track: the freedb rule counts the data track too.
const std::vector<TTestTrack> Tracks = {{300}, {450}, {300, true}};
const std::string Id = "0b000e03";
const std::string Query = "cmd=cddb+query+0b000e03+3+150+450+900+16"
                          "&hello=plindar+localhost+Plindar+" +
                          std::string(product::Version);

class CddbLookupTest : public ::testing::Test {
protected:
  void TearDown() override {
    GlobalOptions = TGlobalOptions();
    SetCDDBTimeouts(std::chrono::seconds(10), std::chrono::seconds(30));
  }

  // Looks the test disc up on the server at address; firstTrack renumbers the disc's tracks.
  TCddbLookup LookUp(const std::string &address, int firstTrack = 1) {
    std::string cue = WriteTestDisc(Dir.Path(), "disc", Tracks);
    if (firstTrack != 1) {
      std::string sheet = FileText(cue);
      for (int n = 3; n >= 1; --n)
        sheet.replace(sheet.find("TRACK 0" + std::to_string(n)), 8,
                      "TRACK 0" + std::to_string(n + firstTrack - 1));
      std::ofstream(cue) << sheet;
    }
    TImageDrives drives({cue});
    GlobalOptions.Server = address;
    const int32_t handle = OpenFirstDrive();
    TCddbLookup lookup = LookUpDisc(handle, GlobalOptions);
    CloseCDHandle(handle);
    return lookup;
  }

  TTempDir Dir;
};

} // namespace

TEST_F(CddbLookupTest, AnExactMatchGivesTheEntryWhateverTheFirstTrackNumber) {
  for (int firstTrack : {1, 3}) {
    TCddbServer server;
    server.AddEntry("blues", Id, "plindar_three.xmcd");
    const TCddbLookup lookup = LookUp(server.Address(), firstTrack);
    ASSERT_TRUE(lookup.Found) << lookup.Why;
    EXPECT_EQ(lookup.Entry.Artist, "The Plindar Trio");
    EXPECT_EQ(lookup.Entry.Album, "Rip Tests");
    EXPECT_EQ(lookup.Entry.Year, "2026");
    EXPECT_EQ(lookup.Entry.Genre, "Blues");
    EXPECT_EQ(lookup.Entry.TrackTitles,
              (std::vector<std::string>{"Opening Theme",
                                        "A Title Long Enough to Continue on a Second Line",
                                        "Coda für Café"}));
    EXPECT_EQ(server.Requests(), "/~cddb/cddb.cgi?" + Query + "&proto=6\n" +
                                     "/~cddb/cddb.cgi?cmd=cddb+read+blues+" + Id +
                                     Query.substr(Query.find("&hello")) + "&proto=6\n");
  }
}

TEST_F(CddbLookupTest, AListIsReadInOrderUntilAnEntryHoldsTitles) {
  TCddbServer server("211");
  server.AddEntry("blues", Id, "plindar_three.xmcd");
  server.AddEntry("rock", Id, "22116514_oneup-studios_xenogears-light.xmcd");
  TCddbLookup lookup = LookUp(server.Address());
  ASSERT_TRUE(lookup.Found) << lookup.Why;
  EXPECT_EQ(lookup.Entry.Album, "Rip Tests");
  EXPECT_EQ(server.Requests().find("read+rock"), std::string::npos);

  TCddbServer titleless("211");
  titleless.AddEntry("blues", Id, "6b0af009_query_211_single_inexact.txt");
  titleless.AddEntry("rock", Id, "plindar_three.xmcd");
  lookup = LookUp(titleless.Address());
  ASSERT_TRUE(lookup.Found) << lookup.Why;
  EXPECT_EQ(lookup.Entry.TrackTitles.at(0), "Opening Theme");
}

// A server that knows protocol level 5 only sends Latin-1, which arrives as UTF-8.
TEST_F(CddbLookupTest, ALevel5ServerIsAskedAgainAndItsLatin1Converted) {
  TCddbServer server("normal", true);
  server.AddEntry("blues", Id, "plindar_three.xmcd");
  const TCddbLookup lookup = LookUp(server.Address());
  ASSERT_TRUE(lookup.Found) << lookup.Why;
  EXPECT_EQ(lookup.Entry.TrackTitles.at(2), "Coda für Café");
  EXPECT_NE(
      server.Requests().find("read+blues+" + Id + Query.substr(Query.find("&hello")) + "&proto=5"),
      std::string::npos);
}

TEST_F(CddbLookupTest, AFailedLookupSaysWhyAndGivesNothing) {
  struct TCase {
    std::string Mode;
    bool AddEntry, NoMatch;
    int32_t Error;
    std::string Why;
  };
  const TCase cases[] = {
      {"normal", false, true, CDErrCddbNoMatch, "no match found for the disc 0b000e03"},
      {"403", true, false, CDErrCddbServer, "answered: 403 Refused"},
      {"500", true, false, CDErrCddbServer, "answered: 500 Refused"},
      {"garbage", true, false, CDErrCddbBadAnswer, "answered: "},
      {"hang", true, false, CDErrCddbTimedOut, "did not answer in time"},
      {"unreachable", false, false, CDErrCddbUnreachable, "cannot reach the CDDB server"},
  };
  SetCDDBTimeouts(std::chrono::milliseconds(500), std::chrono::milliseconds(1500));
  for (const TCase &c : cases) {
    TCddbServer server(c.Mode == "unreachable" ? "normal" : c.Mode);
    if (c.AddEntry)
      server.AddEntry("blues", Id, "plindar_three.xmcd");
    const TCddbLookup lookup = LookUp(c.Mode == "unreachable" ? "127.0.0.1:1" : server.Address());
    EXPECT_FALSE(lookup.Found) << c.Mode;
    EXPECT_EQ(lookup.NoMatch, c.NoMatch) << c.Mode;
    EXPECT_TRUE(lookup.Entry.TrackTitles.empty()) << c.Mode;
    EXPECT_EQ(GetAspiLibError(), c.Error) << c.Mode;
    EXPECT_NE(lookup.Why.find(c.Why), std::string::npos) << c.Mode << ": " << lookup.Why;
  }
}

TEST_F(CddbLookupTest, TheProxySettingsReachTheConnectionAndAreDroppedWhenUnticked) {
  TCddbServer proxy;
  proxy.AddEntry("blues", Id, "plindar_three.xmcd");
  GlobalOptions.UseProxy = true;
  GlobalOptions.ProxyAddress = "127.0.0.1";
  GlobalOptions.Port = std::to_string(proxy.Port);
  ASSERT_TRUE(LookUp("cddb.example.invalid").Found);
  EXPECT_EQ(proxy.Requests().find("http://cddb.example.invalid/~cddb/cddb.cgi?" + Query), 0u)
      << proxy.Requests();

  TCddbServer direct;
  direct.AddEntry("blues", Id, "plindar_three.xmcd");
  GlobalOptions.UseProxy = false;
  ASSERT_TRUE(LookUp(direct.Address()).Found);
  EXPECT_EQ(direct.Requests().find("/~cddb/cddb.cgi?" + Query), 0u);
}

TEST_F(CddbLookupTest, AnEntryLongerThanTheBufferIsCutAfterAWholeLine) {
  TCddbServer server;
  server.AddEntry("blues", Id, "plindar_three.xmcd");
  std::string cue = WriteTestDisc(Dir.Path(), "disc", Tracks);
  TImageDrives drives({cue});
  CDDBSetOption(CDDBOptServer, server.Address().c_str(), 0);
  const int32_t handle = OpenFirstDrive();
  std::vector<TCDDBMatchItem> items(MaxCDDBMatches);
  TCDDBMatchList query{MaxCDDBMatches, items.data()};
  ASSERT_EQ(CDDBQuery(handle, &query), 1);
  ASSERT_EQ(query.Count, 1);
  EXPECT_STREQ(items[0].Title, "The Plindar Trio / Rip Tests");
  char text[40];
  ASSERT_EQ(CDDBGetDiskInfo(&items[0], text, sizeof text), 1);
  EXPECT_STREQ(text, "# xmcd\n#\n# Track frame offsets:\n#\t150\n"); // 38 bytes
  CloseCDHandle(handle);
}
