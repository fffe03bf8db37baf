// Bytes as the lines an encoder prints: lame's encoding and decoding progress, and WM8EUTIL's.
#include "Mp3EncodeThread.h"
#include "WMAEncodeThread.h"

#include <sstream>

namespace {
struct TWmaLines : TWMAEncodeProcess {
  using TWMAEncodeProcess::ParseLine;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::istringstream lines(std::string(reinterpret_cast<const char *>(data), size));
  int encodeColumn = 0, decodeColumn = 0;
  TWmaLines wma;
  for (std::string line; std::getline(lines, line);) {
    ParseLameEncodeLine(line, encodeColumn);
    ParseLameDecodeLine(line, decodeColumn, 7);
    wma.ParseLine(line);
  }
  return 0;
}
