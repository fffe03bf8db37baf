#include "AuTags.h"
#include "Genres.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

void ExpectSortedWithoutCase(const TAuTags &tags, int count) {
  ASSERT_EQ(tags.Count(), count);
  for (int i = 1; i < tags.Count(); ++i)
    EXPECT_LT(Lower(tags.Names(i - 1)), Lower(tags.Names(i))) << "at " << i;
}

int IndexOfName(const TAuTags &tags, const std::string &name) {
  for (int i = 0; i < tags.Count(); ++i)
    if (tags.Names(i) == name)
      return i;
  return -1;
}

TEST(TagNames, EveryKindRegistersItsNamesSortedWithoutRegardToCase) {
  ExpectSortedWithoutCase(TCommonTags(), 6);
  ExpectSortedWithoutCase(TId3v1Tags(), 7);
  ExpectSortedWithoutCase(TId3v2Tags(), 24);
  ExpectSortedWithoutCase(TAPEv2Tags(), 25);
  ExpectSortedWithoutCase(TVorbisTags(), 15); // with "isrc"

  // A byte-wise sort would put "LC" before "Language".
  TAPEv2Tags ape;
  EXPECT_LT(IndexOfName(ape, "Language"), IndexOfName(ape, "LC"));
  EXPECT_EQ(ape.Names(0), "Abstract");
}

TEST(TagNames, OutsideTheListAnIndexGivesAnEmptyName) {
  TVorbisTags tags;
  EXPECT_EQ(tags.Names(tags.Count()), "");
  EXPECT_EQ(tags.Names(-1), "");
  EXPECT_EQ(tags.Names(tags.Count() - 1), "tracktotal");
}

TEST(TagNames, NamesMatchWithoutRegardToCase) {
  TVorbisTags tags;
  tags.SetValue("ARTIST", std::u16string(u"Nina"));
  EXPECT_EQ(tags.Artist(), u"Nina");
  EXPECT_EQ(tags.AsString("Artist"), "Nina");
}

TEST(TagValues, NewSetsStartWithTheirInitialValues) {
  TCommonTags common;
  EXPECT_TRUE(common.Empty());
  EXPECT_FALSE(common.Changed());
  EXPECT_FALSE(IsUnassigned(common.GetValue("Artist")));
  EXPECT_EQ(common.Artist(), u"");

  TId3v1Tags id3;
  EXPECT_EQ(std::get<uint8_t>(id3.GetValue("genre")), 12);
  EXPECT_TRUE(IsUnassigned(id3.GetValue("title")));

  TId3v2Tags v2;
  EXPECT_TRUE(v2.NewFormat);
  for (int i = 0; i < v2.Count(); ++i)
    EXPECT_TRUE(IsUnassigned(v2.GetValue(v2.Names(i))));
}

TEST(TagValues, SetValueChangesOnlyWhatDiffers) {
  TId3v1Tags tags;
  // Unknown names and values equal to the stored one leave the set untouched.
  tags.SetValue("lyrics", std::string("la la"));
  tags.SetValue("title", std::monostate{});
  tags.SetValue("genre", uint8_t{12});
  tags.SetValue("genre", int32_t{12});
  tags.SetValue("genre", std::string("12"));
  tags.SetValue("genre", std::u16string(u"12"));
  EXPECT_TRUE(tags.Empty());
  EXPECT_FALSE(tags.Changed());
  EXPECT_TRUE(IsUnassigned(tags.GetValue("lyrics")));

  // A text that is no number differs from a number, and is stored as given.
  tags.SetValue("genre", std::string("Other"));
  EXPECT_FALSE(tags.Empty());
  EXPECT_TRUE(tags.Changed());
  EXPECT_EQ(std::get<std::string>(tags.GetValue("genre")), "Other");
}

TEST(TagValues, ClearKeepsTheNamesAndMarksTheSetChanged) {
  TCommonTags tags;
  tags.SetArtist(u"A");
  tags.Clear();
  EXPECT_EQ(tags.Count(), 6);
  EXPECT_TRUE(IsUnassigned(tags.GetValue("Artist")));
  EXPECT_TRUE(tags.Empty());
  EXPECT_TRUE(tags.Changed());
}

TEST(TagValues, ConversionsBetweenNumbersAndTexts) {
  TAPEv2Tags tags;
  tags.SetValue("Track", std::string("12a"));
  EXPECT_EQ(tags.AsInteger("Track"), 0);
  tags.SetValue("Track", std::string("-5"));
  EXPECT_EQ(tags.AsInteger("Track"), -5);
  tags.SetValue("Track", std::string(""));
  EXPECT_EQ(tags.AsInteger("Track"), 0);
  tags.SetValue("Track", std::u16string(u"42"));
  EXPECT_EQ(tags.AsInteger("Track"), 42);
  tags.SetValue("Track", uint16_t{65535});
  EXPECT_EQ(tags.AsString("Track"), "65535");
  EXPECT_EQ(tags.AsWideString("Track"), u"65535");
  EXPECT_EQ(tags.AsInteger("Nowhere"), 0);
  EXPECT_EQ(tags.AsString("Title"), "");

  // Texts pass between the 8-bit and the wide form without losing characters.
  tags.SetValue("Artist", std::string("Motörhead"));
  EXPECT_EQ(tags.AsWideString("Artist"), u"Motörhead");
  tags.SetValue("Title", std::u16string(u"Sigur Rós – Ágætis byrjun"));
  EXPECT_EQ(tags.AsString("Title"), "Sigur Rós – Ágætis byrjun");
  tags.SetYear("2001");
  EXPECT_EQ(tags.Year(), "2001");
}

TEST(TagAssign, CommonTagsFillTheVorbisNamesBothKnow) {
  TCommonTags common;
  common.SetArtist(u"A");
  common.SetYear("1999");
  TVorbisTags vorbis;
  vorbis.SetDisc(u"2");
  vorbis.Assign(common);
  EXPECT_EQ(vorbis.Artist(), u"A");
  // The Vorbis set has no "year": its date stays unassigned, and the old disc is cleared.
  EXPECT_TRUE(IsUnassigned(vorbis.GetValue("date")));
  EXPECT_TRUE(IsUnassigned(vorbis.GetValue("discnumber")));
  EXPECT_FALSE(vorbis.Empty());

  TVorbisTags other;
  vorbis.AssignTo(other);
  EXPECT_EQ(other.Artist(), u"A");
  EXPECT_EQ(other.Title(), u"");
}

TEST(TagAssign, AssigningASetToItselfKeepsItsValues) {
  TCommonTags tags;
  tags.SetTitle(u"Keep me");
  tags.Assign(tags);
  EXPECT_EQ(tags.Title(), u"Keep me");
}

TEST(TagAssign, Id3v2FramesFollowTheChosenFormat) {
  TId3v2Tags tags;
  tags.SetArtist(u"New");
  tags.NewFormat = false;
  tags.SetArtist(u"Old");
  EXPECT_EQ(tags.AsWideString("TPE1"), u"New");
  EXPECT_EQ(tags.AsWideString("TP1"), u"Old");
  EXPECT_EQ(tags.Artist(), u"Old");

  TCommonTags common;
  common.SetTrack("7");
  TAPEv2Tags ape;
  ape.Assign(common);
  EXPECT_EQ(ape.Track(), "7");
  tags.Assign(common); // no shared names
  EXPECT_TRUE(tags.Empty());
}

TEST(Id3v1Tags, GenreNamesDifferFromTheListOnlyAtTheTenExceptions) {
  const std::map<int, std::string> exceptions = {
      {22, "Death metal"},       {46, "Instrumental pop"},
      {47, "Instrumental rock"}, {59, "Gangsta"},
      {81, "Folk-Rock"},         {84, "Fast Fusion"},
      {104, "Chamber music"},    {118, "Rhythmic soul"},
      {127, "Drum & Bass"},      {136, "Christian Gangsta Rap"}};
  for (const TGenre &genre : GenreList) {
    auto it = exceptions.find(genre.Id3);
    EXPECT_EQ(Id3v1GenreName(genre.Id3), it == exceptions.end() ? genre.Name : it->second)
        << "genre " << int(genre.Id3);
  }
  EXPECT_EQ(Id3v1GenreName(148), "");
}

TEST(Id3v1Tags, GenreReadsAndWrites) {
  TId3v1Tags tags;
  tags.SetGenreId(200);
  EXPECT_EQ(tags.GenreId(), 12);
  EXPECT_EQ(tags.Genre(), "Other");

  tags.SetGenre("  rock ");
  EXPECT_EQ(std::get<uint8_t>(tags.GetValue("genre")), 17);
  tags.SetGenre("drum & bass");
  EXPECT_EQ(tags.GenreId(), 127);
  // The list's own spelling is not a tag genre name: nothing changes.
  tags.SetGenre("Drum & Base");
  EXPECT_EQ(tags.GenreId(), 127);
  EXPECT_EQ(tags.Genre(), "Drum & Bass");
}

TEST(Id3v1Tags, ArtistReadsOnlyTexts) {
  TId3v1Tags tags;
  tags.SetValue("artist", int32_t{5});
  EXPECT_EQ(tags.Artist(), "");
  EXPECT_EQ(tags.AsString("artist"), "5");
  tags.SetValue("artist", std::u16string(u"Björk"));
  EXPECT_EQ(tags.Artist(), "Björk");

  tags.SetYear(1999);
  tags.SetTrack(3);
  EXPECT_EQ(tags.Year(), 1999);
  EXPECT_EQ(tags.AsString("year"), "1999");
  EXPECT_EQ(tags.Track(), 3);
}

} // namespace
