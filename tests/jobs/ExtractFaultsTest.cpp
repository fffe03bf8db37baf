// "plindar --extract" meeting the faults of a real desk: a full disk, a folder removed, lame
// killed or stopped, a second Plindar in the same folder, settings it may not write. Each run
// ends with a clear message and a non-zero status when a track was not made, and leaves no
// half-made file under a name the user keeps and every WAV whose encoding failed.
#include "ExtractProgram.h"
#include "RunProgram.h"

#include <csignal>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool Has(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

class ExtractFaults : public ExtractProgram {
protected:
  std::string Part(const std::string &name) const { return Out("." + name + ".part"); }
  void WriteOptions(const std::string &text) const {
    fs::create_directories(Config.File("Varnex/Plindar"));
    std::ofstream(OptionsFile()) << text;
  }
  // Starts an MP3 rip of the disc into out/ (with more options) and waits until lame writes the
  // first track's MP3; that lame's process id.
  pid_t Mp3RipWithLameRunning(std::unique_ptr<TRunningProgram> &run, const std::string &log,
                              std::vector<std::string> options = {}) {
    fs::create_directory(Dir.File("out"));
    options.insert(options.end(), {"--format", "mp3", "--output", Dir.File("out")});
    run = std::make_unique<TRunningProgram>(ExtractArgs(options), Dir.File(log));
    pid_t lame = 0;
    std::error_code ec;
    WaitFor([&] {
      lame = ChildNamed(run->Pid(), "lame");
      return lame != 0 && fs::file_size(Part("Track01.mp3"), ec) > 0 && !ec;
    });
    return lame;
  }
  // A long first track, so that its encoding can be caught running, and a short second one.
  void UseLongFirstTrack() { Cue = WriteAudioDisc(Dir.Path(), "Long", {3000, 75}); }
};

// The disk fills while the encoder writes the first track. On a small tmpfs mounted for the run
// in a mount namespace of its own (where mounting is permitted: as root) the disk is really
// full, and the second track's WAV does not fit either. A file size limit on the run, inherited
// by lame, with SIGXFSZ ignored so that the writes fail instead, runs everywhere; its tracks are
// too short for an encoded file to be smaller than the WAV, so only the encodings fail.
TEST_F(ExtractFaults, AFullDiskDuringTheEncodingKeepsTheWavAndNamesTheFailure) {
  const std::string out = Dir.File("out"), copy = Dir.File("copy");
  fs::create_directories(out);
  const bool mountable =
      RunProgram({"unshare", "-m", "sh", "-c", "mount -t tmpfs -o size=4k tmpfs \"$0\"", out})
          .ExitStatus == 0;
  // Room for a 600-sector WAV and four pages more.
  const uint64_t room = (44 + 600 * 2352 + 4095) / 4096 * 4 + 16;
  const struct {
    const char *Name;
    bool Mount; // a tmpfs in a mount namespace of the run's own
    std::vector<uint32_t> Sectors;
    std::string Script; // runs the command "$@" with the folder $out full
  } disks[] = {{"a tmpfs with room for the first WAV only",
                true,
                {600, 300},
                "mount -t tmpfs -o size=" + std::to_string(room) + "k tmpfs \"$out\" && \"$@\""},
               {"a file size limit of 2560 bytes",
                false,
                {1, 1},
                "(trap '' XFSZ; ulimit -f 5; exec \"$@\")"}};
  WriteOptions("[Mp3Options]\nBitRate=320\n");
  for (const auto &disk : disks) {
    const bool tmpfs = disk.Mount;
    if (tmpfs && !mountable) {
      std::cout << "full disk: no tmpfs, mounting is not permitted here\n";
      continue;
    }
    std::cout << "full disk: " << disk.Name << "\n";
    Cue = WriteAudioDisc(Dir.Path(), "Full", disk.Sectors);
    for (const std::string format : {"mp3", "ogg"}) {
      fs::remove_all(copy);
      fs::create_directories(copy);
      std::vector<std::string> argv{"sh",
                                    "-c",
                                    "out=$1 copy=$2; shift 2; " + disk.Script +
                                        "; status=$?; cp -a \"$out\"/. \"$copy\"; exit $status",
                                    "sh",
                                    out,
                                    copy};
      for (const std::string &a : ExtractArgs({"--format", format, "--output", out}))
        argv.push_back(a);
      if (tmpfs)
        argv.insert(argv.begin(), {"unshare", "-m"});
      const TRunResult run = Verified(RunProgram(argv));
      EXPECT_EQ(run.ExitStatus, 1) << disk.Name << ", " << format << ": " << run.Output;
      EXPECT_TRUE(Has(run.Output, format == "mp3" ? ".mp3: Create MP3 file error!"
                                                  : "plindar: Error writing ogg file"))
          << run.Output;
      std::vector<std::string> kept{"Rip.log", "Track01.wav"};
      if (tmpfs)
        EXPECT_TRUE(
            Has(run.Output, "plindar: " + out + "/Track02.wav could not be written in full."))
            << run.Output;
      else
        kept.push_back("Track02.wav");
      EXPECT_EQ(FolderListing(copy), kept) << disk.Name << ", " << format;
      for (size_t k = 1; k < kept.size(); ++k)
        EXPECT_EQ(WavAudio(copy + "/" + kept[k]), TestAudio(int(k), disk.Sectors[k - 1]))
            << kept[k];
      for (const std::string &name : FolderListing(out))
        fs::remove(out + "/" + name);
    }
  }
}

// In both read modes.
TEST_F(ExtractFaults, AnOutputFolderRemovedMidJobIsNamedOnceAndEndsTheRun) {
  UseLongFirstTrack();
  for (const std::vector<std::string> &mode : {std::vector<std::string>{}, {"--secure"}}) {
    SCOPED_TRACE(mode.empty() ? "raw" : "secure");
    std::unique_ptr<TRunningProgram> rip;
    ASSERT_NE(Mp3RipWithLameRunning(rip, "rip.log", mode), 0);
    fs::remove_all(Dir.File("out"));
    const TRunResult run = rip->Wait();
    EXPECT_EQ(run.ExitStatus, 1) << run.Output;
    EXPECT_EQ(run.Output,
              "plindar: " + Dir.File("out") + ",The output directory does not exist.\n");
    EXPECT_FALSE(fs::exists(Dir.File("out"))) << "a folder the user removed is not made again";
  }
}

// A lame killed or stopped mid-track fails that track with a message; the WAV stays whole, no
// part file is left, and the next track is still made.
TEST_F(ExtractFaults, ALameKilledOrStoppedMidTrackFailsOnlyThatTrack) {
  UseLongFirstTrack();
  WriteOptions("[EncoderOptions]\nStallTime=2\n");
  const struct {
    int Signal;
    const char *Message;
  } cases[] = {{SIGKILL, "Track01.mp3: Create MP3 file error!\r\nPlease check the output and "
                         "lame options or run application again. The WAV file "},
               {SIGSTOP, "plindar: lame made no progress for 2 seconds and was stopped.\n"}};
  for (const auto &c : cases) {
    std::unique_ptr<TRunningProgram> rip;
    const pid_t lame = Mp3RipWithLameRunning(rip, "rip.log");
    ASSERT_NE(lame, 0);
    kill(lame, c.Signal);
    const TRunResult run = Verified(rip->Wait(std::chrono::seconds(60)));
    EXPECT_EQ(run.ExitStatus, 1) << run.Output;
    // The file is named, and so is the WAV that stays.
    EXPECT_EQ(run.Output.rfind(Out("Track02.mp3") + "\nplindar: ", 0), 0u) << run.Output;
    EXPECT_TRUE(Has(run.Output, c.Message)) << run.Output;
    EXPECT_EQ(FolderListing(Out("")),
              (std::vector<std::string>{"Rip.log", "Track01.wav", "Track02.mp3"}));
    EXPECT_EQ(WavAudio(Out("Track01.wav")), TestAudio(1, 3000));
    EXPECT_NE(kill(lame, 0), 0) << "the stopped lame is ended";
    fs::remove_all(Dir.File("out"));
  }
}

// Interrupting the run closes its job window as a user would: the encoding in progress ends
// with its lame and leaves no part file; the track's WAV stays whole, and the log says the rip
// was stopped.
TEST_F(ExtractFaults, AnInterruptedRunClosesItsJobWindowAndLeavesNothingHalfMade) {
  UseLongFirstTrack();
  std::unique_ptr<TRunningProgram> rip;
  const pid_t lame = Mp3RipWithLameRunning(rip, "rip.log");
  ASSERT_NE(lame, 0);
  kill(rip->Pid(), SIGTERM);
  const TRunResult run = Verified(rip->Wait(std::chrono::seconds(60)));
  EXPECT_EQ(run.ExitStatus, 1) << run.Output;
  EXPECT_EQ(run.Output, "plindar: interrupted: the track in progress was not made\n");
  EXPECT_EQ(Verification, "AccurateRip: Not verified: the rip was stopped\n"
                          "  Track 01: not made\n"
                          "  Track 02: not made\n"
                          "Rip log: " +
                              Out("Rip.log") + "\n");
  EXPECT_NE(kill(lame, 0), 0) << "lame ended with the job";
  EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"Rip.log", "Track01.wav"}));
  EXPECT_EQ(WavAudio(Out("Track01.wav")), TestAudio(1, 3000));
}

// A second Plindar rips the same disc into the same folder while the first one's lame is
// encoding the first track. The second does not write into the first's files: its encoding
// of that track finds the MP3 being made and fails, saying so, and keeps its WAV; the first
// makes every file whole. Each keeps its log: the first, ending later, takes the next name.
TEST_F(ExtractFaults, ASecondRipIntoTheSameFolderLeavesTheFirstOnesFilesAlone) {
  UseLongFirstTrack();
  std::unique_ptr<TRunningProgram> first;
  const pid_t lame = Mp3RipWithLameRunning(first, "first.log");
  ASSERT_NE(lame, 0);
  kill(lame, SIGSTOP); // holds the first rip in its encoding of Track01.mp3
  const TRunResult second = Extract({"--format", "mp3", "--output", Dir.File("out")});
  kill(lame, SIGCONT);
  const TRunResult run = Verified(first->Wait());
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.mp3", "Track02.mp3"}));
  EXPECT_EQ(second.ExitStatus, 1) << second.Output;
  EXPECT_EQ(second.Output, Lines({"Track02.mp3"}) + "plindar: " + Out("Track01.mp3") +
                               "maybe be used,operate fail!\n");
  EXPECT_EQ(FolderListing(Out("")),
            (std::vector<std::string>{"Rip (2).log", "Rip.log", "Track01.mp3", "Track01.wav",
                                      "Track02.mp3"}));
  EXPECT_NE(FileText(Out("Rip.log")).find("Encoder: Failed"), std::string::npos);
  EXPECT_EQ(FileText(Out("Rip (2).log")).find("Encoder: Failed"), std::string::npos);
  EXPECT_EQ(WavAudio(Out("Track01.wav")), TestAudio(1, 3000));
  ASSERT_EQ(RunProgram({"lame", "--quiet", "--decode", Out("Track01.mp3"), Dir.File("back.wav")})
                .ExitStatus,
            0);
  EXPECT_GE(ReadWav(Dir.File("back.wav")).Samples.size(), 3000u * 588 * 2);
}

// Settings that cannot be written change nothing of a batch rip, which saves nothing. As root,
// who may write anywhere, the run is made as an unprivileged user.
TEST_F(ExtractFaults, AReadOnlySettingsFolderStillRipsWithItsSettingsAndTitles) {
  std::string id;
  {
    TImageDrives drives({Cue});
    id = DriveDiscID();
  }
  WriteOptions("[CommonOptions]\nOutputFormat=0\n");
  std::ofstream(Config.File("Varnex/Plindar/cdinfo.dat"))
      << "[" << id << "]\nTrackNumber=2\n1=Morning\n2=Evening\n";
  const std::string settings = Config.File("Varnex/Plindar");
  const std::string before =
      FileText(settings + "/options.ini") + FileText(settings + "/cdinfo.dat");
  fs::create_directories(Dir.File("out"));
  std::vector<std::string> argv = ExtractArgs({"--output", Dir.File("out")});
  const bool root = geteuid() == 0;
  if (root) {
    const uid_t nobody = 65534;
    for (const std::string &folder : {Dir.Path(), Config.Path()})
      fs::permissions(folder, fs::perms::others_read | fs::perms::others_exec,
                      fs::perm_options::add);
    ASSERT_EQ(chown(Dir.File("out").c_str(), nobody, nobody), 0);
    argv.insert(argv.begin(),
                {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
  }
  fs::permissions(settings,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const TRunResult run = Verified(RunProgram(argv));
  fs::permissions(settings, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Morning.mp3", "Evening.mp3"}));
  EXPECT_EQ(FileText(settings + "/options.ini") + FileText(settings + "/cdinfo.dat"), before);
  EXPECT_EQ(FolderListing(settings), (std::vector<std::string>{"cdinfo.dat", "options.ini"}));
}

} // namespace
