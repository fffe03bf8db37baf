// The CDDB component of CD-input mode beside the drive library's lookup: for one disc both ask
// the server the same, for one entry both give the same titles, and a failure says the same;
// then what is particular to the component (its album record, its kept album).
#include "CDDBInfo.h"
#include "AuCDROM.h"
#include "CddbLookup.h"
#include "CddbServer.h"
#include "FileContents.h"
#include "FirstDrive.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32Cddb.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

// The real discs whose entries, frame offsets and parsed fields another client's tests keep.
QJsonObject RealDisc(const std::string &discId) {
  const std::string json = FileText(CddbDataFile("python-audio-tools_expected_fields.json"));
  for (const QJsonValue &disc : QJsonDocument::fromJson(QByteArray::fromStdString(json)).array())
    if (disc["expected_fields"]["DISCID"].toString().toStdString() == discId)
      return disc.toObject();
  return {};
}

// Both routes' outcome for one disc: the requests each sent, and what each read.
struct TBothRoutes {
  std::string RawRequests, SecureRequests;
  TCddbLookup Raw;
  TCDDBAlbum Secure;
  std::int32_t SecureStatus = 0;
  std::string SecureWhy;
};

class CDDBInfoTest : public ::testing::Test {
protected:
  void SetUp() override { setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1); }
  void TearDown() override {
    unsetenv("XDG_CONFIG_HOME");
    SetCDDBTimeouts(std::chrono::seconds(10), std::chrono::seconds(30));
  }

  // Looks the disc of cue up through the drive library, then through the component, with the
  // server of options.
  TBothRoutes LookUpBoth(const std::string &cue, const TGlobalOptions &options,
                         const TCddbServer &server) {
    TBothRoutes both;
    TImageDrives drives({cue});
    const int32_t handle = OpenFirstDrive();
    both.Raw = LookUpDisc(handle, options);
    CloseCDHandle(handle);
    both.RawRequests = server.Requests();
    TCDIn in;
    TCDDBInfo info;
    info.CDIn = &in;
    info.Server = CddbServerOf(options);
    info.Server.ConnectTimeout = std::chrono::milliseconds(500);
    info.Server.TotalTimeout = std::chrono::milliseconds(1500);
    both.SecureStatus = info.Query();
    info.GetAlbum(both.Secure);
    both.SecureWhy = info.CDDBQuery().Why;
    both.SecureRequests = server.Requests().substr(both.RawRequests.size());
    return both;
  }

  TTempDir Config, Discs;
};

} // namespace

// Real entries of real discs, one of them with a NUL byte where a blank was: the query counts
// the lead-in and ends with the disc's length, both routes send it (with the hello and the
// script path of the settings) alike, and both give the entry's titles whole, per-track
// artists included.
TEST_F(CDDBInfoTest, BothRoutesAskTheSameAndGiveTheSameTitles) {
  const struct {
    const char *DiscId, *File;
    std::string Damage; // replaces the first " " behind "Life" when set
  } cases[] = {
      {"4510fd16", "4510fd16_macross-frontier-ost3-disc1_utf8.xmcd", ""},
      {"22116514", "22116514_oneup-studios_xenogears-light.xmcd", ""},
      {"a80b460c", "a80b460c_various_bleach-the-best_utf8.xmcd", ""},
      {"a80b460c", "a80b460c_various_bleach-the-best_utf8.xmcd", std::string(1, '\0')},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.File + std::string(c.Damage.empty() ? "" : ", NUL byte"));
    const QJsonObject disc = RealDisc(c.DiscId);
    const QJsonObject fields = disc["expected_fields"].toObject();
    std::vector<int> starts;
    std::string query = std::string("cmd=cddb+query+") + c.DiscId + "+" +
                        std::to_string(disc["offsets"].toArray().size());
    for (const QJsonValue &offset : disc["offsets"].toArray()) {
      starts.push_back(offset.toInt() - 150);
      query += "+" + std::to_string(offset.toInt());
    }
    const int seconds = disc["disc_length"].toInt();
    query += "+" + std::to_string(seconds) + "&hello=plindar+localhost+Plindar+" +
             product::Version + "&proto=6";
    const std::string cue = WriteTocImage(Discs.Path(), c.DiscId, starts, seconds * 75 - 150);

    TCddbServer server("normal", false, 0, "/cgi-bin/cddb.cgi");
    std::string entry = FileText(CddbDataFile(c.File));
    if (!c.Damage.empty())
      entry.replace(entry.find(' ', entry.find("Life")), 1, c.Damage);
    server.AddEntryText("misc", c.DiscId, entry);
    TGlobalOptions options;
    options.Server = "http://" + server.Address();
    options.Script = "/cgi-bin/cddb.cgi";
    const TBothRoutes both = LookUpBoth(cue, options, server);

    EXPECT_EQ(both.RawRequests.rfind("/cgi-bin/cddb.cgi?" + query + "\n", 0), 0u)
        << both.RawRequests;
    EXPECT_EQ(both.SecureRequests, both.RawRequests);
    ASSERT_TRUE(both.Raw.Found) << both.Raw.Why;
    EXPECT_EQ(both.SecureStatus, 200);
    EXPECT_EQ(both.SecureWhy, "");
    EXPECT_EQ(both.Raw.Entry.Artist + " / " + both.Raw.Entry.Album,
              fields["DTITLE"].toString().toStdString());
    EXPECT_EQ(both.Secure.Artist, both.Raw.Entry.Artist);
    EXPECT_EQ(both.Secure.Title, both.Raw.Entry.Album);
    ASSERT_EQ(both.Raw.Entry.TrackTitles.size(), starts.size());
    for (std::size_t n = 0; n < starts.size(); ++n)
      EXPECT_EQ(both.Raw.Entry.TrackTitles[n],
                fields["TTITLE" + QString::number(n)].toString().toStdString());
    EXPECT_EQ(both.Secure.TrackTitles, both.Raw.Entry.TrackTitles);
    EXPECT_EQ(both.Secure.TrackCount, static_cast<std::int32_t>(starts.size()));
  }
}

// Every failure says what happened, in the same words on both routes: a refusal, a path
// where the server has no script, a server that never answers, one that cannot be reached.
TEST_F(CDDBInfoTest, BothRoutesSayTheSameWhenALookupFails) {
  const std::string cue = WriteAudioDisc(Discs.Path(), "three", {300, 450, 300});
  const struct {
    std::string Mode, Script;
    std::int32_t Status;
    std::string Why;
  } cases[] = {
      {"normal", "/~cddb/cddb.cgi", 202, "no match found for the disc 0b000e03 on "},
      {"403", "/~cddb/cddb.cgi", 403, "answered: 403 Refused for this test"},
      {"normal", "/cddb.cgi", -1, "has no query script at /cddb.cgi (HTTP status 404)"},
      {"hang", "/~cddb/cddb.cgi", -1, "did not answer in time"},
      {"unreachable", "/~cddb/cddb.cgi", -1, "cannot reach the CDDB server 127.0.0.1:1"},
  };
  SetCDDBTimeouts(std::chrono::milliseconds(500), std::chrono::milliseconds(1500));
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Mode + " " + c.Script);
    TCddbServer server(c.Mode == "unreachable" ? "normal" : c.Mode);
    TGlobalOptions options;
    options.Server = c.Mode == "unreachable" ? "127.0.0.1:1" : server.Address();
    options.Script = c.Script;
    const TBothRoutes both = LookUpBoth(cue, options, server);
    EXPECT_FALSE(both.Raw.Found);
    EXPECT_NE(both.Raw.Why.find(c.Why), std::string::npos) << both.Raw.Why;
    EXPECT_EQ(both.SecureWhy.substr(0, both.SecureWhy.find(" (")),
              both.Raw.Why.substr(0, both.Raw.Why.find(" (")));
    EXPECT_EQ(both.SecureStatus, c.Status);
    EXPECT_TRUE(both.Secure.TrackTitles.empty());
  }
}

TEST_F(CDDBInfoTest, WithoutADiscThereIsNoIdAndNoQuery) {
  const std::string gone = WriteAudioDisc(Discs.Path(), "Gone", {75});
  TImageDrives drives({gone});
  std::filesystem::remove(BinOf(gone));
  std::filesystem::remove(gone);
  TCDIn in;
  TCDDBInfo info;
  info.CDIn = &in;
  EXPECT_EQ(info.DiscID(), "ffffffff");
  EXPECT_EQ(info.QueryString(), "");
  TCDDBInfo unlinked;
  EXPECT_THROW(unlinked.DiscID(), EAuException);
  EXPECT_THROW(unlinked.QueryString(), EAuException);
}

// The record of the first match of a list is read; a later lookup that fails keeps it, one
// that reads another entry replaces it whole; fields keep to their sizes.
TEST_F(CDDBInfoTest, TheAlbumIsTheFirstMatchsAndKeptWhenALookupFails) {
  const std::string real =
      WriteTocImage(Discs.Path(), "Real",
                    {0, 24925, 46351, 70446, 88383, 105760, 125019, 147215, 162756, 190291, 215024},
                    3186 * 75 - 150);
  TImageDrives drives({real});
  TCDIn in;
  TCDDBInfo info;
  info.CDIn = &in;
  TCddbServer server("211", false, 0.3);
  for (const char *category : {"rock", "blues", "jazz"})
    server.AddEntry(category, "940c700b", "940c700b_rammstein_black-mutter.xmcd");
  info.Server.Host = server.Address();
  int waits = 0;
  info.WhileWaiting = [&] { ++waits; };
  EXPECT_EQ(info.Query(), 211);
  EXPECT_GT(waits, 0); // the caller's window kept being served during the delayed answers
  EXPECT_EQ(info.LastDiscID, "940c700b");
  TCDDBAlbum album;
  info.GetAlbum(album);
  EXPECT_EQ(album.Artist, "Rammstein+Sixtynine");
  EXPECT_EQ(album.Title, "(black) Mutter");
  EXPECT_EQ(album.TrackCount, 11);
  EXPECT_EQ(album.TrackArtists, std::vector<std::string>(11, "Rammstein+Sixtynine"));
  const std::string requests = server.Requests();
  EXPECT_NE(requests.find("cmd=cddb+read+blues+940c700b"), std::string::npos) << requests;
  EXPECT_EQ(requests.find("cmd=cddb+read+rock"), std::string::npos) << requests;

  TCddbServer silent("hang");
  info.Server.Host = silent.Address();
  EXPECT_EQ(info.Server.ConnectTimeout, std::chrono::seconds(10));
  EXPECT_EQ(info.Server.TotalTimeout, std::chrono::seconds(30));
  info.Server.ConnectTimeout = info.Server.TotalTimeout = std::chrono::milliseconds(300);
  EXPECT_EQ(info.Query(), -1);
  TCDDBAlbum kept;
  info.GetAlbum(kept);
  EXPECT_EQ(kept.Title, "(black) Mutter");
  EXPECT_EQ(kept.TrackCount, 11);

  info.CDDBQuery().ParseEntry("DTITLE=A / B\nDYEAR=20261\nDGENRE=" + std::string(40, 'g') +
                              "\nTTITLE0=One\n");
  info.GetAlbum(album);
  EXPECT_EQ(album.Year, "2026");
  EXPECT_EQ(album.Genre, std::string(30, 'g'));
  EXPECT_EQ(album.TrackTitles, std::vector<std::string>{"One"});
  EXPECT_EQ(album.TrackArtists, std::vector<std::string>{"A"});
  EXPECT_EQ(album.TrackCount, 1);
}
