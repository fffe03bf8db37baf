#pragma once
// The Vorbis comments of a ripped track, one mapping for Ogg Vorbis, FLAC and Opus: the disc
// information (artist, album, year, genre by name) with the track's own title and number, its
// own artist where it has one, its ISRC where the disc carries one, and the disc's track count. The
// disc comment goes into "comment": a player shows "title" as the track's name.
#include <string>

class TVorbisTags;

// The title is the list's (DiscInfo::TitleOf), which keeps the characters the file title
// dropped. The track count only when known (above 0).
void FillTrackComments(TVorbisTags &tags, const std::string &fileTitle, int track, int trackTotal);
