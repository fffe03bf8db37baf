#include "DeemphasizeWav.h"

#include "AuWaveIn.h"
#include "CDWav.h"
#include "Deemphasis.h"
#include "Streams.h"

#include <filesystem>
#include <memory>

namespace {

// Pulls the whole filtered audio of step into out after a header; false when anything falls
// short.
bool CopyFiltered(TDeemphasis &step, TStream &out) {
  const int64_t size = step.Size();
  if (size < 0 || size > UINT32_MAX - WavHeaderSize)
    return false;
  const auto header = CDWavHeader(static_cast<uint32_t>(size));
  if (out.Write(header.data(), WavHeaderSize) != WavHeaderSize)
    return false;
  int64_t written = 0;
  for (;;) {
    uint8_t *data = nullptr;
    uint32_t bytes = 1 << 16;
    step.GetData(data, bytes);
    if (bytes == 0)
      return written == size;
    if (out.Write(data, bytes) != bytes)
      return false;
    written += bytes;
  }
}

} // namespace

bool DeemphasizeWav(const std::string &fileName) {
  const std::string temp = std::filesystem::path(fileName).replace_extension(".dem").string();
  bool copied = false;
  try {
    TWaveIn in;
    in.SetFileName(fileName);
    TDeemphasis step;
    step.SetInput(&in);
    step.Init();
    {
      TFileStream out(temp, fmCreate);
      copied = CopyFiltered(step, out);
    }
    step.Flush();
  } catch (const std::exception &) {
    copied = false;
  }
  return ReplaceWithCopy(copied, temp, fileName);
}
