#include "RipFormats.h"

#include "Global.h"
#include "Language.h"
#include "Text.h"
#include "ripthread.h"

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <unistd.h>

TFormat RipOutput() {
  const TOutputFormat *format = FormatOfNumber(GlobalOptions.OutputFormat);
  return format ? format->Number : fmtWAV;
}

const char *EncodedExtension(TFormat format) {
  const TOutputFormat &row = OutputFormatOf(format);
  return row.Encoder == TEncoderKind::None ? nullptr : row.Extension;
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

std::string FolderNotWritableText(const std::string &file) {
  const std::string folder = std::filesystem::path(file).parent_path().string();
  if (access(folder.empty() ? "." : folder.c_str(), W_OK) == 0)
    return "";
  const int error = errno;
  return GetLanText("RES_Folder_Not_Writable",
                    "%s cannot be made: its folder cannot be written (%s).",
                    {file, plat::SysErrorMessage(error)});
}

std::string CannotMakeText(const std::string &file) {
  const std::string folder = FolderNotWritableText(file);
  return !folder.empty() ? folder
                         : file + GetLanString("RES_Operate_Fail", "maybe be used,operate fail!");
}

std::string RipFailureText(const std::string &wav, int32_t ripResult) {
  switch (ripResult) {
  case ripCannotCreate:
    if (std::string folder = FolderNotWritableText(wav); !folder.empty())
      return folder;
    return wav + GetLanString("RES_CreateWavFileError",
                              " is not a valid file name.Please rename the Title in the CD "
                              "tracks list.");
  case ripWriteFailed:
    return wav + GetLanString("RES_WriteWavFileError",
                              " could not be written in full. Please check the free space "
                              "in the output directory.");
  case ripFileInUse:
    return wav + ": " +
           GetLanString("RES_CreateFileError",
                        "WAV file will be created maybe is been using,extract failed!");
  case ripReadFailed:
    return GetLanString("RES_ReadCDAudioError", "Error while reading CD information!");
  case ripDataTrack:
    return wav + GetLanString("RES_DataTrack",
                              " was not made: its track is a data track, which holds no audio.");
  default: return "";
  }
}

bool OutputFolderGone(const std::function<void(const std::string &message)> &endJob) {
  std::error_code ec;
  if (std::filesystem::is_directory(GlobalOptions.OutputFolder, ec))
    return false;
  endJob(GlobalOptions.OutputFolder + "," +
         GetLanString("RES_Directory_Not_Exist", "The output directory does not exist."));
  return true;
}
