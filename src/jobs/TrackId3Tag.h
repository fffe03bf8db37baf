#pragma once
// The ID3v1 tag of a ripped track: its title and number with the disc information (artist,
// album, year, comment and genre). The title is the list's (DiscInfo::TitleOf), which keeps
// the characters the file title dropped.
#include <cstdint>
#include <string>

// Writes the tag into the MP3 file; the result word of Tid3tag::WriteTag.
std::uint16_t WriteTrackId3Tag(const std::string &fileTitle, int track, const std::string &mp3);
