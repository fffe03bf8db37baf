// The main window's titles from beyond the cache: the disc's CD-Text when it is listed, the
// freedb lookup, and the MusicBrainz lookup with its choice of release.
#include "MainForm.h"

#include "AuCDROM.h"
#include "AudioDisc.h"
#include "CDDBInfo.h"
#include "CddbLookup.h"
#include "ChooseRelease.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "Genres.h"
#include "Global.h"
#include "Language.h"
#include "MainFormShared.h"
#include "MusicBrainz.h"
#include "QueryCddb.h"

#include <QCoreApplication>

#include <future>

using namespace mainform;

void TMainForm::TakeDiscText(const TDiscText &text) {
  if (!text.Album.empty())
    DiscInfo.Album = text.Album;
  if (!text.Performer.empty())
    DiscInfo.Artist = text.Performer;
  for (std::size_t i = 0; i < text.Titles.size(); ++i) {
    const int track = text.FirstTrack + static_cast<int>(i);
    if (track < 1 || track > MaxDiscTitles)
      continue;
    if (!text.Titles[i].empty()) {
      DiscInfo.Titles[track] = text.Titles[i];
      DiscInfo.TitleSources[track] = "CD-Text";
    }
    if (text.Performers[i] != DiscInfo.Artist)
      DiscInfo.TrackArtists[track] = text.Performers[i];
  }
}

bool TMainForm::ReadListedToc(TToc &toc) {
  if (CDInputMode())
    return cd::ReadDriveToc(CDIn1->CurrentDrive(), toc);
  return CDHandle != 0 && cd::ReadHandleToc(CDHandle, toc);
}

mb::TLookup TMainForm::LookUpMusicBrainz(const std::string &baseUrl) {
  mb::TLookup lookup;
  TToc toc{};
  const std::string id = ReadListedToc(toc) ? mb::DiscId(mb::TocOf(toc)) : "";
  if (id.empty()) {
    lookup.Why = GetLanString("RES_ReadTocError", "Error while reading TOC information!");
    return lookup;
  }
  mb::TService service;
  service.BaseUrl = baseUrl;
  // The lookup runs on a thread of its own and touches nothing of the window's.
  auto running = std::async(std::launch::async, mb::LookUp, service, id);
  while (running.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return running.get();
}

void TMainForm::ApplyRelease(const mb::TRelease &release) {
  TCddbLookup lookup;
  lookup.Found = true;
  lookup.Entry.Artist = release.Artist;
  lookup.Entry.Album = release.Album;
  lookup.Entry.Year = release.Year;
  lookup.Entry.TrackTitles = release.Titles;
  lookup.Entry.TrackArtists = release.TrackArtists;
  ApplyCddbLookup(lookup, "MusicBrainz");
}

void TMainForm::aQueryMusicBrainzExecute() {
  if (RowCount() == 0) {
    plat::MessageBox(StatusText(), product::Name, plat::TMsgButtons::OK,
                     plat::TMsgIcon::Information);
    return;
  }
  const std::string status = StatusText();
  SetStatus("Query MusicBrainz...");
  const mb::TLookup lookup = LookUpMusicBrainz(GlobalOptions.MusicBrainzUrl);
  SetStatus(status);
  if (!lookup.Found) {
    plat::MessageBox(lookup.Why, product::Name, plat::TMsgButtons::OK,
                     lookup.NoMatch ? plat::TMsgIcon::Information : plat::TMsgIcon::Error);
    return;
  }
  const int chosen = lookup.Releases.size() == 1 ? 0 : ChooseRelease(this, lookup.Releases);
  if (chosen >= 0)
    ApplyRelease(lookup.Releases[chosen]);
}

void TMainForm::aQueryCDDBExecute() {
  if (CDInputMode()) {
    const TCddbLookup lookup = LookUpCDIn();
    if (lookup.Found)
      ApplyCddbLookup(lookup);
    else // the texts of the drive library's lookup window
      Inform("No match found,perhaps:\r\n1.No information in CDDB server\r\n2.error CDDB "
             "options\r\n3.check the network");
    return;
  }
  if (CDHandle == 0) {
    Inform(GetCDHandleFirst());
    return;
  }
  TToc toc{};
  if (!cd::ReadHandleToc(CDHandle, toc)) {
    ShowError(GetLanString("RES_ReadTocError", "Error while reading TOC information!"));
    return;
  }
  TfrmQueryCDDB form(this, toc.FirstTrack, toc.LastTrack, CDHandle,
                     [this](const TCddbLookup &lookup) { ApplyCddbLookup(lookup); });
  plat::ShowModal(form);
}

TCddbLookup TMainForm::LookUpCDIn() {
  TCddbLookup lookup;
  // The component keeps its entry between lookups: a failed one must not hand on the last
  // disc's titles.
  TCDDBQuery &query = CDDBInfo1->CDDBQuery();
  query.Album = TCDDBAlbum{};
  CDDBInfo1->Server = CddbServerOf(GlobalOptions);
  CDDBInfo1->Query();
  lookup.NoMatch = query.Failure == cddb::TFailure::NoMatch;
  lookup.Entry.Artist = query.Album.Artist;
  lookup.Entry.Album = query.Album.Title;
  lookup.Entry.Year = query.Album.Year;
  lookup.Entry.Genre = query.Album.Genre;
  lookup.Entry.ExtendedData = query.Album.ExtendedData;
  lookup.Entry.TrackTitles = query.Album.TrackTitles;
  if (CDDBInfo1->LastQueryString.empty())
    lookup.Why = CheckCDRom();
  else if (!query.Why.empty())
    lookup.Why = query.Why;
  else if (!lookup.Entry.HasTitles())
    lookup.Why = "the entry the CDDB server sent for the disc " + CDDBInfo1->LastDiscID +
                 " holds no track titles";
  lookup.Found = lookup.Why.empty();
  return lookup;
}

void TMainForm::ApplyCddbLookup(const TCddbLookup &lookup, const char *source) {
  const cddb::TEntry &entry = lookup.Entry;
  for (int row = 0; row < RowCount() && row < static_cast<int>(entry.TrackTitles.size()); ++row)
    if (!entry.TrackTitles[row].empty())
      SetRowTitle(row, entry.TrackTitles[row], source);
  // The lookup names every track's artist: the ones it leaves out are the disc's.
  for (int row = 0; row < RowCount(); ++row)
    if (const int track = std::stoi(RowText(row, 0)); track >= 1 && track <= MaxDiscTitles)
      DiscInfo.TrackArtists[track] =
          row < static_cast<int>(entry.TrackArtists.size()) ? entry.TrackArtists[row] : "";
  for (auto [field, value] :
       {std::pair{&DiscInfo.Artist, &entry.Artist}, std::pair{&DiscInfo.Album, &entry.Album},
        std::pair{&DiscInfo.Year, &entry.Year}})
    if (!value->empty())
      *field = *value;
  if (!entry.Genre.empty())
    DiscInfo.Genre = GenreIndexOf(entry.Genre);
}
