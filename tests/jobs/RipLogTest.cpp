// The rip log: named after the disc whatever its titles hold, readable whatever they hold, and
// telling what it knows, no more.
#include "RipLog.h"

#include "Cddb.h"
#include "Global.h"
#include "ParanoiaMode.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

TEST(RipLog, AnyTitlesGiveAValidFileNameAndAReadableLog) {
  struct TCase {
    std::string Artist, Album, Name;
  };
  const std::vector<TCase> cases = {
      {"", "", "Rip.log"},
      {"AC/DC", "Back in Black", "AC_DC - Back in Black.log"},
      {"Solo", "", "Solo.log"},
      {"", "Only Album", "Only Album.log"},
      {"..", "/", "- _.log"}, // never hidden, never a path
      {"..", "", "Rip.log"},
      {"Line\nbreak", "Tab\there", "Line break - Tab here.log"},
      {"Bj\xF6rk", "Vespertine", "Bj\xC3\xB6rk - Vespertine.log"}, // Latin-1 read as such
      {"Bj\xC3\xB6rk", "Homogenic ", "Bj\xC3\xB6rk - Homogenic.log"},
      {std::string(300, 'x'), "\xE2\x82\xAC", std::string(200, 'x') + ".log"},
  };
  TTempDir dir;
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(RipLogName(c.Artist, c.Album), c.Name);
    TRipLog log;
    log.Artist = c.Artist;
    log.Album = c.Album;
    log.Tracks.resize(1);
    log.Tracks[0].File = dir.File(c.Artist + ".wav");
    const std::string path = WriteRipLog(log, dir.Path() + "/");
    ASSERT_EQ(path, dir.File(c.Name));
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(cddb::ToUtf8(text), text) << "valid UTF-8";
    for (char ch : text)
      EXPECT_TRUE(static_cast<unsigned char>(ch) >= 0x20 || ch == '\n') << int(ch);
  }
}

// The log compared with a stored copy: a secure rip stopped while its third track was encoded,
// after one track was made and one failed. Every line is pinned but the version.
TEST(RipLog, AStoppedRipTellsTheDiscItsTitlesAndWhatWasMade) {
  TRipLog log;
  log.Date = "2026-12-08 09:00:00";
  log.Drive = "Disc image /discs/Folk.cue";
  log.ReadMode = "Secure, full paranoia";
  log.ReadOffset = 6;
  log.Format = "MP3";
  log.EncoderSettings = "lame, CBR 128 kbit/s";
  log.Artist = "Muddy Waters";
  log.Album = "Folk Singer";
  log.Toc = {{{0, true}, {4500, true}, {9000, true}}, 13500};
  log.MusicBrainzId = "lwHl8fGzJyLXQR33ug60E8jhf4k-";
  log.Tracks.resize(3);
  const char *read = "Read in full, 0 jitter errors corrected, 0 sectors not corrected";
  log.Tracks[0] = {1, "My Home", "freedb", "/out/My Home.mp3", true, true, {}, read, "OK", {}};
  log.Tracks[0].Sums = {0x1234ABCD, 0x11111111, 0x22222222, 0, 4500 * 588, 16384};
  log.Tracks[1] = {2,  "Good Morning", "typed",       "", true, false,
                   {}, "Read failed",  "Not encoded", {}};
  log.Tracks[2] = {3, "Track03", "", "", false, true, {}, read, "", {}};
  log.MarkStopped();
  const std::string version = std::string(product::Name) + " " + product::Version;
  EXPECT_EQ(log.Text(), version + R"( rip log

Date: 2026-12-08 09:00:00
Drive: Disc image /discs/Folk.cue
Read mode: Secure, full paranoia
Read offset: 6 samples
Output format: MP3 (lame, CBR 128 kbit/s)
Disc: Muddy Waters - Folk Singer
Disc ids: freedb 0f00b403, MusicBrainz lwHl8fGzJyLXQR33ug60E8jhf4k-, AccurateRip 003-00006978-00015f91-0f00b403

Table of contents
  Track |  Start   |  Length  | Start sector | End sector
      1 | 00:00.00 | 01:00.00 |            0 |       4499
      2 | 01:00.00 | 01:00.00 |         4500 |       8999
      3 | 02:00.00 | 01:00.00 |         9000 |      13499
  Lead-out at sector 13500

Track 1
  Title: My Home (freedb)
  File: /out/My Home.mp3
  Peak level: 50.0 %
  CRC-32: 1234ABCD
  AccurateRip v1: 11111111, v2: 22222222
  AccurateRip: Not verified
  Read: Read in full, 0 jitter errors corrected, 0 sectors not corrected
  Encoder: OK

Track 2
  Title: Good Morning (typed)
  File: none
  AccurateRip: Not verified
  Read: Read failed
  Encoder: Not encoded

Track 3
  Title: Track03
  File: none
  Peak level: 0.0 %
  CRC-32: 00000000
  AccurateRip v1: 00000000, v2: 00000000
  AccurateRip: Not verified
  Read: Read in full, 0 jitter errors corrected, 0 sectors not corrected
  Encoder: Stopped

Stopped: 1 of 3 tracks made, 1 failed, 1 not made. AccurateRip: Not verified: the rip was stopped
)");
}

// The paranoia modes of the settings by the names cd-paranoia gives them; never-skip is never
// set, so a sector that cannot be read ends the retries.
TEST(RipLog, ParanoiaModesHaveTheNamesCdParanoiaUsersKnow) {
  const struct {
    bool Jitter, Paranoid;
    int32_t Mode;
    const char *Name;
  } cases[] = {
      {false, true, 0, "disabled"},
      {true, true, 0, "full paranoia"},
      {true, false, 0, "full paranoia"}, // verify and overlap: all libcdio-paranoia checks
      {true, false, PARANOIA_MODE_OVERLAP, "overlap only"},
      {true, false, PARANOIA_MODE_VERIFY, "verify only"},
      {true, false, PARANOIA_MODE_FULL, "full paranoia"},
      {true, false, PARANOIA_MODE_NEVERSKIP, "disabled"},
  };
  for (const auto &c : cases) {
    const int mode = cd::ParanoiaModeOf(c.Jitter, c.Paranoid, c.Mode);
    EXPECT_EQ(cd::ParanoiaModeName(mode), c.Name) << c.Jitter << c.Paranoid << c.Mode;
    EXPECT_EQ(mode & PARANOIA_MODE_NEVERSKIP, 0);
  }
}
