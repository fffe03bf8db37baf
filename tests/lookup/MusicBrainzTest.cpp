// The MusicBrainz lookup: disc ids of real tables of contents, and the lookup against the test
// service serving answers in the service's documented format.
#include "MusicBrainz.h"
#include "MusicBrainzServer.h"
#include "akrip32.h"

#include <gtest/gtest.h>

namespace {

const std::string Id = "49HHV7Eb8UKF3aQiNmu1GR8vKTY-";

// A release of the discid answer; media are JSON texts.
std::string Release(const std::string &title, const std::string &credit, const std::string &date,
                    const std::string &media) {
  return R"({"title": ")" + title + R"(", "date": ")" + date +
         R"(", "country": "GB", "label-info": [{"catalog-number": "X1", "label": null},
            {"label": {"name": "Plindar Records"}}], "artist-credit": )" +
         credit + R"(, "media": [)" + media + "]}";
}

std::string Credit(const std::string &name) {
  return R"([{"name": ")" + name + R"(", "joinphrase": "", "artist": {"name": ")" + name +
         R"("}}])";
}

// A CD medium holding the disc id, its tracks "title|artist credit" in order.
std::string Medium(const std::string &discId, const std::vector<std::string> &tracks,
                   const std::string &format = "CD") {
  std::string list;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const std::size_t bar = tracks[i].find('|');
    list += (i ? "," : "") + std::string(R"({"position": )") + std::to_string(i + 1) +
            R"(, "title": ")" + tracks[i].substr(0, bar) + R"(", "artist-credit": )" +
            tracks[i].substr(bar + 1) + R"(, "recording": {"title": "ignored"}})";
  }
  return R"({"format": ")" + format + R"(", "position": 1, "discs": [{"id": ")" + discId +
         R"(", "sectors": 95462}], "tracks": [)" + list + "]}";
}

std::string Answer(const std::vector<std::string> &releases) {
  std::string list;
  for (const std::string &r : releases)
    list += (list.empty() ? "" : ",") + r;
  return R"({"id": ")" + Id + R"(", "sectors": 95462, "releases": [)" + list + "]}";
}

const std::string Duo =
    R"([{"name": "Ann", "joinphrase": " & "}, {"name": "Bo", "joinphrase": ""}])";

class MusicBrainzLookup : public ::testing::Test {
protected:
  mb::TLookup LookUp() { return mb::LookUp({Server.Url()}, Id); }
  TMusicBrainzServer Server;
};

} // namespace

TEST(MusicBrainzDiscId, OfRealTablesOfContents) {
  struct TCase {
    mb::TDiscToc Toc;
    std::string Id;
  } cases[] = {
      // The example of the service's disc-id documentation (libdiscid's test vector).
      {{1, 6, {150, 15363, 32314, 46592, 63414, 80489}, 95462}, Id},
      {{3, 5, {150, 20000, 40000}, 60000}, "IeHJ.FDAhjIGiXCM7Vk4j0t8lt8-"},
      {{1, 0, {}, 0}, ""},
      {{1, 2, {150}, 60000}, ""}, // a start for each track, or no id
  };
  for (const TCase &c : cases)
    EXPECT_EQ(mb::DiscId(c.Toc), c.Id) << c.Toc.FirstTrack << ".." << c.Toc.LastTrack;
}

TEST(MusicBrainzDiscId, ADataTrackAfterTheAudioEndsItsSession) {
  // Two audio tracks at sectors 150 and 20150, a data track at 50000 (MSF addresses).
  TToc toc{};
  toc.FirstTrack = 1;
  toc.LastTrack = 3;
  const int32_t starts[] = {150, 20150, 50000, 70000};
  for (int i = 0; i < 4; ++i) {
    toc.Entries[i].AdrControl = i == 2 ? 0x10 | TocControlData : 0x10;
    toc.Entries[i].Address[1] = static_cast<uint8_t>(starts[i] / 4500);
    toc.Entries[i].Address[2] = static_cast<uint8_t>(starts[i] / 75 % 60);
    toc.Entries[i].Address[3] = static_cast<uint8_t>(starts[i] % 75);
  }
  const mb::TDiscToc disc = mb::TocOf(toc);
  EXPECT_EQ(disc.LastTrack, 2);
  EXPECT_EQ(disc.LeadOut, 50000 - 11400);
  EXPECT_EQ(mb::DiscId(disc), "OWKdXX3ebnAQg7B7ZktK0iFgZh0-");
}

TEST_F(MusicBrainzLookup, OneReleaseGivesItsTitlesInOrderAndOnlyTheArtistsThatDiffer) {
  Server.Answer(Id, Answer({Release("Rip Tests", Duo, "1997-05-12",
                                    Medium(Id, {"One|" + Duo, "Two|" + Credit("Guest"),
                                                "Drei \\u00e4|" + Duo}))}));
  const mb::TLookup lookup = LookUp();
  ASSERT_TRUE(lookup.Found) << lookup.Why;
  ASSERT_EQ(lookup.Releases.size(), 1u);
  const mb::TRelease &r = lookup.Releases[0];
  EXPECT_EQ(r.Artist, "Ann & Bo");
  EXPECT_EQ(r.Album, "Rip Tests");
  EXPECT_EQ(r.Year, "1997");
  EXPECT_EQ(r.Country, "GB");
  EXPECT_EQ(r.Label, "Plindar Records");
  EXPECT_EQ(r.Format, "CD");
  EXPECT_EQ(r.Titles, (std::vector<std::string>{"One", "Two", "Drei ä"}));
  EXPECT_EQ(r.TrackArtists, (std::vector<std::string>{"", "Guest", ""}));
  const auto requests = Server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Path, "/ws/2/discid/" + Id + "?inc=artist-credits+recordings&fmt=json");
  EXPECT_EQ(requests[0].Agent, "Plindar/4.5 ( support@plindar.org )");
}

TEST_F(MusicBrainzLookup, TheMediumHoldingTheDiscIsTheOneUsed) {
  const std::string media = Medium("OtherDiscOfTheSet0000000000-", {"Disc one|" + Duo}) + "," +
                            Medium(Id, {"Disc two A|" + Duo, "Disc two B|" + Duo}, "Enhanced CD");
  Server.Answer(Id,
                Answer({Release("Set", Duo, "2001", media),
                        Release("Elsewhere", Duo, "2002", Medium("NotThisDisc", {"x|" + Duo}))}));
  const mb::TLookup lookup = LookUp();
  ASSERT_TRUE(lookup.Found) << lookup.Why;
  ASSERT_EQ(lookup.Releases.size(), 1u); // a release without the disc is left out
  EXPECT_EQ(lookup.Releases[0].Titles, (std::vector<std::string>{"Disc two A", "Disc two B"}));
  EXPECT_EQ(lookup.Releases[0].Format, "Enhanced CD");
}

TEST_F(MusicBrainzLookup, VariousArtistsKeepEachTracksArtist) {
  const std::string various = Credit("Various Artists");
  Server.Answer(Id, Answer({Release("Hits", various, "1999",
                                    Medium(Id, {"A|" + Credit("Ann"), "B|" + Duo}))}));
  const mb::TLookup lookup = LookUp();
  ASSERT_TRUE(lookup.Found) << lookup.Why;
  EXPECT_EQ(lookup.Releases[0].Artist, "Various Artists");
  EXPECT_EQ(lookup.Releases[0].TrackArtists, (std::vector<std::string>{"Ann", "Ann & Bo"}));
}

TEST_F(MusicBrainzLookup, AnUnknownDiscIsNoMatch) {
  const mb::TLookup lookup = LookUp();
  EXPECT_FALSE(lookup.Found);
  EXPECT_TRUE(lookup.NoMatch);
  EXPECT_NE(lookup.Why.find(Id), std::string::npos) << lookup.Why;
}

TEST_F(MusicBrainzLookup, ABusyServerIsAskedAgainAfterTheTimeItNamesAtMostTwice) {
  Server.Answer(Id, Answer({Release("Late", Duo, "2003", Medium(Id, {"T|" + Duo}))}));
  Server.Busy(Id, 1, 2);
  const mb::TLookup lookup = LookUp();
  ASSERT_TRUE(lookup.Found) << lookup.Why;
  auto requests = Server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_GE(requests[1].Seconds - requests[0].Seconds, 1.9);

  TMusicBrainzServer busy;
  busy.Busy(Id, 5, 0);
  EXPECT_FALSE(mb::LookUp({busy.Url()}, Id).Found);
  EXPECT_EQ(busy.Requests().size(), 3u);

  TMusicBrainzServer stalling; // a wait longer than a lookup may take is not waited for
  stalling.Busy(Id, 1, 3600);
  const mb::TLookup refused = mb::LookUp({stalling.Url()}, Id);
  EXPECT_FALSE(refused.Found);
  EXPECT_NE(refused.Why.find("3600 seconds"), std::string::npos) << refused.Why;
  EXPECT_EQ(stalling.Requests().size(), 1u);
}

TEST_F(MusicBrainzLookup, BrokenAnswersFailTheLookupAndNothingElse) {
  const std::string good = Answer({Release("R", Duo, "2004", Medium(Id, {"T|" + Duo}))});
  const std::string answers[] = {
      "not json at all",
      good.substr(0, good.size() / 2),                     // truncated
      std::string(100000, '[') + std::string(100000, ']'), // deeply nested
      R"({"error": "Not Found"})",
      R"({"releases": "none"})",
      R"([1, 2, 3])",
  };
  for (const std::string &answer : answers) {
    Server.Answer(Id, answer);
    const mb::TLookup lookup = LookUp();
    EXPECT_FALSE(lookup.Found) << answer.substr(0, 60);
    EXPECT_FALSE(lookup.NoMatch) << answer.substr(0, 60);
    EXPECT_FALSE(lookup.Why.empty());
  }
  // Values of the wrong kinds are read as missing.
  Server.Answer(Id, R"({"releases": [{"title": 5, "date": null, "artist-credit": {}, "media": [
      {"discs": [{"id": ")" +
                        Id + R"("}], "tracks": [{"title": ["x"]}, 3]}]}]})");
  const mb::TLookup odd = LookUp();
  ASSERT_TRUE(odd.Found) << odd.Why;
  EXPECT_EQ(odd.Releases[0].Titles, (std::vector<std::string>{"", ""}));
}

TEST_F(MusicBrainzLookup, RequestsKeepOneSecondApartAcrossLookups) {
  for (int i = 0; i < 3; ++i)
    LookUp();
  const auto requests = Server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  for (int i = 1; i < 3; ++i)
    EXPECT_GE(requests[i].Seconds - requests[i - 1].Seconds, 0.95);
}
