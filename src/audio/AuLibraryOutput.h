#pragma once
// An output that feeds an encoder library from the pipeline: each run opens the file, checks
// the input's sample format, sets the library up, hands it the input block by block as
// interleaved little-endian PCM and lets it finish the file when the input ends. A concrete
// output says only how its library opens, encodes, finishes and is given up.
#include "AuClasses.h"
#include "AuTags.h"

#include <cstdint>
#include <string>

class TAuLibraryOutput : public TAuFileOut {
public:
  // The comments of the next run, copied in; entries with empty values are not written.
  // Cleared after every run.
  TVorbisTags &Comments() { return FComments; }
  void SetComments(const TVorbisTags &tags) { FComments.Assign(tags); }

protected:
  // formatName names the format in the refusal of a sample format the library cannot take.
  TAuLibraryOutput(TComponent *owner, std::string formatName);

  void Prepare() final;
  bool DoOutput(bool abort) final;
  void Done() final;

  // Sets the library up for FChannels channels of FBytesPerSample bytes at the input's rate,
  // with FComments; the file stream is open.
  virtual void OpenEncoder() = 0;
  // Encodes frames whole frames of interleaved samples.
  virtual void Encode(const std::uint8_t *data, std::uint32_t frames) = 0;
  // Writes what the library still holds at the end of the input.
  virtual void FinishEncoder() = 0;
  // Gives the library up (also after a run that failed half-way), before the stream goes.
  virtual void CloseEncoder() = 0;

  TVorbisTags FComments;
  // The format of the run in progress.
  std::uint32_t FBytesPerSample = 0;
  std::uint32_t FChannels = 0;

private:
  std::string FFormatName;
};
