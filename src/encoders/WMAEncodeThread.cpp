#include "WMAEncodeThread.h"

#include "Folders.h"
#include "Global.h"

#include <algorithm>
#include <sys/wait.h>

const std::array<TWmaProfile, 33> WmaProfiles = {{
    {"48.000 kHz, 192 kbit/s, Stereo", "192_48_2"}, {"48.000 kHz, 160 kbit/s, Stereo", "160_48_2"},
    {"48.000 kHz, 128 kbit/s, Stereo", "128_48_2"}, {"44.100 kHz, 192 kbit/s, Stereo", "192_44_2"},
    {"44.100 kHz, 160 kbit/s, Stereo", "160_44_2"}, {"44.100 kHz, 128 kbit/s, Stereo", "128_44_2"},
    {"44.100 kHz, 96 kbit/s, Stereo", "96_44_2"},   {"44.100 kHz, 80 kbit/s, Stereo", "80_44_2"},
    {"44.100 kHz, 64 kbit/s, Stereo", "64_44_2"},   {"44.100 kHz, 48 kbit/s, Stereo", "48_44_2"},
    {"44.100 kHz, 32 kbit/s, Stereo", "32_44_2"},   {"44.100 kHz, 48 kbit/s, Mono", "48_44_1"},
    {"44.100 kHz, 32 kbit/s, Mono", "32_44_1"},     {"32.000 kHz, 48 kbit/s, Stereo", "48_32_2"},
    {"32.000 kHz, 40 kbit/s, Stereo", "40_32_2"},   {"32.000 kHz, 32 kbit/s, Stereo", "32_32_2"},
    {"32.000 kHz, 20 kbit/s, Mono", "20_32_1"},     {"22.050 kHz, 32 kbit/s, Stereo", "32_22_2"},
    {"22.050 kHz, 22 kbit/s, Stereo", "22_22_2"},   {"22.050 kHz, 20 kbit/s, Stereo", "20_22_2"},
    {"22.050 kHz, 20 kbit/s, Mono", "20_22_1"},     {"22.050 kHz, 16 kbit/s, Mono", "16_22_1"},
    {"16.000 kHz, 20 kbit/s, Stereo", "20_16_2"},   {"16.000 kHz, 16 kbit/s, Stereo", "16_16_2"},
    {"16.000 kHz, 16 kbit/s, Mono", "16_16_1"},     {"16.000 kHz, 12 kbit/s, Mono", "12_16_1"},
    {"16.000 kHz, 10 kbit/s, Mono", "10_16_1"},     {"11.025 kHz, 10 kbit/s, Mono", "10_11_1"},
    {"11.025 kHz, 8 kbit/s, Mono", "8_11_1"},       {"8.000 kHz, 12 kbit/s, Stereo", "12_8_2"},
    {"8.000 kHz, 8 kbit/s, Mono", "8_8_1"},         {"8.000 kHz, 6 kbit/s, Mono", "6_8_1"},
    {"8.000 kHz, 5 kbit/s, Mono", "5_8_1"},
}};

TWMAEncodeProcess::TWMAEncodeProcess() {
  ProgramFolders = {plat::ProgramFolder(), plat::ProgramFolder() + "../lib/plindar/",
                    PLINDAR_LIBEXEC_DIR};
}

TCommandLine TWMAEncodeProcess::BuildCommandLine() {
  TCommandLine c;
  if (!IsEncode)
    return c;
  c.Program = EncoderPath;
  c.Add("-input");
  c.AddQuoted(InputFile);
  c.Add("-output");
  c.AddQuoted(WrittenFile());
  const int profile = Settings.WMABitRate >= 0 && Settings.WMABitRate < int(WmaProfiles.size())
                          ? Settings.WMABitRate
                          : 8;
  c.Add("-a_setting");
  c.Add(WmaProfiles[profile].Setting);
  if (Settings.UseID3) {
    if (!Settings.Artist.empty()) {
      c.Add("-author");
      c.AddQuoted(Settings.Artist);
    }
    if (!Settings.Comment.empty()) {
      c.Add("-description");
      c.AddQuoted(Settings.Comment);
    }
  }
  return c;
}

std::string TWMAEncodeProcess::MissingEncoderText() const {
  if (!FindProgram("WM8EUTIL", ProgramFolders).empty())
    return "";
  return GetLanString("RES_NoWmaEncoder",
                      std::string("Can not find WMA encoder,please contact with ") +
                          product::SupportEmail + "!");
}

bool TWMAEncodeProcess::PrepareStart() {
  EncoderPath = FindProgram("WM8EUTIL", ProgramFolders);
  if (!EncoderPath.empty())
    return true;
  EndNotice(encodeDeclined);
  return false;
}

void TWMAEncodeProcess::ParseLine(const std::string &line) {
  if (line.find("ERROR") != std::string::npos) {
    EndNotice(encodeError, line);
    return;
  }
  if (line.find("100%") != std::string::npos) {
    std::string elapsed = MinutesSeconds(std::max(1, SecondsRunning()));
    PostProgress(100, elapsed, elapsed);
  }
}

void TWMAEncodeProcess::DeliverEndNotice(TEncodeEnd SubCode, const std::string &Text) {
  plat::SendMessage(NotifyWindow, WM_JOBINFO, 0, 0,
                    std::make_shared<TProcessInfo>(TProcessInfo{EndCode(), Text, "", SubCode}));
}

void TWMAEncodeProcess::ChildEnded(int status) {
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
    EndNotice(encodeMade);
  else if (WIFEXITED(status))
    EndNotice(encodeError,
              "ERROR: WM8EUTIL ended with exit status " + std::to_string(WEXITSTATUS(status)));
  else
    EndNotice(encodeError, "ERROR: WM8EUTIL ended by signal " + std::to_string(WTERMSIG(status)));
}
