#pragma once
// WMA encoding through the WM8EUTIL program.
#include "EncodeProcess.h"

#include <array>
#include <string>

// The WMA profiles, selected by the setting WMABitRate.
struct TWmaProfile {
  const char *ShownAs;
  const char *Setting; // "-a_setting": kbit/s, whole kHz and channels joined by '_'
};
extern const std::array<TWmaProfile, 33> WmaProfiles;

class TWMAEncodeProcess : public TEncodeProcess {
public:
  // WM8EUTIL is looked for in the program's folder, then the installed helper folder, then PATH.
  TWMAEncodeProcess();
  // Uses EncoderPath; WMABitRate outside the table is reset to 8. Author and description go
  // as one argument each, whatever blanks they hold.
  TCommandLine BuildCommandLine() override;

  // Set by Start to the encoder found.
  std::string EncoderPath;

protected:
  bool OverwriteWithoutAsking() const override { return OverwriteMode == 1; }
  // Finds the encoder; without one, tells the user and ends the run with SubCode 0.
  bool PrepareStart() override;
  void ParseLine(const std::string &line) override;
  // Sent: Code 5000.
  void DeliverEndNotice(int SubCode, const std::string &Text) override;
  // SubCode 2; an encoder that failed without printing its error line gives SubCode 8 too.
  void ChildEnded(int status) override;
  int FailedSubCode() const override { return 8; }
};
