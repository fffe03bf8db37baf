#pragma once
// The pipeline's reader and writer of each output format (OutputFormats.h), one row per format
// in the same order; the formats that a process encodes have neither.
#include "OutputFormats.h"

#include <memory>
#include <string_view>

class TAuFileIn;
class TAuFileOut;
class TVorbisTags;

struct TFormatCodec {
  TFormat Format;
  // Whether a file that starts with head is one this reader takes; null: no test of its own
  // (the WAV reader takes what no other claims).
  bool (*Holds)(std::string_view head);
  std::unique_ptr<TAuFileIn> (*MakeReader)(); // null: the pipeline reads no such file
  // A writer that keeps comments where its format has a place for them; null: no writer.
  std::unique_ptr<TAuFileOut> (*MakeWriter)(const TVorbisTags &comments);
};

const TFormatCodec &CodecOf(TFormat format);
// The codec whose reader takes a file that starts with head (a few dozen bytes are enough):
// the first whose test holds, else the WAV reader, which says why it refuses a file.
const TFormatCodec &CodecForContent(std::string_view head);
