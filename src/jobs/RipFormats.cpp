#include "RipFormats.h"

#include "Global.h"

#include <cctype>

TFormat RipOutput() {
  switch (GlobalOptions.OutputFormat) {
  case fmtMP3: return fmtMP3;
  case fmtOGG: return fmtOGG;
  case fmtWMA: return fmtWMA;
  case fmtFLAC: return fmtFLAC;
  case fmtOpus: return fmtOpus;
  default: return fmtWAV;
  }
}

const char *EncodedExtension(TFormat format) {
  switch (format) {
  case fmtMP3: return ".mp3";
  case fmtOGG: return ".ogg";
  case fmtWMA: return ".wma";
  case fmtFLAC: return ".flac";
  case fmtOpus: return ".opus";
  default: return nullptr;
  }
}

int TrackOfEntry(const std::string &entry) {
  if (entry.size() < 2 || !isdigit(static_cast<unsigned char>(entry[0])) ||
      !isdigit(static_cast<unsigned char>(entry[1])))
    return 0;
  return (entry[0] - '0') * 10 + (entry[1] - '0');
}

std::string TitleOfEntry(const std::string &entry) {
  return entry.size() > 2 ? entry.substr(2) : "";
}
