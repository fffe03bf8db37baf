#include "EncodeProcess.h"

#include "ChildProcess.h"
#include "Folders.h"
#include "Global.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

// What the watcher hands to the user-interface thread.
constexpr unsigned WM_ENCODERNEWS = WM_USER + 400;
constexpr int ChildHasEnded = -1;
constexpr int ChildStalled = -2;

struct TNews {
  std::uint64_t Run;
  int Stream; // 0 standard output, 1 standard error, ChildHasEnded or ChildStalled
  std::string Text;
};

bool IsBlank(const std::string &line) {
  for (char c : line)
    if (static_cast<unsigned char>(c) > ' ')
      return false;
  return true;
}

std::runtime_error CreateProcessError(int error) {
  return std::runtime_error(
      GetLanString("RES_CreateProcess_Error", "Error while creating mp3 encoding process!") +
      std::to_string(error));
}

} // namespace

struct TEncodeProcess::TChild {
  plat::TFd Wake; // written to end the watcher
  std::unique_ptr<plat::TChildProcess> Process;
};

std::string TCommandLine::Text() const {
  std::string text = Program;
  for (const TArgument &a : Arguments)
    text += a.Quoted ? " \"" + a.Text + "\"" : " " + a.Text;
  return text;
}

std::string FindProgram(const std::string &name, const std::vector<std::string> &folders) {
  std::vector<std::string> candidates = folders;
  const char *path = std::getenv("PATH");
  std::string list = path ? path : "";
  for (size_t start = 0, end; start < list.size(); start = end + 1) {
    end = std::min(list.find(':', start), list.size());
    if (end > start)
      candidates.push_back(list.substr(start, end - start));
  }
  for (const std::string &folder : candidates) {
    std::string file = plat::IncludeTrailingSlash(folder) + name;
    struct stat st;
    if (stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0)
      return file;
  }
  return "";
}

namespace {

// Size of a file, -1 when it cannot be read.
off_t SizeOf(const std::string &file) {
  struct stat st;
  return stat(file.c_str(), &st) == 0 ? st.st_size : -1;
}

// The watcher: hands every piece of output to the user-interface thread as it arrives and,
// once the child has ended and both pipes are drained, reports the end. A child that neither
// prints nor grows its output file for stallTime is reported as stalled. The watcher never
// waits for the user-interface thread, so that thread may end a run at any time by waking and
// joining it.
void Watch(int out, int err, int pidFd, int wake, TWindowHandle mailbox, std::uint64_t run,
           std::string output, std::chrono::seconds stallTime) {
  using Clock = std::chrono::steady_clock;
  constexpr int LookAtOutputMs = 1000; // how often the output file's growth is looked at
  pollfd fds[4] = {{out, POLLIN, 0}, {err, POLLIN, 0}, {pidFd, POLLIN, 0}, {wake, POLLIN, 0}};
  char buffer[4096];
  auto lastProgress = Clock::now();
  off_t size = SizeOf(output);
  // False at the end of the pipe (or when nothing is waiting in it).
  auto readOnce = [&](int stream) {
    ssize_t n = read(fds[stream].fd, buffer, sizeof buffer);
    if (n > 0) {
      lastProgress = Clock::now();
      plat::PostMessage(mailbox, WM_ENCODERNEWS, 0,
                        std::make_unique<TNews>(TNews{run, stream, std::string(buffer, n)}));
      return true;
    }
    if (n == 0 || (errno != EAGAIN && errno != EINTR))
      fds[stream].fd = -1; // poll ignores it from now on
    return false;
  };
  for (;;) {
    const int ready = poll(fds, 4, LookAtOutputMs);
    if (ready < 0)
      continue; // interrupted
    if (ready == 0) {
      if (const off_t now = SizeOf(output); now != size) {
        size = now;
        lastProgress = Clock::now();
      } else if (Clock::now() - lastProgress >= stallTime) {
        plat::PostMessage(mailbox, WM_ENCODERNEWS, 0,
                          std::make_unique<TNews>(TNews{run, ChildStalled, {}}));
        return;
      }
      continue;
    }
    if (fds[3].revents)
      return;
    for (int stream = 0; stream < 2; ++stream)
      if (fds[stream].fd >= 0 && fds[stream].revents)
        readOnce(stream);
    if (fds[2].revents) {
      for (int stream = 0; stream < 2; ++stream)
        while (fds[stream].fd >= 0 && readOnce(stream)) {
        }
      plat::PostMessage(mailbox, WM_ENCODERNEWS, 0,
                        std::make_unique<TNews>(TNews{run, ChildHasEnded, {}}));
      return;
    }
  }
}

} // namespace

TEncodeProcess::TEncodeProcess() = default;
TEncodeProcess::~TEncodeProcess() { EndRun(); }

void TEncodeProcess::SetUp(TWindowHandle window, const std::string &input,
                           const std::string &output, bool encode, int overwriteMode,
                           const TEncoderSettings &settings) {
  Busy = true;
  InputFile = input;
  OutputFile = output;
  NotifyWindow = window;
  IsEncode = encode;
  OverwriteMode = overwriteMode;
  Settings = settings;
}

void TEncodeProcess::StartFor(TWindowHandle window, const std::string &input,
                              const std::string &output, bool encode, int overwriteMode,
                              const TEncoderSettings &settings) {
  SetUp(window, input, output, encode, overwriteMode, settings);
  Start();
}

void TEncodeProcess::BeginRun() {
  EndRun();
  ++FRun;
  FEndSent = false;
  FSucceeded = false;
  FUnfinished = {};
}

void TEncodeProcess::EndUnstarted(TEncodeEnd why) {
  BeginRun();
  EndNotice(why);
}

std::string TEncodeProcess::ProgramPath(const std::string &program) const {
  if (program.empty())
    throw CreateProcessError(EINVAL);
  const std::string path =
      program.find('/') == std::string::npos ? FindProgram(program, ProgramFolders) : program;
  if (path.empty())
    throw CreateProcessError(ENOENT);
  return path;
}

void TEncodeProcess::Start() {
  BeginRun();
  if (!PrepareStart())
    return;
  auto child = std::make_unique<TChild>();
  child->Wake = plat::TFd(eventfd(0, EFD_CLOEXEC));
  if (child->Wake.Get() < 0)
    throw CreateProcessError(errno);
  FPart = std::make_unique<plat::TPartFile>(OutputFile);
  if (FPart->InUse()) { // another job is making the same file
    FPart.reset();
    EndNotice(encodeInUse);
    return;
  }
  const TCommandLine command = BuildCommandLine();
  FProgramName = command.Program;
  FStallSeconds = std::max(Settings.StallTime, MinStallTime);
  std::vector<std::string> arguments{command.Program};
  for (const TCommandLine::TArgument &a : command.Arguments)
    arguments.push_back(a.Text);
  ProgressColumn = 0;
  try {
    child->Process = std::make_unique<plat::TChildProcess>(ProgramPath(command.Program), arguments);
  } catch (const std::system_error &e) {
    throw CreateProcessError(e.code().value());
  }
  StartTime = std::chrono::steady_clock::now();
  const plat::TChildProcess &p = *child->Process;
  FWatcher = std::thread(Watch, p.StdOut(), p.StdErr(), p.PidFd(), child->Wake.Get(), Handle(),
                         FRun, WrittenFile(), std::chrono::seconds(FStallSeconds));
  FChild = std::move(child);
}

void TEncodeProcess::Stop(int ExitCode) {
  if (!Busy)
    return;
  Busy = false;
  EndRun();
}

void TEncodeProcess::EndRun() {
  EndChild();
  FPart.reset();
}

void TEncodeProcess::EndChild() {
  if (!FChild)
    return;
  eventfd_write(FChild->Wake.Get(), 1);
  if (FWatcher.joinable())
    FWatcher.join();
  FChild.reset(); // kills a child that still runs
}

void TEncodeProcess::WndProc(TMessage &message) {
  if (message.Msg != WM_ENCODERNEWS)
    return;
  const TNews *news = message.PayloadAs<TNews>();
  if (!news || news->Run != FRun || !FChild)
    return;
  if (news->Stream == ChildHasEnded)
    ProcessEnded();
  else if (news->Stream == ChildStalled)
    ProcessStalled();
  else
    Parse(news->Stream, news->Text);
}

void TEncodeProcess::Parse(int stream, const std::string &chunk) {
  // The encoders redraw their progress line with carriage returns; a line cut between two
  // reads is kept until its end arrives, so it is never parsed as two wrong lines.
  std::string text = FUnfinished[stream] + chunk;
  size_t lastEnd = text.find_last_of("\r\n");
  FUnfinished[stream] = lastEnd == std::string::npos ? text : text.substr(lastEnd + 1);
  if (lastEnd == std::string::npos)
    return;
  const std::uint64_t run = FRun;
  for (size_t start = 0; start <= lastEnd;) {
    size_t end = text.find_first_of("\r\n", start);
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (IsBlank(line))
      continue;
    ParseLine(line);
    if (FRun != run || FEndSent)
      return; // the notice's receiver may have started the next run or stopped this one
  }
}

void TEncodeProcess::ProcessEnded() {
  FWatcher.join(); // it has posted its last news and returns
  const int status = FChild->Process->Wait();
  EndChild();
  const std::uint64_t run = FRun;
  for (int stream = 0; stream < 2 && FRun == run && !FEndSent; ++stream)
    if (!FUnfinished[stream].empty())
      Parse(stream, "\n");
  if (FRun == run)
    ChildEnded(status);
  // A run that failed, even one whose child went on after printing its error, leaves nothing.
  if (FRun == run && !FSucceeded)
    FPart.reset();
}

void TEncodeProcess::ProcessStalled() {
  EndChild();
  std::string text =
      GetLanString("RES_Encoder_Stalled", " made no progress for %d seconds and was stopped.");
  if (const size_t at = text.find("%d"); at != std::string::npos)
    text.replace(at, 2, std::to_string(FStallSeconds));
  EndNotice(FailedSubCode(), FProgramName + text);
  FPart.reset();
}

bool TEncodeProcess::Complete() {
  const bool completed = FPart && FSucceeded && FPart->Complete();
  FPart.reset();
  return completed;
}

void TEncodeProcess::EndNotice(TEncodeEnd SubCode, const std::string &Text) {
  if (FEndSent)
    return;
  FEndSent = true;
  FSucceeded = SubCode == encodeMade;
  DeliverEndNotice(SubCode, Text);
}

void TEncodeProcess::PostProgress(int percent, const std::string &elapsed,
                                  const std::string &estimated) {
  plat::PostMessage(NotifyWindow, WM_JOBINFO, 0,
                    std::make_unique<TProcessInfo>(TProcessInfo{percent, elapsed, estimated, 0}));
}

int TEncodeProcess::SecondsRunning() const {
  std::chrono::duration<double> d = std::chrono::steady_clock::now() - StartTime;
  return static_cast<int>(std::nearbyint(d.count()));
}

std::string MinutesSeconds(int seconds) {
  return TwoDigits(seconds / 60) + ":" + TwoDigits(seconds % 60);
}
