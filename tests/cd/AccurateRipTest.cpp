// Verified rips: the checksums against an independent implementation, disc ids of known discs,
// and lookups against a local server serving answers the tests write.
#include "AccurateRip.h"
#include "AccurateRipAnswers.h"
#include "AccurateRipLookup.h"
#include "CddbServer.h"
#include "ChecksumThread.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "ripthread.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

using namespace accuraterip;

namespace {

// The sums of audio fed in blocks of awkward sizes, as a rip's reads and writes cut it, here
// or on the checksum thread of a rip.
template <typename TChecksum = TTrackChecksum>
TTrackSums SumsOf(const std::vector<uint8_t> &audio, bool first, bool last) {
  TChecksum checksum(TTrackChecksum(audio.size() / 4, first, last));
  const std::size_t blocks[] = {1, 3, 4, 2, 5 * 2352 + 7, 6, 2352 * 10};
  for (std::size_t at = 0, k = 0; at < audio.size(); ++k) {
    const std::size_t n = std::min(blocks[k % std::size(blocks)], audio.size() - at);
    checksum.Add(audio.data() + at, n);
    at += n;
  }
  return checksum.Sums();
}

uint32_t PlainPeak(const std::vector<uint8_t> &audio) {
  int peak = 0;
  for (std::size_t i = 0; i + 1 < audio.size(); i += 2)
    peak = std::max(peak, std::abs(static_cast<int16_t>(audio[i] | audio[i + 1] << 8)));
  return static_cast<uint32_t>(peak);
}

// The checksum accuraterip-checksum gives a WAV of the audio as track `track` of `total`.
uint32_t PeerChecksumOf(const TTempDir &dir, const std::vector<uint8_t> &audio, int track,
                        int total, bool v1) {
  const std::string wav = dir.File("track.wav");
  std::ofstream out(wav, std::ios::binary);
  const auto header = CDWavHeader(static_cast<uint32_t>(audio.size()));
  out.write(reinterpret_cast<const char *>(header.data()), header.size());
  out.write(reinterpret_cast<const char *>(audio.data()), audio.size());
  out.close();
  return PeerChecksum(wav, track, total, v1);
}

} // namespace

TEST(AccurateRipTest, ChecksumsMatchAnIndependentImplementation) {
  TTempDir dir;
  struct TCase {
    int Track, Total;
    uint32_t Sectors;
  };
  // First, middle and last of a disc, and the one track of a disc: each leaves out other edges.
  for (const TCase c : {TCase{1, 3, 500}, {2, 3, 461}, {3, 3, 473}, {1, 1, 452}}) {
    SCOPED_TRACE("track " + std::to_string(c.Track) + " of " + std::to_string(c.Total));
    const std::vector<uint8_t> audio = TestAudio(c.Track, c.Sectors);
    const TTrackSums sums = SumsOf(audio, c.Track == 1, c.Track == c.Total);
    EXPECT_EQ(sums.Samples, c.Sectors * 588u);
    EXPECT_EQ(sums.V1, PeerChecksumOf(dir, audio, c.Track, c.Total, true));
    EXPECT_EQ(sums.V2, PeerChecksumOf(dir, audio, c.Track, c.Total, false));
    // Sector 450 alone, as a middle track, is weighted 1..588 as the answer's frame checksum.
    const std::vector<uint8_t> frame(audio.begin() + 450 * 2352, audio.begin() + 451 * 2352);
    EXPECT_EQ(sums.Frame450, PeerChecksumOf(dir, frame, 2, 3, true));
    EXPECT_EQ(FrameChecksum(frame.data()), sums.Frame450);
    // zlib's table-driven CRC and the plain largest magnitude, against the vector code.
    EXPECT_EQ(sums.Crc32, crc32_z(0, audio.data(), audio.size()));
    EXPECT_EQ(sums.Peak, PlainPeak(audio));
    EXPECT_EQ((SumsOf<TChecksumThread>(audio, c.Track == 1, c.Track == c.Total)), sums);
  }
  // Full scale negative is the one magnitude 16 bits cannot negate.
  std::vector<uint8_t> quiet(4 * 588);
  quiet[4 * 300 + 3] = 0x80;
  EXPECT_EQ(SumsOf(quiet, false, false).Peak, 32768u);
  const std::string check = "123456789"; // CRC-32's published check value
  TTrackChecksum crc(2, false, false);
  crc.Add(reinterpret_cast<const uint8_t *>(check.data()), 4);
  crc.Add(reinterpret_cast<const uint8_t *>(check.data()) + 4, 5);
  EXPECT_EQ(crc.Sums().Crc32, 0xCBF43926u);
}

TEST(AccurateRipTest, DiscIdsAndRequestPaths) {
  struct TCase {
    const char *Disc;
    TDiscToc Toc;
    const char *Path;
  };
  const std::vector<TCase> cases = {
      // An enhanced disc of twelve audio tracks and a data track: the ids sum the audio tracks
      // only, with the lead-out after the data.
      {"enhanced",
       {{{0},
         {15537},
         {31691},
         {50866},
         {66466},
         {81202},
         {99409},
         {115920},
         {133093},
         {149847},
         {161560},
         {177682},
         {207106, false}},
        210385},
       "a/5/d/dBAR-012-0013bd5a-00b8d489-c60af50d.bin"},
      // Audio only: id1 = 0 + 300 + 750 + 1050, id2 = 1 + 2 * 300 + 3 * 750 + 4 * 1050.
      {"audio", {{{0}, {300}, {750}}, 1050}, "4/3/8/dBAR-003-00000834-00001b8b-0b000e03.bin"},
      // A data track first: the audio keeps its track numbers, 2 and 3; id1 = 11700 + 12000 +
      // 12300, id2 = 2 * 11700 + 3 * 12000 + 3 * 12300.
      {"data first",
       {{{0, false}, {11700}, {12000}}, 12300},
       "0/a/c/dBAR-002-00008ca0-0001782c-1900a403.bin"},
  };
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Disc);
    EXPECT_EQ(RequestPath(DiscIds(c.Toc)), c.Path);
  }
  EXPECT_EQ(AudioLeadOut(cases[0].Toc), 207106 - 11400);
  EXPECT_EQ(AudioLeadOut(cases[1].Toc), 1050);
  EXPECT_EQ(RequestUrl("http://host/ar/", DiscIds(cases[1].Toc)),
            std::string("http://host/ar/") + cases[1].Path);
}

namespace {

const TDiscToc Disc = {{{0}, {300}, {750}}, 1050};

} // namespace

TEST(AccurateRipTest, LookupsGiveVerdictsAndNothingUnmatchedIsAccurate) {
  const TDiscIds ids = DiscIds(Disc);
  const std::vector<TTrackSums> sums = {{0, 0x11, 0x12}, {0, 0x21, 0x22}, {0, 0x31, 0x32}};
  const auto A = TVerdict::Accurate, N = TVerdict::NotAccurate, X = TVerdict::NotInDatabase,
             F = TVerdict::NotVerified;
  struct TCase {
    const char *Name;
    std::string Answer; // "" serves nothing: 404
    std::vector<TTrackVerdict> Tracks;
    const char *Summary;
  };
  const std::string wrong = DbarResponse(ids, {{5, 0x12}, {5, 0x99}, {5, 0x32}});
  const std::vector<TCase> cases = {
      {"all accurate",
       DbarResponse(ids, {{5, 0x12}, {5, 0x22}, {5, 0x32}}),
       {{A, 5, true}, {A, 5, true}, {A, 5, true}},
       "All tracks accurately ripped"},
      {"one wrong",
       wrong,
       {{A, 5, true}, {N, 5, false}, {A, 5, true}},
       "2 of 3 tracks accurately ripped"},
      {"several responses",
       DbarResponse(ids, {{3, 0x11}, {9, 0x98}, {2, 0x77}}) +
           DbarResponse(ids, {{8, 0x55}, {7, 0x99}, {4, 0x32}}) +
           DbarResponse({3, 1, 2, 3}, {{40, 0x66}, {40, 0x21}, {40, 0x31}}),
       {{A, 3, false}, {N, 9, false}, {A, 4, true}},
       "2 of 3 tracks accurately ripped"},
      {"404", "", {{X}, {X}, {X}}, "Not in the AccurateRip database"},
      {"truncated", wrong.substr(0, wrong.size() - 1), {{F}, {F}, {F}}, "Not verified"},
      {"garbage", std::string(13 + 27, '\x03'), {{F}, {F}, {F}}, "Not verified"},
      {"another disc",
       DbarResponse({3, 1, 2, 3}, {{5, 0x12}, {5, 0x22}, {5, 0x32}}),
       {{F}, {F}, {F}},
       "Not verified"},
  };
  TCddbServer server;
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const TCase &c = cases[k];
    SCOPED_TRACE(c.Name);
    const std::string folder = "ar" + std::to_string(k);
    if (!c.Answer.empty())
      server.AddFile(folder + "/" + RequestPath(ids), c.Answer);
    const TLookupResult lookup = LookUp("http://" + server.Address() + "/" + folder, ids);
    std::vector<TTrackVerdict> verdicts;
    for (int i = 0; i < 3; ++i) {
      verdicts.push_back(lookup.Status == TLookup::Found
                             ? VerifyTrack(lookup.Responses, ids, i, sums[i])
                             : TTrackVerdict{lookup.Status == TLookup::NotInDatabase ? X : F});
      EXPECT_EQ(verdicts[i].Verdict, c.Tracks[i].Verdict) << i;
      EXPECT_EQ(verdicts[i].Confidence, c.Tracks[i].Confidence) << i;
      EXPECT_EQ(verdicts[i].V2, c.Tracks[i].V2) << i;
    }
    EXPECT_EQ(DiscSummary(lookup.Status, verdicts).substr(0, std::string(c.Summary).size()),
              c.Summary);
  }
}

TEST(AccurateRipTest, AHangingServerEndsWithinTheTimeOut) {
  TCddbServer server("hang");
  const auto start = std::chrono::steady_clock::now();
  const TLookupResult lookup = LookUp("http://" + server.Address(), DiscIds(Disc),
                                      std::chrono::seconds(1), std::chrono::seconds(2));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(lookup.Status, TLookup::Failed);
  EXPECT_NE(lookup.Why.find("in time"), std::string::npos) << lookup.Why;
  EXPECT_EQ(DiscSummary(lookup.Status, {}, lookup.Why).rfind("Not verified", 0), 0u);
}
