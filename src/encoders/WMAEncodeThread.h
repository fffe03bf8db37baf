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
  // Uses EncoderPath; a WMABitRate outside the table takes 8. Author and description go as
  // one argument each, whatever blanks they hold.
  TCommandLine BuildCommandLine() override;
  int32_t EndCode() const override { return JobWmaEnded; }
  // Only mode 1 replaces a WMA file without asking.
  bool OverwriteWithoutAsking() const override { return OverwriteMode == 1; }
  // "Can not find WMA encoder,please contact with ...!" when there is no WM8EUTIL.
  std::string MissingEncoderText() const override;

  // Set by Start to the encoder found.
  std::string EncoderPath;

protected:
  // Finds the encoder; without one, ends the run with encodeDeclined.
  bool PrepareStart() override;
  void ParseLine(const std::string &line) override;
  // Sent.
  void DeliverEndNotice(TEncodeEnd SubCode, const std::string &Text) override;
  // encodeMade; an encoder that failed without printing its error line gives encodeError too.
  void ChildEnded(int status) override;
  TEncodeEnd FailedSubCode() const override { return encodeError; }
};
