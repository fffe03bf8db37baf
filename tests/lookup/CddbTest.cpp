// The freedb protocol's pure parts: disc ids and query data of real discs, query answers and
// xmcd entries, real ones and hostile ones.
#include "Cddb.h"
#include "CddbServer.h"
#include "FileContents.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace cddb;

namespace {

// A disc from frame offsets (lead-in counted) and the lead-out's frame.
TDiscToc Disc(const std::vector<int32_t> &offsets, int32_t leadOutFrame) {
  TDiscToc toc;
  for (int32_t offset : offsets)
    toc.Starts.push_back(offset - 150);
  toc.LeadOut = leadOutFrame - 150;
  return toc;
}

// The real discs whose entries, offsets and parsed fields another client's tests keep.
QJsonArray RealDiscs() {
  const std::string json = FileText(CddbDataFile("python-audio-tools_expected_fields.json"));
  return QJsonDocument::fromJson(QByteArray::fromStdString(json)).array();
}

std::string Field(const QJsonObject &disc, const QString &key) {
  return disc["expected_fields"].toObject()[key].toString().toStdString();
}

} // namespace

TEST(CddbDisc, IdAndQueryDataOfRealDiscs) {
  // The vector of the disc id libraries' own tests: ten tracks, lead-out at frame 206535.
  const TDiscToc vector =
      Disc({150, 18901, 39738, 59557, 79152, 100126, 124833, 147278, 166336, 182560}, 206535);
  EXPECT_EQ(DiscId(vector), "830abf0a");
  EXPECT_EQ(QueryData(vector),
            "10 150 18901 39738 59557 79152 100126 124833 147278 166336 182560 2753");
  ASSERT_EQ(RealDiscs().size(), 3);
  for (const QJsonValue &value : RealDiscs()) {
    const QJsonObject disc = value.toObject();
    std::vector<int32_t> offsets;
    std::string data = std::to_string(disc["offsets"].toArray().size());
    for (const QJsonValue &offset : disc["offsets"].toArray()) {
      offsets.push_back(offset.toInt());
      data += " " + std::to_string(offset.toInt());
    }
    const int seconds = disc["disc_length"].toInt();
    const TDiscToc toc = Disc(offsets, seconds * 75);
    EXPECT_EQ(DiscId(toc), Field(disc, "DISCID"));
    EXPECT_EQ(QueryData(toc), data + " " + std::to_string(seconds));
  }
  EXPECT_EQ(DiscId({}), "");
}

// Titles by number, disc values split at the slash, Japanese text intact.
TEST(CddbEntry, RealEntriesGiveTheirFields) {
  const char *files[] = {"4510fd16_macross-frontier-ost3-disc1_utf8.xmcd",
                         "22116514_oneup-studios_xenogears-light.xmcd",
                         "a80b460c_various_bleach-the-best_utf8.xmcd"};
  for (const QJsonValue &value : RealDiscs()) {
    const QJsonObject disc = value.toObject();
    std::string file;
    for (const char *f : files)
      if (std::string(f).rfind(Field(disc, "DISCID"), 0) == 0)
        file = f;
    ASSERT_FALSE(file.empty());
    const TEntry entry = ParseEntry(FileText(CddbDataFile(file)));
    const std::string title = Field(disc, "DTITLE");
    EXPECT_EQ(entry.Artist + " / " + entry.Album, title) << file;
    EXPECT_EQ(entry.Year, Field(disc, "DYEAR"));
    EXPECT_EQ(entry.Genre, Field(disc, "DGENRE"));
    const size_t tracks = disc["offsets"].toArray().size();
    ASSERT_EQ(entry.TrackTitles.size(), tracks) << file;
    for (size_t n = 0; n < tracks; ++n)
      EXPECT_EQ(entry.TrackTitles[n], Field(disc, "TTITLE" + QString::number(n))) << file;
  }
}

TEST(CddbEntry, ValuesAreJoinedTakenByNumberAndBounded) {
  struct TCase {
    const char *Name;
    std::string Text;
    std::vector<std::string> Titles;
    std::string Artist, Album;
  };
  const std::string longLine(100000, 'x');
  const TCase cases[] = {
      {"continued title, no blank at the join",
       "DTITLE=A / B\nTTITLE0=One\nTTITLE1=Ibiza In My Soul (T\nTTITLE1=odd Terry's Mix)\n"
       "TTITLE2=Three\n",
       {"One", "Ibiza In My Soul (Todd Terry's Mix)", "Three"},
       "A",
       "B"},
      {"numbers out of order, a gap",
       "TTITLE2=Third\nTTITLE0=First\n",
       {"First", "", "Third"},
       "",
       ""},
      {"continued disc title",
       "DTITLE=Artist / A Very \nDTITLE=Long Album\nTTITLE0=t\n",
       {"t"},
       "Artist",
       "A Very Long Album"},
      {"no slash: the album only; AC/DC keeps its slash",
       "DTITLE=Only An Album\nTTITLE0=AC/DC\n",
       {"AC/DC"},
       "",
       "Only An Album"},
      {"escapes and control characters become blanks",
       "TTITLE0=Two\\nLines\tand\x01more\\\\\r\n",
       {"Two Lines and more\\"},
       "",
       ""},
      {"200 tracks claimed: numbers past 98 ignored",
       "TTITLE0=a\nTTITLE98=z\nTTITLE99=no\nTTITLE199=no\nTTITLE007=no\n",
       [] {
         std::vector<std::string> t(99);
         t[0] = "a";
         t[98] = "z";
         return t;
       }(),
       "", ""},
      {"a 100 kB line is cut",
       "TTITLE0=" + longLine + "\n",
       {std::string(MaxFieldBytes, 'x')},
       "",
       ""},
      {"garbage", std::string(1, '\0') + "\xff\x89PNG\r\n=\n=====\n#TTITLE0=x\n", {}, "", ""},
  };
  for (const TCase &c : cases) {
    const TEntry entry = ParseEntry(c.Text);
    EXPECT_EQ(entry.TrackTitles, c.Titles) << c.Name;
    EXPECT_EQ(entry.Artist, c.Artist) << c.Name;
    EXPECT_EQ(entry.Album, c.Album) << c.Name;
  }
  // The real excerpt of a title continued over two lines.
  const TEntry real =
      ParseEntry(FileText(CddbDataFile("mp3splt_issue135_ttitle_continuation_excerpt.txt")));
  ASSERT_EQ(real.TrackTitles.size(), 4u);
  EXPECT_EQ(real.TrackTitles[3], "The Rhythm Masters Present Disco Dubbers / Ibiza In My Soul "
                                 "(Todd Terry's Basement Mix)");
}

TEST(CddbAnswer, QueryAnswersGiveStatusAndMatches) {
  struct TCase {
    std::string Answer;
    int Status;
    std::vector<std::string> Matches; // "category discid title"
  };
  std::string thousands = "210 Found exact matches, list follows\r\n";
  for (int i = 0; i < 5000; ++i)
    thousands += "rock 0000" + std::to_string(1000 + i) + " Title " + std::to_string(i) + "\r\n";
  const TCase cases[] = {
      {"200 rock 12345678 Artist / Album\r\n", 200, {"rock 12345678 Artist / Album"}},
      {FileText(CddbDataFile("6b0af009_query_211_single_inexact.txt")),
       211,
       {"blues 6b0af009 Zu / Rai Sunawachi Koe Wo Hassu"}},
      {"210 Found\nfolk 4c092806 A\nmisc 4c092806 B\n.\nrock 4c092806 after the end\n",
       210,
       {"folk 4c092806 A", "misc 4c092806 B"}},
      {"211 no terminator\nrock 12345678 cut", 211, {"rock 12345678 cut"}},
      // Only categories of letters and real disc ids go into a read command's URL.
      {"210 x\nrock&cmd=x 12345678 A\nrock 1234567g B\nrock 12345678\n.\n", 210, {}},
      {thousands,
       210,
       {"rock 00001000 Title 0", "rock 00001001 Title 1", "rock 00001002 Title 2",
        "rock 00001003 Title 3", "rock 00001004 Title 4", "rock 00001005 Title 5",
        "rock 00001006 Title 6", "rock 00001007 Title 7", "rock 00001008 Title 8",
        "rock 00001009 Title 9"}},
      {"200\r\n", 200, {}}, // an exact match that names nothing
      {"202 No match found\r\n", 202, {}},
      {"403 Database entry is corrupt\r\n", 403, {}},
      {"500 Command syntax error\r\n", 500, {}},
      {"<html>Not a CDDB server</html>", -1, {}},
      {"", -1, {}},
  };
  for (const TCase &c : cases) {
    std::vector<TMatch> matches;
    EXPECT_EQ(ParseQueryAnswer(c.Answer, matches), c.Status) << c.Answer.substr(0, 40);
    std::vector<std::string> got;
    for (const TMatch &m : matches)
      got.push_back(m.Category + " " + m.DiscId + " " + m.Title);
    EXPECT_EQ(got, c.Matches) << c.Answer.substr(0, 40);
  }
}

TEST(CddbAnswer, ReadAnswersGiveTheEntryLines) {
  std::string entry;
  EXPECT_TRUE(
      EntryOfReadAnswer("210 rock 12345678 follows\r\nDTITLE=a\r\n.\r\nTTITLE0=x\r\n", entry));
  EXPECT_EQ(entry, "DTITLE=a\n");
  EXPECT_TRUE(EntryOfReadAnswer("210 cut short\nTTITLE0=x", entry));
  EXPECT_EQ(entry, "TTITLE0=x\n");
  for (const char *refused : {"401 rock 12345678 No such CD entry\r\n", "garbage", ""})
    EXPECT_FALSE(EntryOfReadAnswer(refused, entry)) << refused;
}

TEST(CddbText, Utf8StaysAndLatin1IsConverted) {
  EXPECT_EQ(ToUtf8("マクロス Café"), "マクロス Café");
  EXPECT_EQ(ToUtf8("Caf\xe9 \xc0"), "Café À");
  EXPECT_EQ(ToUtf8("\xe3\x83"), "\xc3\xa3\xc2\x83"); // a cut character is no character
}

TEST(CddbClient, UrlsCarryTheCommandHelloAndLevel) {
  TServer server;
  server.Host = "http://127.0.0.1:8080/";
  server.Script = "/~cddb/cddb.cgi";
  server.Email = "someone@example.org";
  server.ClientName = "Plindar";
  server.ClientVersion = "4.5";
  TClient client(server);
  EXPECT_EQ(client.CommandUrl("cddb read rock 12345678"),
            "http://127.0.0.1:8080/~cddb/cddb.cgi?cmd=cddb+read+rock+12345678"
            "&hello=someone+example.org+Plindar+4.5&proto=6");
  server.Host = "gnudb.gnudb.org";
  server.Email = "a b&c";
  client = TClient(server);
  client.SetProtoLevel(5);
  EXPECT_EQ(client.CommandUrl("cddb query 1"),
            "http://gnudb.gnudb.org/~cddb/cddb.cgi?cmd=cddb+query+1"
            "&hello=a%20b%26c+localhost+Plindar+4.5&proto=5");
}
