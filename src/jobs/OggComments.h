#pragma once
// The Vorbis comments of a ripped track: the disc information (artist, album, year, genre) with
// the track's own title and number, and its own artist where it has one. The disc comment goes into
// "comment": a player shows "title" as the track's name.
#include <string>

class TVorbisTags;

// For Ogg Vorbis: the genre as its ID3v1 number.
void FillOggComments(TVorbisTags &tags, const std::string &title, int track);
// For FLAC and Opus: the genre by name, and the disc's track count when it is known (above 0).
void FillTrackComments(TVorbisTags &tags, const std::string &title, int track, int trackTotal);
