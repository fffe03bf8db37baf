#pragma once
// The Vorbis comments of a ripped track: the disc information (artist, album, year, the ID3v1
// genre number) with the track's own title and number. The disc comment goes into "comment":
// a player shows "title" as the track's name.
#include <string>

class TVorbisTags;

void FillOggComments(TVorbisTags &tags, const std::string &title, int track);
