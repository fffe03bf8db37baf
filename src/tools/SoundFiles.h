#pragma once
// Opening a sound file by what it holds, and telling afterwards whether it held all it
// announced: the one rule the headless converter and player share for damaged files.
#include <cstdint>
#include <memory>
#include <string>

class TAuFileIn;

// The reader the file's content asks for, opened: an Ogg page starts an Ogg Opus file when its
// first packet is Opus's, else an Ogg Vorbis file; "fLaC" starts a FLAC file; anything else
// must be a WAV file the WAV reader knows. EAuException with why not, without the file's name.
std::unique_ptr<TAuFileIn> OpenSoundFile(const std::string &name);

// The bytes a second of the input's decoded audio takes; read before a run, since asking the
// format afterwards would open the file again.
std::int64_t BytesPerSecond(TAuFileIn &input);

// After a run read to its end: "" when the file held all it announced, else (naming the file)
// "x is cut short: it holds 0.71 s of the 1.43 s its header announces", or, for a file that
// announces no length, "... it holds 0.71 s and its stream has no end".
std::string CutShortText(const TAuFileIn &input, std::int64_t bytesPerSecond);

// After a run that read no audio at all: the file is cut short to nothing, or holds none.
std::string NoAudioText(const TAuFileIn &input, std::int64_t bytesPerSecond);
