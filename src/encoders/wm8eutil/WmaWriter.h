#pragma once
// Encoding a WAV file with wmav2 into an ASF file.
#include "WmaArguments.h"

#include <functional>

// Encodes job.Input into job.Output at the job's bit rate, sample rate and channel count,
// converting the audio as needed, with the author and description as the file's metadata.
// progress gets each new percent below 100 as the input is read. Throws std::runtime_error
// with the reason on any failure, after removing the unfinished output file.
void WriteWma(const TWmaJob &job, const std::function<void(int)> &progress);
