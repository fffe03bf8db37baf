#include "Player.h"

#include "AuConverters.h"
#include "AuDXAudio.h"
#include "Global.h"
#include "Messages.h"
#include "SoundFiles.h"
#include "Text.h"

#include <algorithm>
#include <ostream>

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

int PlayFile(const std::string &file, std::ostream &err, bool showPosition,
             const std::atomic<bool> *stop) {
  auto fail = [&err, &file](const std::string &why) {
    err << "plindar: cannot play " << file << ": " << why << "\n";
    return 1;
  };
  std::unique_ptr<TAuFileIn> input;
  try {
    input = OpenSoundFile(file);
  } catch (const EAuException &e) {
    return fail(e.what());
  }
  TStereoBalance balance;
  TDXAudioOut output; // last: stopped and destroyed before its inputs
  ConnectPlayer(*input, balance, output);
  std::atomic<bool> done{false};
  output.OnDone = [&done](TComponent *) { done = true; };
  // Read before the run: the output thread then owns the input.
  const long total = input->TotalTime();
  const std::int64_t bytesPerSecond = std::max<std::int64_t>(1, BytesPerSecond(*input));
  output.Run();
  bool stopped = false;
  while (!done) {
    if (stop && *stop && !stopped) {
      stopped = true;
      output.Stop();
    }
    plat::WaitMessages(stop && *stop ? 20 : 250);
    if (showPosition)
      err << "\r" << plat::ClockTime(std::min<long>(input->Position() / bytesPerSecond, total))
          << " / " << plat::ClockTime(total) << std::flush;
  }
  if (showPosition)
    err << "\n";
  if (stopped) {
    err << "plindar: " << GetLanString("RES_Play_Interrupted", "interrupted") << ": " << file
        << "\n";
    return 1;
  }
  // The device's failure in the sound system's words: the pipeline's message carries a code
  // that means nothing here.
  if (!output.DeviceFailure().empty())
    return fail("no sound device could be opened (" + output.DeviceFailure() + ")");
  if (const std::string failure = output.ExceptionMessage(); !failure.empty())
    return fail(failure);
  // What a damaged file holds has been played; the run still says it was not all.
  const std::string cut = input->Position() == 0 ? NoAudioText(*input, bytesPerSecond)
                                                 : CutShortText(*input, bytesPerSecond);
  if (!cut.empty())
    err << "plindar: " << cut << "\n";
  return cut.empty() ? 0 : 1;
}
