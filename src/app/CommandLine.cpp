#include "CommandLine.h"

#include "Global.h"
#include "ReadOffset.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

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

// The whole text as a number of the type; false for anything else.
template <class T> bool ReadNumber(const std::string &text, T &number) {
  const char *end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  return error == std::errc() && stop == end;
}

// An option of --convert whose value is one of the numbers listed.
bool TakeChoice(const std::vector<std::string> &args, std::size_t &i, const std::string &option,
                std::initializer_list<std::uint32_t> choices, const std::string &named,
                std::uint32_t &number, std::string &error) {
  std::string value;
  if (!TakeValue(args, i, option, value, error))
    return false;
  if (!ReadNumber(value, number) ||
      std::find(choices.begin(), choices.end(), number) == choices.end()) {
    error = option + " must be " + named + ", not " + value;
    return false;
  }
  return true;
}

// The options --convert takes; false when one of them cannot be read.
bool TakeConvertOption(const std::vector<std::string> &args, std::size_t &i,
                       TConvertOptions &conversion, bool &qualityGiven, std::string &error) {
  const std::string &arg = args[i];
  std::string value;
  if (IsOption(arg, "--rate")) {
    if (!TakeValue(args, i, "--rate", value, error))
      return false;
    // The resampler works up to a megahertz; below a kilohertz nothing is audio.
    if (!ReadNumber(value, conversion.SampleRate) || conversion.SampleRate < 1000 ||
        conversion.SampleRate > 1000000) {
      error = "--rate must be a sample rate from 1000 to 1000000 Hz, not " + value;
      return false;
    }
    return true;
  }
  if (IsOption(arg, "--channels"))
    return TakeChoice(args, i, "--channels", {1, 2}, "1 or 2", conversion.Channels, error);
  if (IsOption(arg, "--bits"))
    return TakeChoice(args, i, "--bits", {8, 16, 24, 32}, "8, 16, 24 or 32",
                      conversion.BitsPerSample, error);
  if (IsOption(arg, "--quality")) {
    if (!TakeValue(args, i, "--quality", value, error))
      return false;
    // Read as a double: a float takes 1e-50 for out of range, and nan passes any comparison.
    double quality = 0;
    if (!ReadNumber(value, quality) || !std::isfinite(quality) || quality < -0.1 || quality > 1.0) {
      error = "--quality must be a number from -0.1 to 1, not " + value;
      return false;
    }
    conversion.Quality = static_cast<float>(quality);
    qualityGiven = true;
    return true;
  }
  conversion.Ima = true; // --ima, the only one left
  return true;
}

// What --convert's output asks for fits the writer its extension chooses.
bool CheckConversion(const TConvertOptions &conversion, bool qualityGiven, std::string &error) {
  const TConvertWriter writer = WriterFor(conversion.Output);
  const bool lossy = writer == TConvertWriter::Vorbis || writer == TConvertWriter::Opus;
  if (writer == TConvertWriter::None)
    error = "--convert writes .wav, .ogg, .flac or .opus files, not " + conversion.Output;
  else if ((writer != TConvertWriter::Wave && conversion.Ima) ||
           (lossy && conversion.BitsPerSample != 0))
    error = "--ima goes with a .wav output, --bits with a .wav or .flac one";
  else if (writer != TConvertWriter::Vorbis && qualityGiven)
    error = "--quality goes with an .ogg output";
  else if (conversion.Ima && conversion.BitsPerSample != 0 && conversion.BitsPerSample != 16)
    error = "--ima encodes 16-bit samples: --bits must be 16 or left out";
  return error.empty();
}

// "http://host[:port]/path" into host[:port] and path.
bool SplitServerUrl(const std::string &url, std::string &server, std::string &script) {
  const std::string scheme = "http://";
  if (url.compare(0, scheme.size(), scheme) != 0)
    return false;
  const std::size_t slash = url.find('/', scheme.size());
  if (slash == std::string::npos || slash == scheme.size() || slash + 1 == url.size())
    return false;
  server = url.substr(scheme.size(), slash - scheme.size());
  script = url.substr(slash);
  return server.find_first_of("?#@ ") == std::string::npos &&
         script.find_first_of("?# ") == std::string::npos;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string> &args, TProgramOptions &options,
                      std::string &error) {
  bool convertOptions = false, qualityGiven = false;
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
      options.OutputFormat = value == "mp3"    ? 0
                             : value == "wav"  ? 1
                             : value == "ogg"  ? 2
                             : value == "wma"  ? 3
                             : value == "flac" ? 4
                             : value == "opus" ? 5
                                               : -1;
      if (options.OutputFormat < 0) {
        error = "--format must be mp3, wav, ogg, wma, flac or opus, not " + value;
        return false;
      }
    } else if (IsOption(arg, "--output")) {
      if (!TakeValue(args, i, "--output", value, error))
        return false;
      options.OutputFolder = value;
    } else if (arg == "--convert") {
      if (i + 2 >= args.size() || args[i + 1].empty() || args[i + 2].empty()) {
        error = "--convert needs an input and an output file";
        return false;
      }
      options.Convert = true;
      options.Conversion.Input = args[++i];
      options.Conversion.Output = args[++i];
    } else if (IsOption(arg, "--rate") || IsOption(arg, "--channels") || IsOption(arg, "--bits") ||
               IsOption(arg, "--quality") || arg == "--ima") {
      if (!TakeConvertOption(args, i, options.Conversion, qualityGiven, error))
        return false;
      convertOptions = true;
    } else if (IsOption(arg, "--cddb-server")) {
      if (!TakeValue(args, i, "--cddb-server", value, error))
        return false;
      if (!SplitServerUrl(value, options.CddbServer, options.CddbScript)) {
        error = "--cddb-server must be http://host[:port]/path/to/cddb.cgi, not " + value;
        return false;
      }
    } else if (IsOption(arg, "--offset")) {
      if (!TakeValue(args, i, "--offset", value, error))
        return false;
      int32_t offset = 0;
      // Offsets are written with their sign: "+6" as well as "6".
      const bool plus = value.size() > 1 && value[0] == '+' && value[1] != '-';
      if (!ReadNumber(plus ? value.substr(1) : value, offset) || !ValidReadOffset(offset)) {
        error = "--offset must be a number of samples from -2000 to 2000, not " + value;
        return false;
      }
      options.ReadOffset = offset;
    } else if (arg == "--detect-offset") {
      options.DetectOffset = true;
    } else if (arg == "--store-offset") {
      options.StoreOffset = true;
    } else if (IsOption(arg, "--accuraterip-url")) {
      if (!TakeValue(args, i, "--accuraterip-url", options.AccurateRipUrl, error))
        return false;
      if (!options.AccurateRipUrl.starts_with("http://") &&
          !options.AccurateRipUrl.starts_with("https://")) {
        error =
            "--accuraterip-url must be an http:// or https:// URL, not " + options.AccurateRipUrl;
        return false;
      }
    } else if (IsOption(arg, "--query-source")) {
      if (!TakeValue(args, i, "--query-source", value, error))
        return false;
      options.QuerySource = value == "freedb"        ? TitleSourcesFreedb
                            : value == "musicbrainz" ? TitleSourcesMusicBrainz
                            : value == "both"        ? TitleSourcesBoth
                                                     : -1;
      if (options.QuerySource < 0) {
        error = "--query-source must be freedb, musicbrainz or both, not " + value;
        return false;
      }
    } else if (IsOption(arg, "--musicbrainz-url")) {
      if (!TakeValue(args, i, "--musicbrainz-url", options.MusicBrainzUrl, error))
        return false;
      const std::string &url = options.MusicBrainzUrl;
      if ((url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) ||
          url.find_first_of("?# ") != std::string::npos) {
        error = "--musicbrainz-url must be http[s]://host[:port][/path], not " + url;
        return false;
      }
    } else if (arg == "--query") {
      options.Query = true;
    } else if (arg == "--secure") {
      options.Secure = true;
    } else if (IsOption(arg, "--play")) {
      if (!TakeValue(args, i, "--play", options.PlayFile, error))
        return false;
    } else if (arg == "--extract") {
      options.Extract = true;
    } else if (arg == "--list") {
      options.List = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--version") {
      options.Version = true;
    } else {
      error = "unknown argument: " + arg;
      return false;
    }
  }
  if (!options.Extract && (options.OutputFormat >= 0 || !options.OutputFolder.empty())) {
    error = "--format and --output go with --extract";
    return false;
  }
  if (!options.Extract && !options.DetectOffset && !options.AccurateRipUrl.empty()) {
    error = "--accuraterip-url goes with --extract or --detect-offset";
    return false;
  }
  if (!options.Convert && convertOptions) {
    error = "--rate, --channels, --bits, --ima and --quality go with --convert";
    return false;
  }
  if (options.Convert && (options.List || options.Extract || !options.CDImages.empty() ||
                          !options.DemoDiscFolder.empty())) {
    error = "--convert goes without --cd-image, --list, --extract and --make-demo-disc";
    return false;
  }
  if (!options.Query && (!options.CddbServer.empty() || options.QuerySource >= 0 ||
                         !options.MusicBrainzUrl.empty())) {
    error = "--cddb-server, --query-source and --musicbrainz-url go with --query";
    return false;
  }
  if (options.Query && !options.List && !options.Extract) {
    error = "--query goes with --list or --extract";
    return false;
  }
  if (!options.PlayFile.empty() && (options.List || options.Extract)) {
    error = "--play goes without --list and --extract";
    return false;
  }
  if (options.Secure && (options.Convert || !options.PlayFile.empty())) {
    error = "--secure goes without --convert and --play";
    return false;
  }
  if (options.StoreOffset && !options.DetectOffset) {
    error = "--store-offset goes with --detect-offset";
    return false;
  }
  if (options.DetectOffset &&
      (options.List || options.Extract || options.Query || options.ReadOffset || options.Secure)) {
    error = "--detect-offset goes without --list, --extract, --query, --offset and --secure";
    return false;
  }
  if ((options.ReadOffset || options.DetectOffset) &&
      (options.Convert || !options.PlayFile.empty())) {
    error = "--offset and --detect-offset go without --convert and --play";
    return false;
  }
  return !options.Convert || CheckConversion(options.Conversion, qualityGiven, error);
}

std::string UsageText() {
  return "Usage: plindar [--cd-image FILE.cue]... [--secure] [--offset N] [--list] "
         "[--make-demo-disc DIR] [--help]\n"
         "       plindar [--cd-image FILE.cue]... --extract "
         "[--format mp3|wav|ogg|wma|flac|opus]\n"
         "               [--output DIR] [--accuraterip-url URL]\n"
         "       plindar --convert IN OUT [--rate HZ] [--channels 1|2] [--bits 8|16|24|32]\n"
         "               [--ima] [--quality Q]\n"
         "       plindar [--cd-image FILE.cue]... --query [--query-source SOURCE]\n"
         "               [--cddb-server URL] [--musicbrainz-url URL] --list|--extract ...\n"
         "       plindar [--cd-image FILE.cue]... --detect-offset [--store-offset]\n"
         "               [--accuraterip-url URL]\n"
         "       plindar --play FILE\n"
         "\n"
         "Lists the audio tracks of a CD and extracts them to WAV, MP3, OGG, WMA, FLAC or Opus\n"
         "files.\n"
         "\n"
         "  --cd-image FILE.cue    use a BIN/CUE disc image as one more CD drive (repeatable)\n"
         "  --list                 print the track list (No., Title, Length(min), Size(MB),\n"
         "                         tab-separated) instead of showing the window\n"
         "  --make-demo-disc DIR   write a demo disc image into DIR and print its .cue path\n"
         "  --extract              rip every track of the disc with the saved settings, print\n"
         "                         each file made, and exit (0 when every track was made);\n"
         "                         files already there are replaced. Then each track's\n"
         "                         AccurateRip result and the path of the rip log\n"
         "  --format mp3|wav|ogg|wma|flac|opus\n"
         "                         with --extract: the output format, for this run only\n"
         "  --output DIR           with --extract: the output folder, for this run only\n"
         "  --accuraterip-url URL  with --extract or --detect-offset: the AccurateRip database's\n"
         "                         base URL instead of the one of the settings, for this run only\n"
         "  --convert IN OUT       convert the sound file IN (any WAV file the program reads,\n"
         "                         MP3 data in a WAV file, Ogg Vorbis, FLAC or Opus) into OUT,\n"
         "                         a .wav, .ogg, .flac (level 5) or .opus (160 kbit/s) file;\n"
         "                         what is not given stays as in IN. Needs no screen; exits 0\n"
         "                         when OUT was made, and leaves no OUT when not; an IN cut\n"
         "                         short gives what it holds, and exits 1 saying so\n"
         "  --rate HZ              with --convert: the sample rate of OUT\n"
         "  --channels 1|2         with --convert: mono or stereo\n"
         "  --bits 8|16|24|32      with --convert to .wav or .flac: the sample size\n"
         "  --ima                  with --convert to .wav: IMA ADPCM instead of PCM\n"
         "  --quality Q            with --convert to .ogg: the Vorbis quality, -0.1 (smallest)\n"
         "                         to 1 (best); 0.2 when not given, as the rip window's default\n"
         "  --query                with --list or --extract: look the titles up first, from the\n"
         "                         title sources of the settings; exits 1 when that fails\n"
         "  --query-source freedb|musicbrainz|both\n"
         "                         with --query: where to look, for this run only (both:\n"
         "                         MusicBrainz, then freedb when MusicBrainz has none)\n"
         "  --musicbrainz-url URL  with --query: the MusicBrainz service's address instead\n"
         "                         of https://musicbrainz.org, for this run only\n"
         "  --cddb-server URL      with --query: http://host[:port]/path/to/cddb.cgi instead\n"
         "                         of the server of the settings, for this run only\n"
         "  --secure               read the disc through the secure ripping library (jitter\n"
         "                         correction), for this run only: the window, --list,\n"
         "                         --extract and --query all go through it\n"
         "  --offset N             read the disc with a drive read offset of N samples (-2000 to\n"
         "                         2000) instead of the one stored for the drive, this run only\n"
         "  --detect-offset        find the read offset of the drive (the first --cd-image, else\n"
         "                         the chosen drive) with a disc that is in the AccurateRip\n"
         "                         database, print it and exit (1 when none is found); the\n"
         "                         offset is stored only with --store-offset\n"
         "  --store-offset         with --detect-offset: store the offset found for the drive\n"
         "  --play FILE            play a WAV, Ogg Vorbis, FLAC or Opus file on the default\n"
         "                         sound device and exit at its end (0; 1 when it is cut short\n"
         "                         or interrupted), showing the position on a terminal\n"
         "  --help                 show this text\n"
         "  --version              print the program's name and version\n";
}
