#pragma once
// MP3 encoding and decoding through the lame program.
#include "EncodeProcess.h"

#include <optional>
#include <string>

// One progress report read from lame's console output.
struct TLameProgress {
  int Percent = 0;
  std::string Elapsed, Estimated;
};

// An encoding progress line ("   180/9031   ( 2%)|    0:00/    0:05| ..."): the percent from
// the three columns that end just before the '%' of the first progress line (ProgressColumn,
// counted from 1; 0 until that line is seen), the times used and estimated from columns 21
// and 30. Reports only percents 1 to 100.
std::optional<TLameProgress> ParseLameEncodeLine(const std::string &line, int &ProgressColumn);

// A decoding progress line ("Frame#  1234/9031 ..."), with seconds the time used so far.
// Reports only percents 1 to 100, with the times in "MM:SS".
std::optional<TLameProgress> ParseLameDecodeLine(const std::string &line, int &ProgressColumn,
                                                 int seconds);

class TMp3EncodeProcess : public TEncodeProcess {
public:
  // lame is looked for in the program's folder, then on PATH.
  TMp3EncodeProcess();
  TCommandLine BuildCommandLine() override;
  int32_t EndCode() const override { return JobMp3Ended; }
  bool OverwriteWithoutAsking() const override { return OverwriteMode == 1 || OverwriteMode == 4; }

protected:
  bool PrepareStart() override;
  void ParseLine(const std::string &line) override;
  // Posted.
  void DeliverEndNotice(TEncodeEnd SubCode, const std::string &Text) override;
  // encodeMade when lame succeeded, encodeFailed when it failed or reported a failed write,
  // so a short file is never taken as done.
  void ChildEnded(int status) override;
  TEncodeEnd FailedSubCode() const override { return encodeFailed; }

private:
  bool FWriteFailed = false; // lame reported a failed write in this run
};
