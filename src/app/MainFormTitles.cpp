// The main window's titles from beyond the cache: the disc's CD-Text when it is listed, and
// the MusicBrainz lookup with its choice of release.
#include "MainForm.h"

#include "AuCDROM.h"
#include "AudioDisc.h"
#include "CddbLookup.h"
#include "ChooseRelease.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "Global.h"
#include "MusicBrainz.h"

#include <QCoreApplication>

#include <future>

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
