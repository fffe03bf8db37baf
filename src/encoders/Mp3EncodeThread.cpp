#include "Mp3EncodeThread.h"

#include "Folders.h"
#include "Global.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <sys/wait.h>

namespace {

// The text of count characters from position index (counted from 1), clamped to the line.
std::string Copy(const std::string &text, int index, int count) {
  size_t from = index < 1 ? 0 : static_cast<size_t>(index - 1);
  return from >= text.size() ? std::string() : text.substr(from, count);
}

std::string Trim(const std::string &text) {
  size_t first = 0, last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
    ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
    --last;
  return text.substr(first, last - first);
}

int IntegerOr(const std::string &text, int fallback) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty() ? value
                                                                                   : fallback;
}

// Only lame's own progress lines set the column: the file names it prints before them may
// hold the same characters ("100% Pure.wav", "Track #1.mp3").
bool IsEncodeProgressLine(const std::string &line) {
  std::string t = Trim(line);
  return !t.empty() && std::isdigit(static_cast<unsigned char>(t[0])) &&
         line.find("%)") != std::string::npos;
}

bool IsDecodeProgressLine(const std::string &line) { return Trim(line).rfind("Frame#", 0) == 0; }

// lame's report of a write that failed ("Error writing mp3 output", "Writing LAME Tag...fatal
// error: can't update LAME-tag frame!"): lame ends with status 0 after some of them, leaving a
// short file.
bool IsLameWriteError(const std::string &line) {
  return line.find("Error writing") != std::string::npos ||
         line.find("fatal error: can't update") != std::string::npos;
}

} // namespace

std::optional<TLameProgress> ParseLameEncodeLine(const std::string &line, int &ProgressColumn) {
  if (!IsEncodeProgressLine(line))
    return std::nullopt;
  if (ProgressColumn == 0)
    ProgressColumn = static_cast<int>(line.find('%')) + 1 - 3;
  if (ProgressColumn == 0)
    return std::nullopt;
  std::string field = Trim(Copy(line, ProgressColumn, 3));
  if (!field.empty() && field[0] == '(')
    field.erase(0, 1);
  int percent = IntegerOr(Trim(field), 0);
  if (percent < 1 || percent > 100)
    return std::nullopt;
  return TLameProgress{percent, Trim(Copy(line, 21, 8)), Trim(Copy(line, 30, 8))};
}

std::optional<TLameProgress> ParseLameDecodeLine(const std::string &line, int &ProgressColumn,
                                                 int seconds) {
  if (!IsDecodeProgressLine(line))
    return std::nullopt;
  if (ProgressColumn == 0)
    ProgressColumn = static_cast<int>(line.find('#')) + 1 + 1;
  int frame = IntegerOr(Trim(Copy(line, ProgressColumn, 6)), -1);
  int total = IntegerOr(Trim(Copy(line, ProgressColumn + 7, 6)), -1);
  if (frame == -1 || total == -1 || total == 0)
    return std::nullopt;
  int percent = static_cast<int>(static_cast<long long>(frame) * 100 / total);
  if (percent < 1 || percent > 100)
    return std::nullopt;
  int estimate = static_cast<int>(std::nearbyint(seconds * 100.0 / percent));
  return TLameProgress{percent, MinutesSeconds(seconds), MinutesSeconds(estimate)};
}

TMp3EncodeProcess::TMp3EncodeProcess() { ProgramFolders = {plat::ProgramFolder()}; }

TCommandLine TMp3EncodeProcess::BuildCommandLine() {
  TCommandLine c;
  c.Program = "lame";
  if (!IsEncode) {
    c.Add("--decode");
    c.AddQuoted(InputFile);
    c.AddQuoted(WrittenFile());
    return c;
  }
  const TEncoderSettings &o = Settings;
  c.Add("-b");
  c.Add(std::to_string(o.BitRate));
  static const char *const stereoModes[] = {"s", "j", "f", "d", "m"};
  if (o.StereoMode >= 0 && o.StereoMode <= 4) {
    c.Add("-m");
    c.Add(stereoModes[o.StereoMode]);
  }
  if (o.MpegQuality == 1)
    c.Add("-f");
  else if (o.MpegQuality == 2)
    c.Add("-h");
  if (o.IsSelectVBR) {
    c.Add("-V");
    c.Add(std::to_string(o.VBRQuality));
    c.Add("-B");
    c.Add(std::to_string(o.MaxBitRate));
    if (o.IsVBRHead)
      c.Add("-t");
  }
  c.AddQuoted(InputFile);
  c.AddQuoted(WrittenFile());
  return c;
}

bool TMp3EncodeProcess::PrepareStart() {
  FWriteFailed = false;
  return true;
}

void TMp3EncodeProcess::ParseLine(const std::string &line) {
  if (IsLameWriteError(line)) {
    FWriteFailed = true;
    return;
  }
  std::optional<TLameProgress> p =
      IsEncode ? ParseLameEncodeLine(line, ProgressColumn)
               : ParseLameDecodeLine(line, ProgressColumn, SecondsRunning());
  if (p)
    PostProgress(p->Percent, p->Elapsed, p->Estimated);
}

void TMp3EncodeProcess::DeliverEndNotice(TEncodeEnd SubCode, const std::string &Text) {
  plat::PostMessage(NotifyWindow, WM_JOBINFO, 0,
                    std::make_unique<TProcessInfo>(TProcessInfo{EndCode(), Text, "", SubCode}));
}

void TMp3EncodeProcess::ChildEnded(int status) {
  EndNotice(WIFEXITED(status) && WEXITSTATUS(status) == 0 && !FWriteFailed ? encodeMade
                                                                           : encodeFailed);
}
