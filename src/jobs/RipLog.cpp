#include "RipLog.h"

#include "AccurateRipLookup.h"
#include "Cddb.h"
#include "DiscInfo.h"
#include "Global.h"
#include "PartFile.h"

#include "OggOptions.h"
#include "RipFormats.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>

using namespace accuraterip;

namespace {

// Valid UTF-8 on one line: a title may hold any byte, the log stays readable.
std::string OneLine(const std::string &text) {
  std::string line = cddb::ToUtf8(text);
  for (char &c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = ' ';
  return line;
}

std::string Msf(int32_t sectors) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d.%02d", sectors / 4500, sectors / 75 % 60,
                sectors % 75);
  return text;
}

std::string Hex(uint32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

std::string Percent(uint32_t peak) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f %%", peak * 100.0 / 32768);
  return text;
}

std::string TocText(const TDiscToc &toc) {
  std::string text = "Table of contents\n"
                     "  Track |  Start   |  Length  | Start sector | End sector\n";
  for (std::size_t i = 0; i < toc.Tracks.size(); ++i) {
    const int32_t start = toc.Tracks[i].Lsn;
    const int32_t end = i + 1 < toc.Tracks.size() ? toc.Tracks[i + 1].Lsn : toc.LeadOut;
    char line[96];
    std::snprintf(line, sizeof line, "  %5zu | %s | %s | %12d | %10d%s\n", toc.FirstTrack + i,
                  Msf(start).c_str(), Msf(end - start).c_str(), start, end - 1,
                  toc.Tracks[i].Audio ? "" : " (data)");
    text += line;
  }
  return text + "  Lead-out at sector " + std::to_string(toc.LeadOut) + "\n";
}

// The ids the disc is known by: freedb's, MusicBrainz's and the AccurateRip answer file's.
std::string DiscIdsText(const TRipLog &log) {
  const TDiscIds ids = DiscIds(log.Toc);
  if (ids.AudioTracks == 0)
    return "Disc ids: none, the table of contents could not be read\n";
  char freedb[12], accurateRip[40];
  std::snprintf(freedb, sizeof freedb, "%08x", ids.FreedbId);
  std::snprintf(accurateRip, sizeof accurateRip, "%03d-%08x-%08x-%08x", ids.AudioTracks, ids.Id1,
                ids.Id2, ids.FreedbId);
  return std::string("Disc ids: freedb ") + freedb + ", MusicBrainz " +
         (log.MusicBrainzId.empty() ? std::string("none") : log.MusicBrainzId) + ", AccurateRip " +
         accurateRip + "\n" +
         (log.Catalog.empty() ? "" : "Catalogue number: " + log.Catalog + "\n");
}

std::string TrackText(const TRipLogTrack &t) {
  std::string text = "Track " + std::to_string(t.Track) + "\n";
  text += "  Title: " + OneLine(t.Title) +
          (t.TitleSource.empty() ? "" : " (" + t.TitleSource + ")") + "\n";
  if (!t.Isrc.empty())
    text += "  ISRC: " + t.Isrc + "\n";
  if (t.PreEmphasis)
    text += std::string("  Pre-emphasis: yes, ") +
            (t.Deemphasized ? "de-emphasis applied" : "kept as recorded") + "\n";
  text += "  File: " + (t.File.empty() ? std::string("none") : OneLine(t.File)) + "\n";
  if (t.Whole) {
    text += "  Peak level: " + Percent(t.Sums.Peak) + "\n";
    text += "  CRC-32: " + Hex(t.Sums.Crc32) + "\n";
    if (t.Track != 0) // the hidden track before track 1 has no AccurateRip sums
      text += "  AccurateRip v1: " + Hex(t.Sums.V1) + ", v2: " + Hex(t.Sums.V2) + "\n";
  }
  text += "  AccurateRip: " + VerdictText(t.Verdict) + "\n";
  text += "  Read: " + OneLine(t.ReadResult) + "\n";
  if (!t.EncoderResult.empty())
    text += "  Encoder: " + OneLine(t.EncoderResult) + "\n";
  return text;
}

// The log's file: its name, unless a job running beside this one wrote a log there since this
// one began; then the first numbered name that is free or holds an earlier job's log.
std::string RipLogPath(const TRipLog &log, const std::string &folder) {
  const std::string name = RipLogName(log.Artist, log.Album);
  const std::string stem = folder + name.substr(0, name.size() - 4);
  std::string path = folder + name;
  std::error_code ec;
  for (int n = 2; std::filesystem::last_write_time(path, ec) >= log.Begun && !ec; ++n)
    path = stem + " (" + std::to_string(n) + ").log";
  return path;
}

} // namespace

void TRipLog::Verify(const std::string &baseUrl) {
  const TDiscIds ids = DiscIds(Toc);
  if (ids.AudioTracks == 0) {
    Lookup = TLookup::Failed;
    LookupWhy = "the table of contents could not be read";
    return;
  }
  const TLookupResult result = LookUp(baseUrl, ids);
  Lookup = result.Status;
  LookupWhy = result.Why;
  // The verdicts go by the track's place among the audio tracks.
  std::vector<int> audioIndex(Toc.Tracks.size(), -1);
  for (std::size_t i = 0, n = 0; i < Toc.Tracks.size(); ++i)
    if (Toc.Tracks[i].Audio)
      audioIndex[i] = static_cast<int>(n++);
  for (TRipLogTrack &track : Tracks) {
    const int entry = track.Track - Toc.FirstTrack;
    const bool known = entry >= 0 && entry < static_cast<int>(audioIndex.size());
    // The hidden track before track 1 is in no disc id, so no database has it.
    if (track.Track == 0 && track.Whole && Lookup != TLookup::Failed)
      track.Verdict = {TVerdict::NotInDatabase};
    else if (!track.Whole || !known || Lookup == TLookup::Failed)
      track.Verdict = {TVerdict::NotVerified};
    else if (Lookup == TLookup::NotInDatabase)
      track.Verdict = {TVerdict::NotInDatabase};
    else
      track.Verdict = VerifyTrack(result.Responses, ids, audioIndex[entry], track.Sums);
  }
}

std::string TRipLog::Summary(const TWording &wording) const {
  std::vector<TTrackVerdict> verdicts;
  for (const TRipLogTrack &track : Tracks)
    verdicts.push_back(track.Verdict);
  return DiscSummary(Lookup, verdicts, LookupWhy, wording);
}

void TRipLog::MarkStopped() {
  Stopped = true;
  Lookup = TLookup::Failed;
  LookupWhy = "the rip was stopped";
  // The tracks go in job order: the first one not done with was in progress.
  for (TRipLogTrack &track : Tracks)
    if (!track.Ended) {
      if (track.ReadResult == TRipLogTrack{}.ReadResult)
        track.ReadResult = "Stopped";
      else
        track.EncoderResult = "Stopped";
      break;
    }
}

std::string TRipLog::Outcome(const TWording &wording) const {
  auto words = [&wording](const char *key, const char *english) {
    return wording ? wording(key, english) : std::string(english);
  };
  int made = 0, failed = 0;
  for (const TRipLogTrack &track : Tracks) {
    made += !track.File.empty();
    failed += track.Ended && track.File.empty();
  }
  const int count = static_cast<int>(Tracks.size());
  std::string text =
      Stopped ? words("RES_Job_Stopped", "Stopped: %d of %d tracks made, %d failed, %d not made")
              : words("RES_Job_Outcome", "Done: %d of %d tracks made, %d failed");
  for (const int number : {made, count, failed, count - made - failed})
    if (const std::size_t at = text.find("%d"); at != std::string::npos)
      text.replace(at, 2, std::to_string(number));
  return text + ". AccurateRip: " + Summary(wording);
}

std::string TRipLog::Text() const {
  std::string text = std::string(product::Name) + " " + product::Version + " rip log\n\n";
  text += "Date: " + Date + "\n";
  text += "Drive: " + OneLine(Drive) + "\n";
  text += "Read mode: " + ReadMode + "\n";
  text += "Read offset: " + std::to_string(ReadOffset) + " samples\n";
  text += "Output format: " + Format + " (" + EncoderSettings + ")\n";
  text += "Disc: " +
          (Artist.empty() && Album.empty() ? std::string("no disc information")
                                           : OneLine(Artist) + " - " + OneLine(Album)) +
          "\n";
  text += DiscIdsText(*this) + "\n";
  text += TocText(Toc) + "\n";
  for (const TRipLogTrack &track : Tracks)
    text += TrackText(track) + "\n";
  return text + Outcome() + "\n";
}

std::string RipLogName(const std::string &artist, const std::string &album) {
  if (artist.empty() && album.empty())
    return "Rip.log";
  std::string name = OneLine(artist.empty()  ? album
                             : album.empty() ? artist
                                             : artist + " - " + album);
  for (char &c : name)
    if (c == '/')
      c = '_';
  // Not hidden, no blanks at the end, and short enough for any Linux file system.
  while (!name.empty() && (name.front() == '.' || name.front() == ' '))
    name.erase(0, 1);
  while (!name.empty() && name.back() == ' ')
    name.pop_back();
  cddb::CutUtf8(name, 200);
  return (name.empty() ? "Rip" : name) + ".log";
}

std::string WriteRipLog(const TRipLog &log, const std::string &folder) {
  plat::TPartFile part(RipLogPath(log, folder));
  {
    std::ofstream out(part.PartName(), std::ios::binary | std::ios::trunc);
    out << log.Text();
    if (!out.flush())
      return "";
  }
  return part.Complete() ? part.FinalName() : "";
}

std::string WriteRipLogOrSay(const TRipLog &log, const std::string &folder,
                             const std::function<void(const std::string &)> &showError) {
  const std::string path = WriteRipLog(log, folder);
  if (path.empty())
    showError(folder + RipLogName(log.Artist, log.Album) + " could not be written.");
  return path;
}

std::string RipLogDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::shared_ptr<const TRipLog> VerifyLater(const TRipLog &log, const std::string &baseUrl,
                                           TWindowHandle window) {
  auto verified = std::make_shared<TRipLog>(log);
  std::thread([verified, baseUrl, window] {
    verified->Verify(baseUrl);
    plat::PostMessage(window, WM_JOBINFO, 0,
                      std::make_unique<TProcessInfo>(TProcessInfo{JobVerified, "", "", 0}));
  }).detach();
  return verified;
}

std::string EncoderSettings(int format) {
  const TGlobalOptions &o = GlobalOptions;
  // No default: the compiler names a format added without its encoder text.
  switch (static_cast<TFormat>(format)) {
  case fmtMP3:
    return "lame, " + (o.IsSelectVBR ? "VBR quality " + std::to_string(o.VBRQuality) + " up to " +
                                           std::to_string(o.MaxBitRate) + " kbit/s"
                                     : "CBR " + std::to_string(o.BitRate) + " kbit/s");
  case fmtOGG: return OggEncoderText();
  case fmtWMA: return "WM8EUTIL, wmav2 profile " + std::to_string(o.WMABitRate);
  case fmtFLAC:
    return "libFLAC, compression level " + std::to_string(o.FLACCompression) + ", verified";
  case fmtOpus: return "libopusenc, VBR " + std::to_string(o.OpusBitRate) + " kbit/s";
  case fmtWAV: break;
  }
  return "PCM, 44100 Hz, 16-bit stereo";
}

std::shared_ptr<TRipLog> NewRipLog(const std::vector<std::string> &entries,
                                   const std::string &readMode, const std::string &drive) {
  auto log = std::make_shared<TRipLog>();
  log->Date = RipLogDate();
  log->Drive = drive;
  log->ReadMode = readMode;
  log->Format = GetFormatName();
  log->EncoderSettings = EncoderSettings(RipOutput());
  log->Artist = DiscInfo.Artist;
  log->Album = DiscInfo.Album;
  log->Tracks.resize(entries.size());
  for (std::size_t k = 0; k < entries.size(); ++k) {
    TRipLogTrack &track = log->Tracks[k];
    track.Track = TrackOfEntry(entries[k]);
    const bool known =
        track.Track >= 1 && track.Track <= MaxDiscTitles && !DiscInfo.Titles[track.Track].empty();
    track.Title = known ? DiscInfo.Titles[track.Track] : TitleOfEntry(entries[k]);
    track.TitleSource = known ? DiscInfo.TitleSources[track.Track] : "";
  }
  return log;
}

void UseDiscCodes(TRipLog &log, const TDiscCodes &codes) {
  log.Catalog = codes.Catalog;
  for (TRipLogTrack &track : log.Tracks) {
    track.Isrc = codes.IsrcOf(track.Track);
    track.PreEmphasis = codes.PreEmphasisOf(track.Track);
    track.Deemphasized = track.PreEmphasis && GlobalOptions.Deemphasis;
  }
  for (int n = 0; n <= MaxDiscTitles; ++n)
    DiscInfo.Isrcs[n] = codes.IsrcOf(n);
}

std::string ReadResultText(int32_t ripResult) {
  switch (ripResult) {
  case 0: return "Read in full, without error correction";
  case 3: return "Read failed";
  case 5: return "The file could not be created";
  case 6: return "The file could not be written in full";
  case 7: return "The file is being made by another job";
  case 8: return "Not read: a data track";
  default: return "Stopped";
  }
}
