// The rip log: named after the disc whatever its titles hold, and readable whatever they hold.
#include "RipLog.h"

#include "Cddb.h"
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
