#pragma once
// A whole file read at once, and a folder's whole listing, for comparing what a test wrote or a
// program made.
#include <cstdint>
#include <string>
#include <vector>

// The file's bytes; throws std::runtime_error when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string &path);
// The file's bytes as a string; empty when it cannot be read (a file that should be gone).
std::string FileText(const std::string &path);
// The names of everything in the folder, hidden files included, sorted: a stray file shows.
std::vector<std::string> FolderListing(const std::string &folder);
// Played sound without the runs of silence (16 zero bytes or more) before, between and after
// the sounds: what a listener heard, for test audio that holds no such run itself.
std::vector<uint8_t> WithoutSilence(const std::vector<uint8_t> &played);
