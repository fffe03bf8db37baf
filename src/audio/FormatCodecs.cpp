#include "FormatCodecs.h"

#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "AuWaveIn.h"
#include "AuWaveOut.h"

namespace {

template <class Reader> std::unique_ptr<TAuFileIn> Read() { return std::make_unique<Reader>(); }

template <class Writer> std::unique_ptr<TAuFileOut> Write(const TVorbisTags &comments) {
  auto writer = std::make_unique<Writer>();
  writer->SetComments(comments);
  return writer;
}

std::unique_ptr<TAuFileOut> WriteWave(const TVorbisTags &) { return std::make_unique<TWaveOut>(); }

// An Ogg Opus stream starts with its identification packet, "OpusHead".
bool IsOggOpus(std::string_view head) {
  return head.starts_with("OggS") && head.find("OpusHead") != std::string_view::npos;
}

constexpr TFormatCodec Codecs[] = {
    {fmtMP3, nullptr, nullptr, nullptr},
    {fmtWAV, nullptr, Read<TWaveIn>, WriteWave},
    {fmtOGG, [](std::string_view head) { return head.starts_with("OggS") && !IsOggOpus(head); },
     Read<TVorbisIn>, Write<TVorbisOut>},
    {fmtWMA, nullptr, nullptr, nullptr},
    {fmtFLAC, [](std::string_view head) { return head.starts_with("fLaC"); }, Read<TFLACIn>,
     Write<TFLACOut>},
    {fmtOpus, IsOggOpus, Read<TOpusIn>, Write<TOpusOut>},
};

static_assert(std::size(Codecs) == OutputFormatCount, "one codec row per output format");
static_assert(
    [] {
      for (std::size_t i = 0; i < OutputFormatCount; ++i)
        if (Codecs[i].Format != OutputFormats[i].Number)
          return false;
      return true;
    }(),
    "the codec rows are in the order of the output formats");

} // namespace

const TFormatCodec &CodecOf(TFormat format) { return Codecs[format]; }

const TFormatCodec &CodecForContent(std::string_view head) {
  for (const TFormatCodec &codec : Codecs)
    if (codec.Holds && codec.Holds(head))
      return codec;
  return CodecOf(fmtWAV);
}
