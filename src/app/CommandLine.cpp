#include "CommandLine.h"

#include <cstddef>

namespace {

// An option that takes a value accepts it as the next argument or after '='.
bool TakeValue(const std::vector<std::string> &args, std::size_t &i, const std::string &option,
               std::string &value, std::string &error) {
  const std::string &arg = args[i];
  if (arg.size() > option.size() && arg.compare(0, option.size() + 1, option + "=") == 0) {
    value = arg.substr(option.size() + 1);
  } else if (i + 1 < args.size()) {
    value = args[++i];
  } else {
    error = option + " needs a value";
    return false;
  }
  if (value.empty()) {
    error = option + " needs a value";
    return false;
  }
  return true;
}

bool IsOption(const std::string &arg, const std::string &option) {
  return arg == option || arg.compare(0, option.size() + 1, option + "=") == 0;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string> &args, TProgramOptions &options,
                      std::string &error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    std::string value;
    if (IsOption(arg, "--cd-image")) {
      if (!TakeValue(args, i, "--cd-image", value, error))
        return false;
      options.CDImages.push_back(value);
    } else if (IsOption(arg, "--make-demo-disc")) {
      if (!TakeValue(args, i, "--make-demo-disc", value, error))
        return false;
      options.DemoDiscFolder = value;
    } else if (IsOption(arg, "--format")) {
      if (!TakeValue(args, i, "--format", value, error))
        return false;
      options.OutputFormat = value == "mp3"   ? 0
                             : value == "wav" ? 1
                             : value == "ogg" ? 2
                             : value == "wma" ? 3
                                              : -1;
      if (options.OutputFormat < 0) {
        error = "--format must be mp3, wav, ogg or wma, not " + value;
        return false;
      }
    } else if (IsOption(arg, "--output")) {
      if (!TakeValue(args, i, "--output", value, error))
        return false;
      options.OutputFolder = value;
    } else if (IsOption(arg, "--play")) {
      if (!TakeValue(args, i, "--play", options.PlayFile, error))
        return false;
    } else if (arg == "--extract") {
      options.Extract = true;
    } else if (arg == "--list") {
      options.List = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else {
      error = "unknown argument: " + arg;
      return false;
    }
  }
  if (!options.Extract && (options.OutputFormat >= 0 || !options.OutputFolder.empty())) {
    error = "--format and --output go with --extract";
    return false;
  }
  if (!options.PlayFile.empty() && (options.List || options.Extract)) {
    error = "--play goes without --list and --extract";
    return false;
  }
  return true;
}

std::string UsageText() {
  return "Usage: plindar [--cd-image FILE.cue]... [--list] [--make-demo-disc DIR] [--help]\n"
         "       plindar [--cd-image FILE.cue]... --extract [--format mp3|wav|ogg|wma] "
         "[--output DIR]\n"
         "       plindar --play FILE\n"
         "\n"
         "Lists the audio tracks of a CD and extracts them to WAV, MP3, OGG or WMA files.\n"
         "\n"
         "  --cd-image FILE.cue    use a BIN/CUE disc image as one more CD drive (repeatable)\n"
         "  --list                 print the track list (No., Title, Length(min), Size(MB),\n"
         "                         tab-separated) instead of showing the window\n"
         "  --make-demo-disc DIR   write a demo disc image into DIR and print its .cue path\n"
         "  --extract              rip every track of the disc with the saved settings, print\n"
         "                         each file made, and exit (0 when every track was made);\n"
         "                         files already there are replaced\n"
         "  --format mp3|wav|ogg|wma\n"
         "                         with --extract: the output format, for this run only\n"
         "  --output DIR           with --extract: the output folder, for this run only\n"
         "  --play FILE            play a WAV or Ogg Vorbis file on the default sound device\n"
         "                         and exit at its end (0), showing the position on a terminal\n"
         "  --help                 show this text\n";
}
