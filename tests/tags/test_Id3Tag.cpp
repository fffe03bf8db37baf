#include "Genres.h"
#include "Id3Tag.h"
#include "TagFiles.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using Id3File = TagFiles;

TEST(GenreList, EveryId3NumberOccursOnceAndMapsBothWays) {
  std::set<int> numbers;
  for (const TGenre &genre : GenreList)
    numbers.insert(genre.Id3);
  EXPECT_EQ(numbers.size(), 148u);
  EXPECT_EQ(*numbers.rbegin(), 147);
  for (int position = 1; position <= GenreCount; ++position)
    EXPECT_EQ(Id3ToGenre(GenreToId3(position)), position);
}

TEST(GenreList, PositionsNumbersAndNames) {
  EXPECT_EQ(GenreToId3(18), 0); // "Blues"
  EXPECT_EQ(GenreToId3(GenreIndexOf("Noise") + 1), 39);
  EXPECT_EQ(GenreToId3(0), 255);
  EXPECT_EQ(GenreToId3(149), 255);
  EXPECT_EQ(GenreToId3(-1 + 1), 255); // the disc information's "no genre"
  EXPECT_EQ(std::string(GenreList[Id3ToGenre(12) - 1].Name), "Other");
  EXPECT_EQ(Id3ToGenre(148), 0);
  EXPECT_EQ(Id3ToGenre(200), 0);
  EXPECT_EQ(Id3ToGenre(255), 0);
  EXPECT_EQ(GenreIndexOf("A Cappella"), 0);
  EXPECT_EQ(GenreIndexOf("Blues"), 17);
  EXPECT_EQ(GenreIndexOf("Vocal"), 147);
  EXPECT_EQ(GenreIndexOf("blues"), -1); // case counts
  EXPECT_EQ(GenreIndexOf("Drum & Bass"), -1);
  EXPECT_EQ(GenreIndexOf(""), -1);
}

TEST_F(Id3File, AShortFileHasNoTagAndGetsOneAppended) {
  const std::string file = Path("short.mp3");
  WriteBytes(file, Audio(100));
  Tid3tag tag;
  EXPECT_EQ(tag.ReadTag(file), id3NoTag);
  tag.SetTitle("Intro");
  EXPECT_EQ(tag.WriteTag(file), id3Done);
  std::string bytes = FileText(file);
  ASSERT_EQ(bytes.size(), 228u);
  EXPECT_EQ(bytes.substr(0, 100), Audio(100));
  EXPECT_EQ(bytes.substr(100, 8), std::string("TAGIntro"));
  EXPECT_EQ(tag.FileName(), file);
}

TEST_F(Id3File, WritingAgainReplacesTheTagInPlace) {
  const std::string file = Path("twice.mp3");
  WriteBytes(file, Audio(1000));
  Tid3tag tag;
  tag.SetTitle("First title that is long");
  ASSERT_EQ(tag.WriteTag(file), id3Done);
  tag.SetTitle("Second");
  ASSERT_EQ(tag.WriteTag("="), id3Done);
  std::string bytes = FileText(file);
  ASSERT_EQ(bytes.size(), 1128u);
  EXPECT_EQ(bytes.substr(0, 1000), Audio(1000));
  EXPECT_EQ(LastTag(file), RawTag("Second", "", "", "", "", 255));
}

TEST_F(Id3File, TAGElsewhereThanTheLast128BytesIsNoTag) {
  const std::string file = Path("early.mp3");
  WriteBytes(file, "TAG" + Audio(197));
  Tid3tag tag;
  EXPECT_EQ(tag.ReadTag(file), id3NoTag);
  EXPECT_EQ(tag.WriteTag(file), id3Done);
  EXPECT_EQ(FileText(file).size(), 328u);
}

TEST_F(Id3File, TrackNumberFormReadsAndWritesBackTheSameBytes) {
  const std::string file = Path("track.mp3");
  std::string comment(28, 'c');
  comment += std::string("\0\7", 2);
  std::string raw = RawTag("Title", "Artist", "Album", "1999", comment, 17);
  WriteBytes(file, Audio(500) + raw);

  Tid3tag tag;
  ASSERT_EQ(tag.ReadTag(file), id3Done);
  EXPECT_TRUE(tag.HasTrack());
  EXPECT_EQ(tag.Track(), 7);
  EXPECT_EQ(tag.Comment(), std::string(28, 'c'));
  EXPECT_EQ(tag.Title(), "Title");
  EXPECT_EQ(tag.Year(), "1999");
  EXPECT_EQ(tag.Genre, 17);
  ASSERT_EQ(tag.WriteTag("="), id3Done);
  EXPECT_EQ(LastTag(file), raw);
  EXPECT_EQ(FileText(file).size(), 628u);
}

TEST_F(Id3File, AByteAtOffset125MeansA30CharacterComment) {
  const std::string file = Path("long-comment.mp3");
  std::string comment = std::string(28, 'x') + "y\7";
  WriteBytes(file, Audio(10) + RawTag("", "", "", "", comment, 255));
  Tid3tag tag;
  ASSERT_EQ(tag.ReadTag(file), id3Done);
  EXPECT_FALSE(tag.HasTrack());
  EXPECT_EQ(tag.Track(), 0);
  EXPECT_EQ(tag.Comment(), std::string(28, 'x') + "y\7");
}

TEST_F(Id3File, TrailingBlanksAnd255AreCutAndComeBackAsZeroBytes) {
  const std::string file = Path("padded.mp3");
  std::string raw = RawTag(std::string("Song") + std::string(26, ' '),
                           std::string("Band") + std::string(26, '\xFF'), "A \0 B  ", "    ",
                           std::string("note \xFF\0 \xFF", 9), 0);
  WriteBytes(file, raw);
  Tid3tag tag;
  ASSERT_EQ(tag.ReadTag(file), id3Done);
  EXPECT_EQ(tag.Title(), "Song");
  EXPECT_EQ(tag.Artist(), "Band");
  EXPECT_EQ(tag.Album(), "A");
  EXPECT_EQ(tag.Year(), "");
  EXPECT_EQ(tag.Comment(), "note");
  ASSERT_EQ(tag.WriteTag("="), id3Done);
  EXPECT_EQ(FileText(file), RawTag("Song", "Band", "A", "", "note", 0));
}

TEST_F(Id3File, ACommentWrittenWithATrackKeepsItsFirst28Characters) {
  const std::string file = Path("cut.mp3");
  WriteBytes(file, Audio(300));
  const std::string comment = "abcdefghijklmnopqrstuvwxyz0123"; // 30 characters
  Tid3tag tag;
  tag.SetComment(comment);
  tag.SetTrack(5);
  ASSERT_EQ(tag.WriteTag(file), id3Done);
  std::string raw = LastTag(file);
  EXPECT_EQ(raw.substr(97, 28), comment.substr(0, 28));
  EXPECT_EQ(raw[125], '\0');
  EXPECT_EQ(raw[126], '\5');

  Tid3tag back;
  ASSERT_EQ(back.ReadTag(file), id3Done);
  EXPECT_EQ(back.Comment(), comment.substr(0, 28));
  EXPECT_EQ(back.Track(), 5);

  // Without a track number all 30 characters are kept.
  tag.SetTrack(0);
  EXPECT_FALSE(tag.HasTrack());
  ASSERT_EQ(tag.WriteTag("="), id3Done);
  EXPECT_EQ(LastTag(file).substr(97, 30), comment);
}

TEST_F(Id3File, GenreNumbersAbove147ReadWithAWarning) {
  const std::string file = Path("genre.mp3");
  WriteBytes(file, RawTag("t", "", "", "", "", 200));
  Tid3tag tag;
  EXPECT_EQ(tag.ReadTag(file), id3GenreWarning);
  EXPECT_EQ(tag.Genre, 200);
  EXPECT_EQ(Id3ToGenre(tag.Genre), 0);
  WriteBytes(file, RawTag("t", "", "", "", "", 255));
  EXPECT_EQ(tag.ReadTag(file), id3Done);
  WriteBytes(file, RawTag("t", "", "", "", "", 147));
  EXPECT_EQ(tag.ReadTag(file), id3Done);
  EXPECT_EQ(tag.Genre, 147);
}

TEST_F(Id3File, GenreNumbersAreWrittenAsGiven) {
  const std::string file = Path("noise.mp3");
  WriteBytes(file, Audio(50));
  Tid3tag tag;
  tag.Genre = GenreToId3(GenreIndexOf("Noise") + 1);
  ASSERT_EQ(tag.WriteTag(file), id3Done);
  EXPECT_EQ(static_cast<unsigned char>(LastTag(file)[127]), 39);
  tag.Genre = GenreToId3(GenreIndexOf("Blues") + 1);
  ASSERT_EQ(tag.WriteTag(file), id3Done);
  EXPECT_EQ(static_cast<unsigned char>(LastTag(file)[127]), 0);
}

TEST_F(Id3File, TextIsIso8859_1InTheFile) {
  const std::string file = Path("latin1.mp3");
  WriteBytes(file, Audio(64));
  Tid3tag tag;
  tag.SetArtist("Motörhead");
  tag.SetTitle("東京 Smörgås");
  EXPECT_EQ(tag.Title(), "?? Smörgås");
  ASSERT_EQ(tag.WriteTag(file), id3Done);
  std::string raw = LastTag(file);
  EXPECT_EQ(raw.substr(33, 10), std::string("Mot\xF6rhead\0", 10));
  EXPECT_EQ(raw.substr(3, 11), std::string("?? Sm\xF6rg\xE5s", 11));

  Tid3tag back;
  ASSERT_EQ(back.ReadTag(file), id3Done);
  EXPECT_EQ(back.Artist(), "Motörhead");
  EXPECT_EQ(back.Title(), "?? Smörgås");
}

TEST_F(Id3File, CutsCountCharactersAndNeverSplitOne) {
  Tid3tag tag;
  tag.SetTitle(std::string(29, 'a') + "öüx");
  EXPECT_EQ(tag.Title(), std::string(29, 'a') + "ö");
  tag.SetYear("1999 remaster");
  EXPECT_EQ(tag.Year(), "1999");
  tag.SetAlbum(std::string(40, 'b'));
  EXPECT_EQ(tag.Album(), std::string(30, 'b'));
}

TEST_F(Id3File, ReadOnlyFilesAreLeftUntouched) {
  const std::string file = Path("locked.mp3");
  const std::string bytes = Audio(200) + RawTag("Old", "", "", "", "", 1);
  WriteBytes(file, bytes);
  ::chmod(file.c_str(), 0444);
  Tid3tag tag;
  EXPECT_EQ(tag.ReadTag(file), id3Done);
  EXPECT_TRUE(tag.ReadOnly());
  tag.SetTitle("New");
  EXPECT_EQ(tag.WriteTag(file), id3ReadOnlyFile);
  tag.RemoveTag();
  EXPECT_EQ(FileText(file), bytes);
}

TEST_F(Id3File, MissingFilesFoldersAndPipesCannotBeOpened) {
  Tid3tag tag;
  EXPECT_EQ(tag.ReadTag(Path("missing.mp3")), id3OpenError);
  EXPECT_EQ(tag.WriteTag(Path("missing.mp3")), id3OpenError);
  EXPECT_FALSE(std::filesystem::exists(Path("missing.mp3")));
  EXPECT_EQ(tag.ReadTag(dir.Path()), id3OpenError);
  EXPECT_EQ(tag.WriteTag(dir.Path()), id3OpenError);
  // Opening a pipe with no writer would wait for ever.
  const std::string fifo = Path("pipe.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_EQ(tag.ReadTag(fifo), id3OpenError);
  EXPECT_EQ(tag.WriteTag(fifo), id3OpenError);
}

TEST_F(Id3File, AFileAnotherWriterHoldsIsNotWritten) {
  const std::string file = Path("busy.mp3");
  WriteBytes(file, Audio(300));
  int other = ::open(file.c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  Tid3tag tag;
  EXPECT_EQ(tag.WriteTag(file), id3OpenError);
  ::close(other);
  EXPECT_EQ(FileText(file), Audio(300));
  EXPECT_EQ(tag.WriteTag(file), id3Done);
}

TEST_F(Id3File, AFailedAppendLeavesNoPieceOfATag) {
  const std::string file = Path("full.mp3");
  WriteBytes(file, Audio(4000));
  // The file may grow by 50 bytes only, as on a disk that is nearly full.
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit tight = old;
  tight.rlim_cur = 4050;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tight), 0);
  Tid3tag tag;
  tag.SetTitle("Too much");
  uint16_t result = tag.WriteTag(file);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(result, id3WriteError);
  EXPECT_EQ(FileText(file), Audio(4000));
  EXPECT_EQ(tag.FileName(), ""); // a failed write is not remembered
}

TEST_F(Id3File, RemoveCutsTheTagOnly) {
  const std::string file = Path("remove.mp3");
  WriteBytes(file, Audio(700) + RawTag("Gone", "", "", "", "", 3));
  Tid3tag tag;
  ASSERT_EQ(tag.ReadTag(file), id3Done);
  tag.RemoveTag();
  EXPECT_EQ(FileText(file), Audio(700));
  // A second removal finds no tag and must not cut audio.
  tag.RemoveTag();
  EXPECT_EQ(FileText(file), Audio(700));
}

TEST_F(Id3File, AFailedReadStillNamesTheFileForTheNextWrite) {
  const std::string first = Path("first.mp3");
  WriteBytes(first, Audio(10) + RawTag("First", "", "", "", "", 255));
  Tid3tag tag;
  ASSERT_EQ(tag.ReadTag(first), id3Done);
  EXPECT_EQ(tag.ReadTag(Path("gone.mp3")), id3OpenError);
  // Writing "=" now must not land on the file read before.
  EXPECT_EQ(tag.WriteTag("="), id3OpenError);
  EXPECT_EQ(LastTag(first), RawTag("First", "", "", "", "", 255));
}

} // namespace
