#include "MciCDAudio.h"

#include "Mci.h"
#include "SdlAudio.h"

#include <SDL2/SDL.h>
#include <cdio/cdio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace plat::cdaudio {

namespace {

using namespace std::chrono_literals;

constexpr int LeadIn = 150;          // sectors before the first track's start in absolute time
constexpr int ChunkSectors = 13;     // about 0.17 s read at a time
constexpr Uint32 QueueAhead = 88200; // half a second queued on the card
constexpr Uint16 Period = 4096;      // frames the card takes at a time

// One play: the reader thread queues the range on its SDL device.
struct TPlay {
  SDL_AudioDeviceID Device = 0;
  std::thread Reader;
  std::atomic<bool> StopFlag{false};
  std::atomic<bool> Paused{false};
  std::atomic<bool> Ended{false}; // the range is played (or failed)
};

std::mutex gLock;
CdIo_t *gDisc = nullptr;
std::unique_ptr<TPlay> gPlay;

std::string Msf(lsn_t lsn) {
  const int frames = lsn + LeadIn;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / (60 * 75), frames / 75 % 60,
                frames % 75);
  return text;
}

// -1 when the text is not "mm:ss:ff".
lsn_t Lsn(const std::string &msf) {
  int m = 0, s = 0, f = 0;
  char end = 0;
  if (std::sscanf(msf.c_str(), "%d:%d:%d%c", &m, &s, &f, &end) != 3 || m < 0 || s < 0 || s > 59 ||
      f < 0 || f > 74)
    return -1;
  const lsn_t lsn = (m * 60 + s) * 75 + f - LeadIn;
  return lsn < 0 ? -1 : lsn;
}

bool IsAudio(CdIo_t *disc, track_t track) {
  return cdio_get_track_format(disc, track) == TRACK_FORMAT_AUDIO;
}

// Where playing from sector from must end: the first data track after it, else the lead-out.
// A data track's sectors played as audio are full-scale noise.
lsn_t AudioEnd(CdIo_t *disc, lsn_t from) {
  const track_t first = cdio_get_first_track_num(disc);
  const track_t count = cdio_get_num_tracks(disc);
  for (track_t t = first; first != CDIO_INVALID_TRACK && t < first + count; ++t)
    if (const lsn_t start = cdio_get_track_lsn(disc, t); start > from && !IsAudio(disc, t))
      return start;
  return cdio_get_track_lsn(disc, CDIO_CDROM_LEADOUT_TRACK);
}

void ReadRange(TPlay &play, CdIo_t *disc, lsn_t from, lsn_t to, TWindowHandle notify) {
  std::vector<std::uint8_t> buffer(ChunkSectors * CDIO_CD_FRAMESIZE_RAW);
  bool failed = false;
  for (lsn_t lsn = from; lsn < to && !play.StopFlag;) {
    if (SDL_GetQueuedAudioSize(play.Device) > QueueAhead) {
      std::this_thread::sleep_for(10ms);
      continue;
    }
    const auto count = static_cast<std::uint32_t>(std::min<lsn_t>(ChunkSectors, to - lsn));
    if (cdio_read_audio_sectors(disc, buffer.data(), lsn, count) != DRIVER_OP_SUCCESS) {
      failed = true;
      break;
    }
    SDL_QueueAudio(play.Device, buffer.data(), count * CDIO_CD_FRAMESIZE_RAW);
    lsn += count;
  }
  while (!failed && !play.StopFlag && SDL_GetQueuedAudioSize(play.Device) > 0)
    std::this_thread::sleep_for(10ms);
  // The last period taken from the queue is still on its way to the card.
  if (!failed && !play.StopFlag)
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * 1000 * Period / 44100));
  play.Ended = true;
  if (!play.StopFlag && notify != 0)
    PostMessage(notify, MM_MCINOTIFY, failed ? MCI_NOTIFY_FAILURE : MCI_NOTIFY_SUCCESSFUL, 0);
}

// With gLock held.
void EndPlay() {
  if (!gPlay)
    return;
  gPlay->StopFlag = true;
  gPlay->Reader.join();
  SDL_CloseAudioDevice(gPlay->Device);
  gPlay.reset();
  StopSdlAudio();
}

} // namespace

int Open() {
  std::lock_guard<std::mutex> lock(gLock);
  if (gDisc)
    return 0;
  const std::string device = CDAudioDevice();
  if (device.empty())
    return MciErrNoDevice;
  gDisc = cdio_open(device.c_str(), DRIVER_UNKNOWN);
  return gDisc ? 0 : MciErrHardware;
}

int Close() {
  std::lock_guard<std::mutex> lock(gLock);
  EndPlay();
  if (gDisc)
    cdio_destroy(gDisc);
  gDisc = nullptr;
  return 0;
}

// Whether the open disc has the track; 0, or the error a status command answers. Called with
// gLock held.
int CheckTrack(int track) {
  if (!gDisc)
    return MciErrNoDevice;
  const track_t first = cdio_get_first_track_num(gDisc);
  const track_t count = cdio_get_num_tracks(gDisc);
  if (first == CDIO_INVALID_TRACK || track < first || track >= first + count)
    return MciErrOutOfRange;
  return 0;
}

int TrackPosition(int track, std::string &position) {
  std::lock_guard<std::mutex> lock(gLock);
  if (const int error = CheckTrack(track))
    return error;
  position = Msf(cdio_get_track_lsn(gDisc, static_cast<track_t>(track)));
  return 0;
}

int TrackType(int track, std::string &type) {
  std::lock_guard<std::mutex> lock(gLock);
  if (const int error = CheckTrack(track))
    return error;
  type = IsAudio(gDisc, static_cast<track_t>(track)) ? "audio" : "other";
  return 0;
}

int DiscLength(std::string &length) {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gDisc)
    return MciErrNoDevice;
  length = Msf(cdio_get_track_lsn(gDisc, CDIO_CDROM_LEADOUT_TRACK));
  return 0;
}

int Play(const std::string &from, const std::string &to, TWindowHandle notify) {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gDisc)
    return MciErrNoDevice;
  const lsn_t end = cdio_get_track_lsn(gDisc, CDIO_CDROM_LEADOUT_TRACK);
  const lsn_t start = Lsn(from);
  lsn_t stop = to.empty() ? end : Lsn(to);
  if (start < 0 || stop < 0 || start > stop || stop > end)
    return MciErrOutOfRange;
  // libcdio places the pregap before track 1 (where a hidden track lies) in track 0.
  track_t track = cdio_get_track(gDisc, start);
  if (track == 0)
    track = cdio_get_first_track_num(gDisc);
  if (start < end && (track == CDIO_INVALID_TRACK || !IsAudio(gDisc, track)))
    return MciErrNotAudio;
  stop = std::min(stop, AudioEnd(gDisc, start));
  EndPlay();
  if (!StartSdlAudio())
    return MciErrHardware;
  SDL_AudioSpec want{};
  want.freq = 44100;
  want.format = AUDIO_S16LSB; // the disc's byte order
  want.channels = 2;
  want.samples = Period;
  auto play = std::make_unique<TPlay>();
  play->Device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (play->Device == 0) {
    StopSdlAudio();
    return MciErrHardware;
  }
  SDL_PauseAudioDevice(play->Device, 0);
  play->Reader = std::thread(ReadRange, std::ref(*play), gDisc, start, stop, notify);
  gPlay = std::move(play);
  return 0;
}

int Pause() {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gPlay)
    return MciErrNoDevice;
  gPlay->Paused = true;
  SDL_PauseAudioDevice(gPlay->Device, 1);
  return 0;
}

int Resume() {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gPlay)
    return MciErrNoDevice;
  gPlay->Paused = false;
  SDL_PauseAudioDevice(gPlay->Device, 0);
  return 0;
}

int Stop() {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gDisc)
    return MciErrNoDevice;
  EndPlay();
  return 0;
}

std::string Mode() {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gDisc)
    return "not ready";
  if (!gPlay || gPlay->Ended)
    return "stopped";
  return gPlay->Paused ? "paused" : "playing";
}

} // namespace plat::cdaudio
