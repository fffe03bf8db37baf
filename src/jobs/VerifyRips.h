#pragma once
// Verifying the rips of one disc already on disk, made by any ripper, against the AccurateRip
// database: the tracks and table of contents of RipFiles, the disc looked up as for a rip, each
// track's checksums computed from its decoded audio. Tracks that do not match as they are get a
// second chance at the read offset the answer's sector-450 checksums point to: a drive whose
// offset the ripper did not correct shifts the whole disc by a constant number of samples.
//
// Plain C++; VerifyRips blocks its caller for the decoding and the lookup. Nothing is written.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct TVerifyOptions {
  std::string AccurateRipUrl; // the database's base
  std::chrono::milliseconds ConnectTimeout = std::chrono::seconds(10);
  std::chrono::milliseconds TotalTimeout = std::chrono::seconds(30);
  const std::atomic<bool> *Stop = nullptr; // set: the verification ends as soon as it can
  // Called as the audio is read: what is read, its percent done and the seconds of audio it holds.
  std::function<void(const std::string &what, int percent, double seconds)> Progress;
};

// The exit status of a verification: every track accurate; a track not accurate or the disc
// not in the database (or not looked up); input that is no disc's rip.
enum TVerifyStatus { vsAccurate = 0, vsNotAccurate = 1, vsUnusable = 2 };

struct TVerification {
  TVerifyStatus Status = vsUnusable;
  // vsAccurate, vsNotAccurate: the report, one line each: the table of contents used, the
  // request path, the offset search when one ran, each track "<file>: <verdict>", and
  // "N of M tracks accurate". vsUnusable: why the input cannot be verified, one line.
  std::string Report;
};

TVerification VerifyRips(const std::vector<std::string> &paths, const TVerifyOptions &options);
