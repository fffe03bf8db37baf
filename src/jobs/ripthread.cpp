#include "ripthread.h"

#include "AudioDisc.h"
#include "DeemphasizeWav.h"
#include "EncodeProcess.h"
#include "Folders.h"
#include "Global.h"
#include "PartFile.h"
#include "Streams.h"
#include "akrip32.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void PostJobEvent(TWindowHandle window, int32_t code, int32_t subCode) {
  auto info = std::make_unique<TProcessInfo>();
  info->Code = code;
  info->SubCode = subCode;
  plat::PostMessage(window, WM_JOBINFO, 0, std::move(info));
}

int64_t PercentOf(int64_t done, int64_t total) { return total > 0 ? done * 100 / total : 100; }

// Progress with the time used since start and the whole time it projects.
void PostProgress(TWindowHandle window, int32_t percent, Clock::time_point start) {
  auto info = std::make_unique<TProcessInfo>();
  info->Code = percent;
  if (percent > 0) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const auto elapsed = static_cast<int>(std::nearbyint(seconds));
    info->Elapsed = MinutesSeconds(elapsed);
    info->Estimated = MinutesSeconds(static_cast<int>(std::nearbyint(elapsed * 100.0 / percent)));
  }
  plat::PostMessage(window, WM_JOBINFO, 0, std::move(info));
}

// Absolute frame address of a table-of-contents entry in MSF form.
int64_t Frames(const TTocEntry &entry) {
  return entry.Address[1] * 4500 + entry.Address[2] * 75 + entry.Address[3];
}

// Scales the whole 16-bit little-endian samples of a block in place; results beyond 16 bits
// are held at the limits instead of wrapping round into noise.
void ScaleSamples(uint8_t *data, size_t bytes, float factor) {
  for (size_t i = 0; i + 1 < bytes; i += 2) {
    const auto sample = static_cast<int16_t>(data[i] | data[i + 1] << 8);
    const float scaled = std::nearbyint(static_cast<float>(sample) * factor);
    const auto value = static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    data[i] = static_cast<uint8_t>(value);
    data[i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(value) >> 8);
  }
}

// Copies the header of in unchanged and the samples after it scaled into out; false when a
// read or a write falls short.
bool CopyScaled(TStream &in, TStream &out, float factor, TWindowHandle window) {
  const int64_t size = in.Size();
  const auto startTime = Clock::now();
  std::vector<uint8_t> block(2048);
  if (in.Read(block.data(), WavHeaderSize) != WavHeaderSize ||
      out.Write(block.data(), WavHeaderSize) != WavHeaderSize)
    return false;
  int64_t processed = WavHeaderSize;
  int32_t shown = -1;
  for (;;) {
    // One report per percent: a message for every 2 KB would flood the window.
    if (const auto percent = static_cast<int32_t>(PercentOf(processed, size)); percent != shown)
      PostProgress(window, shown = percent, startTime);
    const int64_t n = in.Read(block.data(), static_cast<int64_t>(block.size()));
    if (n <= 0)
      return processed == size;
    ScaleSamples(block.data(), static_cast<size_t>(n), factor);
    if (out.Write(block.data(), n) != n)
      return false;
    processed += n;
  }
}

} // namespace

bool TrackSectors(const TToc &toc, int trackNo, uint32_t &start, uint32_t &length) {
  const int tracks = toc.LastTrack - toc.FirstTrack + 1;
  if (trackNo == 0 && toc.FirstTrack == 1 && tracks >= 1 && Frames(toc.Entries[0]) > 150) {
    start = 0;
    length = static_cast<uint32_t>(Frames(toc.Entries[0]) - 150);
    return true;
  }
  const int entry = trackNo - toc.FirstTrack;
  if (entry < 0 || entry >= tracks || tracks > MaxTocEntries - 1)
    return false;
  // The addresses count the two seconds before sector 0, so a first track with a pregap
  // still starts where the table says.
  const int64_t first = Frames(toc.Entries[entry]) - 150;
  const int64_t next = Frames(toc.Entries[entry + 1]) - 150;
  if (first < 0 || next < first)
    return false;
  start = static_cast<uint32_t>(first);
  length = static_cast<uint32_t>(next - first);
  return true;
}

TRipSettings RipSettings() {
  const TGlobalOptions &o = GlobalOptions;
  return {o.OutputFolder, o.EnableRipTime ? std::max(o.RipTime, 0) : -1, o.IsNormalize,
          o.NormalizePercent, o.Deemphasis};
}

TCDRipThread::TCDRipThread(int trackNo, const std::string &fileTitle, const TRipSettings &settings)
    : TrackNo(trackNo), FileTitle(fileTitle), Settings(settings) {}

TCDRipThread::~TCDRipThread() { WaitFor(); }

void TCDRipThread::WaitFor() {
  if (FThread.joinable())
    FThread.join();
}

void TCDRipThread::Resume() {
  if (!FThread.joinable())
    FThread = std::thread([this] { Execute(); });
}

std::string TCDRipThread::WavFileName() const {
  return plat::IncludeTrailingSlash(Settings.OutputFolder) + FileTitle + ".wav";
}

void TCDRipThread::Execute() {
  if (ModifyCDParms(CDHandle, CDParmMsfAddresses, 1) == 0) {
    plat::PostMessage(NotifyWindow, WM_RIPERROR, 0, RipErrorMsf);
    return;
  }
  TToc toc{};
  if (ReadTOC(CDHandle, &toc) != 1) {
    plat::PostMessage(NotifyWindow, WM_RIPERROR, 0, RipErrorToc);
    return;
  }
  uint32_t start = 0, length = 0;
  if (!TrackSectors(toc, TrackNo, start, length)) {
    PostJobEvent(NotifyWindow, JobRipEnded, ripReadFailed);
    return;
  }
  // Position 0 is the hidden track, which has track 1's entry and is in no database.
  const int position = TrackNo - toc.FirstTrack + 1;
  const uint8_t control = toc.Entries[std::max(position, 1) - 1].AdrControl;
  if (control & TocControlData) {
    PostJobEvent(NotifyWindow, JobRipEnded, ripDataTrack);
    return;
  }
  FDeemphasize = Settings.Deemphasis && (control & TocControlPreEmphasis);
  const uint32_t trackLength = length;
  if (Settings.RipSeconds >= 0)
    length = std::min<int64_t>(length, Settings.RipSeconds * int64_t{75});
  FChecksum.emplace(position == 0
                        ? accuraterip::TTrackChecksum(uint64_t{trackLength} * 588, false, false)
                        : accuraterip::TrackChecksum(cd::VerificationToc(toc), position));
  const int32_t result = RipTrack(start, length);
  FSums = FChecksum->Sums();
  FChecksum.reset();
  FWholeTrack = result == ripDone && length == trackLength;
  if (result >= 0)
    PostJobEvent(NotifyWindow, JobRipEnded, result);
}

TRipResult TCDRipThread::ReadSectors(uint32_t start, uint32_t count) {
  // Anything short of the whole block is a failed read, never a silently short track.
  if (count > RipBlockSectors ||
      ReadCDAudioSectors(CDHandle, start, count, FPending[FFilling].get() + FPendingBytes) != 1)
    return ripReadFailed;
  FPendingBytes += size_t{count} * CDSectorSize;
  return FPendingBytes >= RipWriteBytes ? WritePending() : ripDone;
}

TRipResult TCDRipThread::WritePending() {
  const auto bytes = static_cast<int64_t>(FPendingBytes);
  const uint8_t *gathered = FPending[FFilling].get();
  // Summed while it is written and the next blocks are read into the other buffer, which the
  // hand-over has freed.
  FChecksum->Add(gathered, FPendingBytes);
  FPendingBytes = 0;
  FFilling ^= 1;
  return OutStream->Write(gathered, bytes) == bytes ? ripDone : ripWriteFailed;
}

int32_t TCDRipThread::RipTrack(uint32_t start, uint32_t length) {
  // Ripped under the part name: a track that ends short (a stop, a bad sector, a full disk)
  // never shows as a WAV file of the title.
  plat::TPartFile part(WavFileName());
  if (!part.Claimed())
    return part.InUse() ? ripFileInUse : ripCannotCreate;
  try {
    OutStream = std::make_unique<TFileStream>(part.PartName(), fmCreate);
  } catch (const std::exception &) {
    return ripCannotCreate;
  }
  const auto startTime = Clock::now();
  TRipResult result = OutStream->Write(CDWavHeader(0).data(), WavHeaderSize) == WavHeaderSize
                          ? ripDone
                          : ripWriteFailed;
  if (length == 0)
    PostProgress(NotifyWindow, 100, startTime);
  for (uint32_t done = 0; done < length && result == ripDone && !StopRequested;) {
    const uint32_t n = std::min(RipBlockSectors, length - done);
    result = ReadSectors(start + done, n);
    if (result != ripDone)
      break;
    done += n;
    PostProgress(NotifyWindow, static_cast<int32_t>(PercentOf(done, length)), startTime);
  }
  if (result == ripDone)
    result = WritePending();
  if (result == ripDone) {
    const auto header = CDWavHeader(static_cast<uint32_t>(OutStream->Size() - WavHeaderSize));
    if (OutStream->Seek(0, TSeekOrigin::soBeginning) != 0 ||
        OutStream->Write(header.data(), WavHeaderSize) != WavHeaderSize)
      result = ripWriteFailed;
  }
  OutStream.reset();
  if (result != ripDone)
    return result;
  if (StopRequested)
    return -1;
  // A failed filter or volume step still leaves the whole track, as read.
  const bool filtered = !FDeemphasize || DeemphasizeWav(part.PartName());
  const bool scaled =
      !Settings.Normalize || ScaleVolume(part.PartName(), Settings.NormalizePercent, NotifyWindow);
  if (!part.Complete())
    return ripCannotCreate;
  return filtered && scaled ? ripDone : ripReadFailed;
}

bool TCDRipThread::ScaleVolume(const std::string &fileName, int percent, TWindowHandle window) {
  PostJobEvent(window, JobNormalizing, 0);
  const std::string temp = std::filesystem::path(fileName).replace_extension(".nor").string();
  std::unique_ptr<TFileStream> in, out;
  try {
    in = std::make_unique<TFileStream>(fileName, fmOpenRead | fmShareDenyWrite);
    out = std::make_unique<TFileStream>(temp, fmCreate);
  } catch (const std::exception &) {
    return false;
  }
  const bool copied = CopyScaled(*in, *out, static_cast<float>(percent) / 100.0f, window);
  in.reset();
  out.reset();
  return ReplaceWithCopy(copied, temp, fileName);
}
