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

protected:
  bool OverwriteWithoutAsking() const override { return OverwriteMode == 1 || OverwriteMode == 4; }
  bool PrepareStart() override;
  void ParseLine(const std::string &line) override;
  // Posted: Code 2000.
  void DeliverEndNotice(int SubCode, const std::string &Text) override;
  // SubCode 2 when lame succeeded, 3 when it failed or reported a failed write, so a short
  // file is never taken as done.
  void ChildEnded(int status) override;
  int FailedSubCode() const override { return 3; }

private:
  bool FWriteFailed = false; // lame reported a failed write in this run
};
