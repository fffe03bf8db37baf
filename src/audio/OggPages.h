#pragma once
// The layout of an Ogg file, found by walking its page headers: the links of a chained file
// (streams one after another, as concatenated files make) and whether the file ends where its
// last stream does. The decoders take a file cut short for a complete but shorter one, and a
// chain whose links share a serial number for one stream, so both are found here.
#include "Streams.h"

#include <cstdint>
#include <string>
#include <vector>

struct TOggLink {
  std::uint32_t Serial = 0;
  std::string FirstPacket;      // the start of the identification packet (64 bytes at most)
  std::int64_t LastGranule = 0; // the end position of the link's last page that gives one
};

struct TOggLayout {
  std::vector<TOggLink> Links;
  // The last whole page ends a stream and no page is cut off after it.
  bool EndsWhole = false;
  // Two links in a row with one serial number: told apart only by their start pages.
  bool SerialRepeats = false;
};

// Walks the pages of stream from its start to its end or the first bytes that are no page;
// the stream is left at its start. A stream that cannot seek gives an empty layout.
TOggLayout WalkOggPages(TStream &stream);

// The sample rate and channel count of a Vorbis identification packet; false for any other.
bool VorbisIdentification(const std::string &packet, std::uint32_t &rate, std::uint32_t &channels);
