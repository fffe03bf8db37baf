// Bytes as an MP3 file's end: its ID3v1 tag read.
#include "FuzzInput.h"
#include "Id3Tag.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  Tid3tag tag;
  tag.ReadTag(FileOf(data, size, ".mp3"));
  return 0;
}
