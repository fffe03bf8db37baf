#include "Player.h"

#include "AuConverters.h"
#include "AuDXAudio.h"
#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "AuWaveIn.h"
#include "Messages.h"
#include "Text.h"

#include <algorithm>
#include <cerrno>
#include <ostream>

#include <fcntl.h>
#include <unistd.h>

void ConnectPlayer(TAuInput &input, TStereoBalance &balance, TDXAudioOut &output) {
  balance.SetInput(&input);
  output.SetInput(&balance);
  output.SetDeviceNumber(0);
  output.SetLatency(80);
  output.SetPrefetchData(true);
  output.SetPollingInterval(200);
  output.SetFramesInBuffer(65536);
  output.SetSpeedFactor(1.0f);
}

std::string MinutesSeconds(long seconds) {
  const long rest = seconds % 60;
  return std::to_string(seconds / 60) + ":" + (rest < 10 ? "0" : "") + std::to_string(rest);
}

int PlayFile(const std::string &file, std::ostream &err, bool showPosition) {
  auto fail = [&err, &file](const std::string &why) {
    err << "plindar: cannot play " << file << ": " << why << "\n";
    return 1;
  };
  // The readers tell only that a file is not theirs: a file that cannot be opened is named so.
  const int fd = open(file.c_str(), O_RDONLY);
  if (fd < 0)
    return fail(plat::SysErrorMessage(errno));
  close(fd);
  TWaveIn wave;
  TVorbisIn vorbis;
  TFLACIn flac;
  TOpusIn opus;
  TAuFileIn *input = nullptr;
  for (TAuFileIn *reader : std::initializer_list<TAuFileIn *>{&wave, &vorbis, &flac, &opus}) {
    reader->SetFileName(file);
    if (reader->Valid()) {
      input = reader;
      break;
    }
  }
  if (!input)
    return fail("not a WAV, Ogg Vorbis, FLAC or Opus file that can be played");

  TStereoBalance balance;
  TDXAudioOut output; // last: stopped and destroyed before its inputs
  ConnectPlayer(*input, balance, output);
  bool done = false;
  output.OnDone = [&done](TComponent *) { done = true; };
  // Read before the run: the output thread then owns the input.
  const long total = input->TotalTime();
  const std::int64_t bytesPerSecond = std::max<std::int64_t>(
      1, std::int64_t(input->SampleRate()) * input->Channels() * input->BitsPerSample() / 8);
  output.Run();
  while (!done) {
    plat::WaitMessages(250);
    if (showPosition)
      err << "\r" << MinutesSeconds(std::min<long>(input->Position() / bytesPerSecond, total))
          << " / " << MinutesSeconds(total) << std::flush;
  }
  if (showPosition)
    err << "\n";
  // The device's failure in the sound system's words: the pipeline's message carries a code
  // that means nothing here.
  if (!output.DeviceFailure().empty())
    return fail("no sound device could be opened (" + output.DeviceFailure() + ")");
  const std::string failure = output.ExceptionMessage();
  return failure.empty() ? 0 : fail(failure);
}
