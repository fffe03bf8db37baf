#include "OggPages.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int PageHeaderBytes = 27;
constexpr std::uint8_t FirstPageOfStream = 2, LastPageOfStream = 4;

std::uint32_t U32(const std::uint8_t *p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

TOggLayout WalkOggPages(TStream &stream) {
  TOggLayout layout;
  if (stream.Seek(0, TSeekOrigin::soBeginning) != 0)
    return layout;
  const std::int64_t size = stream.Size();
  std::int64_t at = 0;
  bool lastEnds = false;
  std::uint8_t head[PageHeaderBytes], lacing[255];
  while (at < size) {
    stream.Seek(at, TSeekOrigin::soBeginning);
    if (stream.Read(head, PageHeaderBytes) != PageHeaderBytes) {
      lastEnds = false; // a page cut off in its header
      break;
    }
    if (std::memcmp(head, "OggS", 4) != 0)
      break; // bytes after the last page that are no page
    const int segments = head[26];
    if (stream.Read(lacing, segments) != segments) {
      lastEnds = false;
      break;
    }
    std::int64_t body = 0;
    for (int i = 0; i < segments; ++i)
      body += lacing[i];
    const std::int64_t end = at + PageHeaderBytes + segments + body;
    if (end > size) {
      lastEnds = false; // a page cut off in its body
      break;
    }
    const std::uint32_t serial = U32(head + 14);
    if (head[5] & FirstPageOfStream) {
      TOggLink link;
      link.Serial = serial;
      link.FirstPacket.resize(static_cast<std::size_t>(std::min<std::int64_t>(body, 64)));
      stream.Read(link.FirstPacket.data(), static_cast<std::int64_t>(link.FirstPacket.size()));
      layout.SerialRepeats =
          layout.SerialRepeats || (!layout.Links.empty() && layout.Links.back().Serial == serial);
      layout.Links.push_back(std::move(link));
    }
    const auto granule =
        static_cast<std::int64_t>(U32(head + 6) | static_cast<std::uint64_t>(U32(head + 10)) << 32);
    if (!layout.Links.empty() && granule >= 0)
      layout.Links.back().LastGranule = granule;
    lastEnds = (head[5] & LastPageOfStream) != 0;
    at = end;
  }
  layout.EndsWhole = lastEnds;
  stream.Seek(0, TSeekOrigin::soBeginning);
  return layout;
}

bool VorbisIdentification(const std::string &packet, std::uint32_t &rate, std::uint32_t &channels) {
  if (packet.size() < 16 || packet.compare(0, 7, "\x01vorbis") != 0)
    return false;
  const auto *p = reinterpret_cast<const std::uint8_t *>(packet.data());
  channels = p[11];
  rate = U32(p + 12);
  return true;
}
