#pragma once
// Tag sets: small dictionaries from a fixed set of tag names to values of variable type. Each
// kind of tag format registers its names at construction and offers typed properties over
// them; copying one set into another moves every value whose name both sets know.
#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// Unassigned, an integer of 1 to 4 bytes, an 8-bit (UTF-8) string or a wide string.
using TAuTagValue = std::variant<std::monostate, int8_t, uint8_t, int16_t, uint16_t, int32_t,
                                 uint32_t, std::string, std::u16string>;

bool IsUnassigned(const TAuTagValue &value);
// Equal as the tag sets compare them: a number and a text holding that number are equal.
bool SameTagValue(const TAuTagValue &a, const TAuTagValue &b);

class TAuTags {
public:
  TAuTags() = default;
  virtual ~TAuTags() = default;
  TAuTags(const TAuTags &) = delete;
  TAuTags &operator=(const TAuTags &) = delete;

  int Count() const { return static_cast<int>(Values.size()); }
  // The name at that position of the sorted list; empty outside 0 .. Count - 1.
  std::string Names(int index) const;
  // A copy of the value; unassigned for a name the set does not hold.
  TAuTagValue GetValue(const std::string &name) const;
  // Ignores names the set does not hold and values equal to the stored one.
  void SetValue(const std::string &name, const TAuTagValue &value);
  int64_t AsInteger(const std::string &name) const;
  std::string AsString(const std::string &name) const;
  std::u16string AsWideString(const std::string &name) const;
  // Every value becomes unassigned; the names stay.
  void Clear();

  // Clears this set and copies every value of source whose name this set knows.
  virtual void Assign(const TAuTags &source);
  virtual void AssignTo(TAuTags &dest) const;

  bool Empty() const { return FEmpty; }
  bool Changed() const { return FChanged; }

protected:
  // Registers a name with its initial value; false for an empty name, a present name is kept.
  bool AddTag(const std::string &name, const TAuTagValue &value);

private:
  // Sorted by name without regard to case.
  std::vector<std::pair<std::string, TAuTagValue>> Values;
  bool FEmpty = true;
  bool FChanged = false;

  // Where name is, or would be inserted.
  size_t Position(const std::string &name) const;
  // -1 for a name the set does not hold.
  int IndexOf(const std::string &name) const;
};

// Typed properties over one tag name: a wide-string one and an 8-bit-string one.
#define PLINDAR_TAG_WIDE(Prop, Name)                                                               \
  std::u16string Prop() const { return AsWideString(Name); }                                       \
  void Set##Prop(const std::u16string &v) { SetValue(Name, v); }
#define PLINDAR_TAG_TEXT(Prop, Name)                                                               \
  std::string Prop() const { return AsString(Name); }                                              \
  void Set##Prop(const std::string &v) { SetValue(Name, v); }

class TCommonTags : public TAuTags {
public:
  TCommonTags();
  PLINDAR_TAG_WIDE(Artist, "Artist")
  PLINDAR_TAG_WIDE(Album, "Album")
  PLINDAR_TAG_WIDE(Genre, "Genre")
  PLINDAR_TAG_TEXT(Year, "Year")
  PLINDAR_TAG_TEXT(Track, "Track")
  PLINDAR_TAG_WIDE(Title, "Title")
};

// The 148 ID3v1 genre names by number, as tag sets name them.
const std::string &Id3v1GenreName(int number);

class TId3v1Tags : public TAuTags {
public:
  TId3v1Tags();
  std::string Title() const { return AsString("title"); }
  void SetTitle(const std::string &v) { SetValue("title", v); }
  // Only a stored text reads; anything else reads as empty.
  std::string Artist() const;
  void SetArtist(const std::string &v) { SetValue("artist", v); }
  std::string Album() const { return AsString("album"); }
  void SetAlbum(const std::string &v) { SetValue("album", v); }
  uint16_t Year() const { return static_cast<uint16_t>(AsInteger("year")); }
  void SetYear(uint16_t v) { SetValue("year", v); }
  std::string Comment() const { return AsString("comment"); }
  void SetComment(const std::string &v) { SetValue("comment", v); }
  uint8_t Track() const { return static_cast<uint8_t>(AsInteger("track")); }
  void SetTrack(uint8_t v) { SetValue("track", v); }
  // The stored number when it is below 148, else 12 ("Other").
  uint8_t GenreId() const;
  void SetGenreId(uint8_t v) { SetValue("genre", v); }
  std::string Genre() const { return Id3v1GenreName(GenreId()); }
  // Trims the text and stores the number of the first name equal to it without regard to
  // case; an unknown name changes nothing.
  void SetGenre(const std::string &v);
};

class TId3v2Tags : public TAuTags {
public:
  TId3v2Tags();
  // Chooses between the frame names of the 2.3 format (true) and the 2.2 format.
  bool NewFormat = true;

  std::u16string Artist() const { return AsWideString(Frame("TP1", "TPE1")); }
  void SetArtist(const std::u16string &v) { SetValue(Frame("TP1", "TPE1"), v); }
  std::u16string Album() const { return AsWideString(Frame("TAL", "TALB")); }
  void SetAlbum(const std::u16string &v) { SetValue(Frame("TAL", "TALB"), v); }
  std::u16string Genre() const { return AsWideString(Frame("TCO", "TCON")); }
  void SetGenre(const std::u16string &v) { SetValue(Frame("TCO", "TCON"), v); }
  std::string Year() const { return AsString(Frame("TYE", "TYER")); }
  void SetYear(const std::string &v) { SetValue(Frame("TYE", "TYER"), v); }
  std::string Track() const { return AsString(Frame("TRK", "TRCK")); }
  void SetTrack(const std::string &v) { SetValue(Frame("TRK", "TRCK"), v); }
  std::u16string Title() const { return AsWideString(Frame("TT2", "TIT2")); }
  void SetTitle(const std::u16string &v) { SetValue(Frame("TT2", "TIT2"), v); }
  std::u16string Comment() const { return AsWideString(Frame("COM", "COMM")); }
  void SetComment(const std::u16string &v) { SetValue(Frame("COM", "COMM"), v); }
  std::u16string Composer() const { return AsWideString(Frame("TCM", "TCOM")); }
  void SetComposer(const std::u16string &v) { SetValue(Frame("TCM", "TCOM"), v); }
  std::u16string Encoder() const { return AsWideString(Frame("TEN", "TENC")); }
  void SetEncoder(const std::u16string &v) { SetValue(Frame("TEN", "TENC"), v); }
  std::u16string Copyright() const { return AsWideString(Frame("TCR", "TCOP")); }
  void SetCopyright(const std::u16string &v) { SetValue(Frame("TCR", "TCOP"), v); }
  std::u16string Language() const { return AsWideString(Frame("TLA", "TLAN")); }
  void SetLanguage(const std::u16string &v) { SetValue(Frame("TLA", "TLAN"), v); }
  std::u16string Link() const { return AsWideString(Frame("WXX", "WXXX")); }
  void SetLink(const std::u16string &v) { SetValue(Frame("WXX", "WXXX"), v); }

private:
  const char *Frame(const char *v22, const char *v23) const { return NewFormat ? v23 : v22; }
};

class TAPEv2Tags : public TAuTags {
public:
  TAPEv2Tags();
  PLINDAR_TAG_WIDE(Artist, "Artist")
  PLINDAR_TAG_WIDE(Composer, "Composer")
  PLINDAR_TAG_WIDE(Album, "Album")
  PLINDAR_TAG_WIDE(DebutAlbum, "Debut album")
  PLINDAR_TAG_WIDE(Publisher, "Publisher")
  PLINDAR_TAG_WIDE(Conductor, "Conductor")
  PLINDAR_TAG_WIDE(Copyright, "Copyright")
  PLINDAR_TAG_TEXT(ISBN, "ISBN")
  PLINDAR_TAG_TEXT(ISRC, "ISRC")
  PLINDAR_TAG_TEXT(BarCode, "EAN/UPC")
  PLINDAR_TAG_TEXT(LabelCode, "LC")
  PLINDAR_TAG_TEXT(Catalog, "Catalog")
  PLINDAR_TAG_WIDE(Language, "Language")
  PLINDAR_TAG_WIDE(Genre, "Genre")
  PLINDAR_TAG_TEXT(Year, "Year")
  PLINDAR_TAG_TEXT(RecordDate, "Record Date")
  PLINDAR_TAG_WIDE(RecordLocation, "Record Location")
  PLINDAR_TAG_WIDE(File_, "File")
  PLINDAR_TAG_WIDE(Related, "Related")
  PLINDAR_TAG_WIDE(Abstract, "Abstract")
  PLINDAR_TAG_WIDE(Bibliography, "Bibliography")
  PLINDAR_TAG_TEXT(Track, "Track")
  PLINDAR_TAG_WIDE(Title, "Title")
  PLINDAR_TAG_WIDE(SubTitle, "Subtitle")
  PLINDAR_TAG_WIDE(Comment, "Comment")
};

class TVorbisTags : public TAuTags {
public:
  TVorbisTags();
  PLINDAR_TAG_WIDE(Album, "album")
  PLINDAR_TAG_WIDE(Artist, "artist")
  PLINDAR_TAG_WIDE(Date, "date")
  PLINDAR_TAG_WIDE(Genre, "genre")
  PLINDAR_TAG_WIDE(Title, "title")
  PLINDAR_TAG_WIDE(Comment, "comment")
  PLINDAR_TAG_WIDE(Track, "tracknumber")
  PLINDAR_TAG_WIDE(TrackTotal, "tracktotal")
  PLINDAR_TAG_WIDE(Disc, "discnumber")
  PLINDAR_TAG_WIDE(Isrc, "isrc")
  PLINDAR_TAG_WIDE(Reference, "replaygain_reference_loudness")
  PLINDAR_TAG_WIDE(TrackGain, "replaygain_track_gain")
  PLINDAR_TAG_WIDE(TrackPeak, "replaygain_track_peak")
  PLINDAR_TAG_WIDE(AlbumGain, "replaygain_album_gain")
  PLINDAR_TAG_WIDE(AlbumPeak, "replaygain_album_peak")
};

#undef PLINDAR_TAG_WIDE
#undef PLINDAR_TAG_TEXT
