// The program's command line: a table of its options, each with its words, what follows them,
// its lines in the usage text and what it does; then the rules on which options go together.
#include "CommandLine.h"

#include "Global.h"
#include "OutputFormats.h"
#include "ReadOffset.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
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

// What the options of one command line have given so far.
struct TRun {
  TProgramOptions &Options;
  std::string &Error;
  bool ConvertOptions = false; // one of --rate, --channels, --bits, --ima, --quality
  bool QualityGiven = false;
};

using TValues = std::vector<std::string>;

// What follows an option's word.
enum class TTakes {
  Nothing,        // a flag: the word alone
  Value,          // the next argument, or the text after '='
  InputAndOutput, // the next two arguments (--convert IN OUT)
  Paths,          // the arguments up to the next option (--verify PATH...)
};

// One option: its words, what follows them, its lines in the usage text and what it does with
// its values (false with the run's error set when it cannot take them).
struct TOption {
  std::vector<std::string> Words; // the first one is the one the usage text shows
  TTakes Takes = TTakes::Nothing;
  std::string Value; // the name of its value(s) in the usage text
  std::string Help;  // lines separated by '\n'
  std::function<bool(TRun &run, const TValues &values)> Take;
};

// The handler of an option that turns the field on.
auto Sets(bool TProgramOptions::*field) {
  return [field](TRun &run, const TValues &) { return run.Options.*field = true; };
}

// The handler of an option whose value is kept as it is given.
auto Keeps(std::string TProgramOptions::*field) {
  return [field](TRun &run, const TValues &values) {
    run.Options.*field = values[0];
    return true;
  };
}

bool Fail(TRun &run, const std::string &error) {
  run.Error = error;
  return false;
}

// An option of --convert whose value is one of the numbers listed.
bool TakeChoice(TRun &run, const std::string &value, const std::string &option,
                std::initializer_list<std::uint32_t> choices, const std::string &named,
                std::uint32_t &number) {
  run.ConvertOptions = true;
  if (!ReadNumber(value, number) ||
      std::find(choices.begin(), choices.end(), number) == choices.end())
    return Fail(run, option + " must be " + named + ", not " + value);
  return true;
}

// The options in the order the usage text lists them: one table with a row per option, so that
// all there is to know of an option stands in one place.
const std::vector<TOption> &Options() {
  // Laid out by hand: the formatter would give each field of a row a line of its own.
  // clang-format off
  static const std::vector<TOption> options = {
      {{"--cd-image"}, TTakes::Value, "FILE.cue",
       "use a BIN/CUE disc image as one more CD drive (repeatable)",
       [](TRun &run, const TValues &values) {
         run.Options.CDImages.push_back(values[0]);
         return true;
       }},
      {{"--list"}, TTakes::Nothing, "",
       "print the track list (No., Title, Length(min), Size(MB),\n"
       "tab-separated) instead of showing the window",
       Sets(&TProgramOptions::List)},
      {{"--make-demo-disc"}, TTakes::Value, "DIR",
       "write a demo disc image into DIR and print its .cue path",
       Keeps(&TProgramOptions::DemoDiscFolder)},
      {{"--extract"}, TTakes::Nothing, "",
       "rip every track of the disc with the saved settings, print\n"
       "each file made, and exit (0 when every track was made);\n"
       "files already there are replaced. Then each track's\n"
       "AccurateRip result and the path of the rip log",
       Sets(&TProgramOptions::Extract)},
      {{"--format"}, TTakes::Value, ListOfFormats(&TOutputFormat::Word, "|", "|"),
       "with --extract: the output format, for this run only",
       [](TRun &run, const TValues &values) {
         const TOutputFormat *format = FormatOfWord(values[0]);
         if (!format)
           return Fail(run, "--format must be " + ListOfFormats(&TOutputFormat::Word, ", ", " or ") +
                                ", not " + values[0]);
         run.Options.OutputFormat = format->Number;
         return true;
       }},
      {{"--output"}, TTakes::Value, "DIR",
       "with --extract: the output folder, for this run only",
       Keeps(&TProgramOptions::OutputFolder)},
      {{"--accuraterip-url"}, TTakes::Value, "URL",
       "with --extract, --detect-offset or --verify: the AccurateRip\n"
       "database's base URL instead of the one of the settings, for\n"
       "this run only",
       [](TRun &run, const TValues &values) {
         const std::string &url = run.Options.AccurateRipUrl = values[0];
         return url.starts_with("http://") || url.starts_with("https://") ||
                Fail(run, "--accuraterip-url must be an http:// or https:// URL, not " + url);
       }},
      {{"--convert"}, TTakes::InputAndOutput, "IN OUT",
       "convert the sound file IN (any WAV file the program reads,\n"
       "MP3 data in a WAV file, Ogg Vorbis, FLAC or Opus) into OUT,\n"
       "a .wav, .ogg, .flac (level 5) or .opus (160 kbit/s) file;\n"
       "what is not given stays as in IN. Needs no screen; exits 0\n"
       "when OUT was made, and leaves no OUT when not; an IN cut\n"
       "short gives what it holds, and exits 1 saying so",
       [](TRun &run, const TValues &values) {
         run.Options.Convert = true;
         run.Options.Conversion.Input = values[0];
         run.Options.Conversion.Output = values[1];
         return true;
       }},
      {{"--rate"}, TTakes::Value, "HZ",
       "with --convert: the sample rate of OUT",
       [](TRun &run, const TValues &values) {
         run.ConvertOptions = true;
         std::uint32_t &rate = run.Options.Conversion.SampleRate;
         // The resampler works up to a megahertz; below a kilohertz nothing is audio.
         return (ReadNumber(values[0], rate) && rate >= 1000 && rate <= 1000000) ||
                Fail(run, "--rate must be a sample rate from 1000 to 1000000 Hz, not " + values[0]);
       }},
      {{"--channels"}, TTakes::Value, "1|2",
       "with --convert: mono or stereo",
       [](TRun &run, const TValues &values) {
         return TakeChoice(run, values[0], "--channels", {1, 2}, "1 or 2",
                           run.Options.Conversion.Channels);
       }},
      {{"--bits"}, TTakes::Value, "8|16|24|32",
       "with --convert to .wav or .flac: the sample size",
       [](TRun &run, const TValues &values) {
         return TakeChoice(run, values[0], "--bits", {8, 16, 24, 32}, "8, 16, 24 or 32",
                           run.Options.Conversion.BitsPerSample);
       }},
      {{"--ima"}, TTakes::Nothing, "",
       "with --convert to .wav: IMA ADPCM instead of PCM",
       [](TRun &run, const TValues &) {
         run.ConvertOptions = true;
         return run.Options.Conversion.Ima = true;
       }},
      {{"--quality"}, TTakes::Value, "Q",
       "with --convert to .ogg: the Vorbis quality, -0.1 (smallest)\n"
       "to 1 (best); 0.2 when not given, as the rip window's default",
       [](TRun &run, const TValues &values) {
         run.ConvertOptions = true;
         // Read as a double: a float takes 1e-50 for out of range, and nan passes any
         // comparison.
         double quality = 0;
         if (!ReadNumber(values[0], quality) || !std::isfinite(quality) || quality < -0.1 ||
             quality > 1.0)
           return Fail(run, "--quality must be a number from -0.1 to 1, not " + values[0]);
         run.Options.Conversion.Quality = static_cast<float>(quality);
         return run.QualityGiven = true;
       }},
      {{"--query"}, TTakes::Nothing, "",
       "with --list or --extract: look the titles up first, from the\n"
       "title sources of the settings; exits 1 when that fails",
       Sets(&TProgramOptions::Query)},
      {{"--query-source"}, TTakes::Value, "freedb|musicbrainz|both",
       "with --query: where to look, for this run only (both:\n"
       "MusicBrainz, then freedb when MusicBrainz has none)",
       [](TRun &run, const TValues &values) {
         const std::string &value = values[0];
         run.Options.QuerySource = value == "freedb"        ? TitleSourcesFreedb
                                   : value == "musicbrainz" ? TitleSourcesMusicBrainz
                                   : value == "both"        ? TitleSourcesBoth
                                                            : -1;
         return run.Options.QuerySource >= 0 ||
                Fail(run, "--query-source must be freedb, musicbrainz or both, not " + value);
       }},
      {{"--musicbrainz-url"}, TTakes::Value, "URL",
       "with --query: the MusicBrainz service's address instead\n"
       "of https://musicbrainz.org, for this run only",
       [](TRun &run, const TValues &values) {
         const std::string &url = run.Options.MusicBrainzUrl = values[0];
         return ((url.starts_with("http://") || url.starts_with("https://")) &&
                 url.find_first_of("?# ") == std::string::npos) ||
                Fail(run, "--musicbrainz-url must be http[s]://host[:port][/path], not " + url);
       }},
      {{"--cddb-server"}, TTakes::Value, "URL",
       "with --query: http://host[:port]/path/to/cddb.cgi instead\n"
       "of the server of the settings, for this run only",
       [](TRun &run, const TValues &values) {
         return SplitServerUrl(values[0], run.Options.CddbServer, run.Options.CddbScript) ||
                Fail(run,
                     "--cddb-server must be http://host[:port]/path/to/cddb.cgi, not " + values[0]);
       }},
      {{"--secure"}, TTakes::Nothing, "",
       "read the disc through the secure ripping library (jitter\n"
       "correction), for this run only: the window, --list,\n"
       "--extract and --query all go through it",
       Sets(&TProgramOptions::Secure)},
      {{"--offset"}, TTakes::Value, "N",
       "read the disc with a drive read offset of N samples (-2000 to\n"
       "2000) instead of the one stored for the drive, this run only",
       [](TRun &run, const TValues &values) {
         const std::string &value = values[0];
         int32_t offset = 0;
         // Offsets are written with their sign: "+6" as well as "6".
         const bool plus = value.size() > 1 && value[0] == '+' && value[1] != '-';
         if (!ReadNumber(plus ? value.substr(1) : value, offset) || !ValidReadOffset(offset))
           return Fail(run,
                       "--offset must be a number of samples from -2000 to 2000, not " + value);
         run.Options.ReadOffset = offset;
         return true;
       }},
      {{"--detect-offset"}, TTakes::Nothing, "",
       "find the read offset of the drive (the first --cd-image, else\n"
       "the chosen drive) with a disc that is in the AccurateRip\n"
       "database, print it and exit (1 when none is found); the\n"
       "offset is stored only with --store-offset",
       Sets(&TProgramOptions::DetectOffset)},
      {{"--store-offset"}, TTakes::Nothing, "",
       "with --detect-offset: store the offset found for the drive",
       Sets(&TProgramOptions::StoreOffset)},
      {{"--verify"}, TTakes::Paths, "PATH...",
       "check the WAV or FLAC files of one disc (the files, or their\n"
       "folder) against AccurateRip, with the cue sheet beside them or\n"
       "their lengths as the TOC, and print a report; exits 0 when\n"
       "every track is accurate, 1 when not, 2 for unusable files",
       [](TRun &run, const TValues &values) {
         run.Options.Verify = values;
         return true;
       }},
      {{"--play"}, TTakes::Value, "FILE",
       "play a WAV, Ogg Vorbis, FLAC or Opus file on the default\n"
       "sound device and exit at its end (0; 1 when it is cut short\n"
       "or interrupted), showing the position on a terminal",
       Keeps(&TProgramOptions::PlayFile)},
      {{"--help", "-h"}, TTakes::Nothing, "", "show this text", Sets(&TProgramOptions::Help)},
      {{"--version"}, TTakes::Nothing, "", "print the program's name and version",
       Sets(&TProgramOptions::Version)},
  };
  // clang-format on
  return options;
}

// The option arg names, and the word it is named by; nullptr when there is none.
const TOption *FindOption(const std::string &arg, std::string &word) {
  for (const TOption &option : Options())
    for (const std::string &name : option.Words)
      if (option.Takes == TTakes::Value ? IsOption(arg, name) : arg == name) {
        word = name;
        return &option;
      }
  return nullptr;
}

// The values that follow the option's word at args[i]; i moves past them.
bool TakeValues(const std::vector<std::string> &args, std::size_t &i, const TOption &option,
                const std::string &word, TValues &values, std::string &error) {
  switch (option.Takes) {
  case TTakes::Nothing: return true;
  case TTakes::Value: values.resize(1); return TakeValue(args, i, word, values[0], error);
  case TTakes::InputAndOutput:
    if (i + 2 >= args.size() || args[i + 1].empty() || args[i + 2].empty()) {
      error = word + " needs an input and an output file";
      return false;
    }
    values = {args[i + 1], args[i + 2]};
    i += 2;
    return true;
  case TTakes::Paths:
    for (; i + 1 < args.size() && !args[i + 1].starts_with("--"); ++i)
      values.push_back(args[i + 1]);
    if (values.empty())
      error = word + " needs the files or the folder of a disc's tracks";
    return !values.empty();
  }
  return false;
}

// Options that only mean something together with others, or that exclude each other; the
// first one broken is the one reported.
struct TRule {
  bool (*Broken)(const TRun &run);
  const char *Error;
};

const TRule Rules[] = {
    {[](const TRun &run) {
       return !run.Options.Extract &&
              (run.Options.OutputFormat >= 0 || !run.Options.OutputFolder.empty());
     },
     "--format and --output go with --extract"},
    {[](const TRun &run) {
       const TProgramOptions &o = run.Options;
       return !o.Verify.empty() && (o.List || o.Extract || o.Convert || o.DetectOffset || o.Query ||
                                    o.Secure || o.ReadOffset || !o.CDImages.empty() ||
                                    !o.DemoDiscFolder.empty() || !o.PlayFile.empty());
     },
     "--verify goes with no other option than --accuraterip-url"},
    {[](const TRun &run) {
       return !run.Options.Extract && !run.Options.DetectOffset && run.Options.Verify.empty() &&
              !run.Options.AccurateRipUrl.empty();
     },
     "--accuraterip-url goes with --extract, --detect-offset or --verify"},
    {[](const TRun &run) { return !run.Options.Convert && run.ConvertOptions; },
     "--rate, --channels, --bits, --ima and --quality go with --convert"},
    {[](const TRun &run) {
       const TProgramOptions &o = run.Options;
       return o.Convert &&
              (o.List || o.Extract || !o.CDImages.empty() || !o.DemoDiscFolder.empty());
     },
     "--convert goes without --cd-image, --list, --extract and --make-demo-disc"},
    {[](const TRun &run) {
       const TProgramOptions &o = run.Options;
       return !o.Query &&
              (!o.CddbServer.empty() || o.QuerySource >= 0 || !o.MusicBrainzUrl.empty());
     },
     "--cddb-server, --query-source and --musicbrainz-url go with --query"},
    {[](const TRun &run) { return run.Options.Query && !run.Options.List && !run.Options.Extract; },
     "--query goes with --list or --extract"},
    {[](const TRun &run) {
       return !run.Options.PlayFile.empty() && (run.Options.List || run.Options.Extract);
     },
     "--play goes without --list and --extract"},
    {[](const TRun &run) {
       return run.Options.Secure && (run.Options.Convert || !run.Options.PlayFile.empty());
     },
     "--secure goes without --convert and --play"},
    {[](const TRun &run) { return run.Options.StoreOffset && !run.Options.DetectOffset; },
     "--store-offset goes with --detect-offset"},
    {[](const TRun &run) {
       const TProgramOptions &o = run.Options;
       return o.DetectOffset && (o.List || o.Extract || o.Query || o.ReadOffset || o.Secure);
     },
     "--detect-offset goes without --list, --extract, --query, --offset and --secure"},
    {[](const TRun &run) {
       const TProgramOptions &o = run.Options;
       return (o.ReadOffset || o.DetectOffset) && (o.Convert || !o.PlayFile.empty());
     },
     "--offset and --detect-offset go without --convert and --play"},
};

// The usage text's line(s) of an option: its word and value, then its help from column 25.
std::string UsageLines(const TOption &option) {
  constexpr std::size_t HelpColumn = 25;
  std::string lines = "  " + option.Words[0];
  if (!option.Value.empty())
    lines += " " + option.Value;
  lines += lines.size() + 2 <= HelpColumn ? std::string(HelpColumn - lines.size(), ' ')
                                          : "\n" + std::string(HelpColumn, ' ');
  for (const char c : option.Help)
    lines += c == '\n' ? "\n" + std::string(HelpColumn, ' ') : std::string(1, c);
  return lines + "\n";
}

} // namespace

bool ParseCommandLine(const std::vector<std::string> &args, TProgramOptions &options,
                      std::string &error) {
  TRun run{options, error};
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string word;
    const TOption *option = FindOption(args[i], word);
    if (!option) {
      error = "unknown argument: " + args[i];
      return false;
    }
    TValues values;
    if (!TakeValues(args, i, *option, word, values, error) || !option->Take(run, values))
      return false;
  }
  for (const TRule &rule : Rules)
    if (rule.Broken(run)) {
      error = rule.Error;
      return false;
    }
  return !options.Convert || CheckConversion(options.Conversion, run.QualityGiven, error);
}

std::string UsageText() {
  std::string text =
      "Usage: plindar [--cd-image FILE.cue]... [--secure] [--offset N] [--list] "
      "[--make-demo-disc DIR] [--help]\n"
      "       plindar [--cd-image FILE.cue]... --extract "
      "[--format " +
      ListOfFormats(&TOutputFormat::Word, "|", "|") +
      "]\n"
      "               [--output DIR] [--accuraterip-url URL]\n"
      "       plindar --convert IN OUT [--rate HZ] [--channels 1|2] [--bits 8|16|24|32]\n"
      "               [--ima] [--quality Q]\n"
      "       plindar [--cd-image FILE.cue]... --query [--query-source SOURCE]\n"
      "               [--cddb-server URL] [--musicbrainz-url URL] --list|--extract ...\n"
      "       plindar [--cd-image FILE.cue]... --detect-offset [--store-offset]\n"
      "               [--accuraterip-url URL]\n"
      "       plindar --play FILE\n"
      "       plindar --verify PATH... [--accuraterip-url URL]\n"
      "\n"
      "Lists the audio tracks of a CD and extracts them to WAV, MP3, OGG, WMA, FLAC or Opus\n"
      "files.\n"
      "\n";
  for (const TOption &option : Options())
    text += UsageLines(option);
  return text;
}
