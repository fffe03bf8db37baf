#include "SoundFiles.h"

#include "AuClasses.h"
#include "FormatCodecs.h"
#include "Language.h"
#include "Text.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

std::string Seconds(std::int64_t bytes, std::int64_t bytesPerSecond) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", double(bytes) / double(bytesPerSecond));
  return text;
}

} // namespace

std::unique_ptr<TAuFileIn> OpenSoundFile(const std::string &name) {
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec))
    throw EAuException(plat::SysErrorMessage(EISDIR));
  std::ifstream file(name, std::ios::binary);
  if (!file)
    throw EAuException(plat::SysErrorMessage(errno));
  // Long enough for an Ogg page's header and the start of the packet it holds.
  char start[64] = {};
  file.read(start, sizeof start);
  const std::string_view head(start, static_cast<std::size_t>(file.gcount()));
  if (head.empty())
    throw EAuException("the file is empty");
  std::unique_ptr<TAuFileIn> input = CodecForContent(head).MakeReader();
  input->SetFileName(name);
  input->SampleRate(); // opens the file, raising the reader's refusal
  if (!input->Valid() && !input->Refusal().empty())
    throw EAuException(input->Refusal());
  if (!input->Valid())
    throw EAuException(head.starts_with("RIFF") ? "not a WAV file that can be read"
                                                : "not a WAV, Ogg Vorbis, FLAC or Opus file");
  return input;
}

std::int64_t BytesPerSecond(TAuFileIn &input) {
  return std::int64_t(input.SampleRate()) * input.Channels() * (input.BitsPerSample() / 8);
}

std::string CutShortText(const TAuFileIn &input, std::int64_t bytesPerSecond) {
  const std::int64_t announced = input.AnnouncedSize();
  const std::int64_t held = input.Position();
  if (bytesPerSecond <= 0)
    return "";
  if (announced >= 0 && held < announced)
    return GetLanText(
        "RES_Cut_Short", "%s is cut short: it holds %s s of the %s s its header announces",
        {input.FileName(), Seconds(held, bytesPerSecond), Seconds(announced, bytesPerSecond)});
  if (input.EndMissing())
    return GetLanText("RES_Cut_Short_No_End",
                      "%s is cut short: it holds %s s and its stream has no end",
                      {input.FileName(), Seconds(held, bytesPerSecond)});
  return "";
}

std::string NoAudioText(const TAuFileIn &input, std::int64_t bytesPerSecond) {
  const std::string cut = CutShortText(input, bytesPerSecond);
  return !cut.empty() ? cut : GetLanText("RES_No_Audio", "%s holds no audio", {input.FileName()});
}
