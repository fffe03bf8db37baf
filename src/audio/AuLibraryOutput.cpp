#include "AuLibraryOutput.h"

#include <utility>

namespace {

constexpr std::uint32_t InputBlockBytes = 24576;

} // namespace

TAuLibraryOutput::TAuLibraryOutput(TComponent *owner, std::string formatName)
    : TAuFileOut(owner), FFormatName(std::move(formatName)) {}

void TAuLibraryOutput::Prepare() {
  OpenFileStream();
  FInput->Init();
  FChannels = FInput->Channels();
  FBytesPerSample = (FInput->BitsPerSample() & 0x7F) / 8; // without a source's marker bit
  if (FBytesPerSample < 1 || FBytesPerSample > 4 || FChannels < 1 || FChannels > 8)
    throw EAuException("Cannot encode this sample format into " + FFormatName + ".");
  OpenEncoder();
}

bool TAuLibraryOutput::DoOutput(bool abort) {
  if (!FCanOutput)
    return true;
  if (abort)
    return false;
  std::uint8_t *data = nullptr;
  std::uint32_t bytes = InputBlockBytes;
  FInput->GetData(data, bytes);
  if (bytes == 0) {
    FinishEncoder();
    return false;
  }
  Encode(data, bytes / (FChannels * FBytesPerSample));
  return true;
}

void TAuLibraryOutput::Done() {
  CloseEncoder();
  FreeOwnStream();
  FComments.Clear();
  FInput->Flush();
}
