#pragma once
// Vorbis comments, the "NAME=value" entries in UTF-8 that Ogg Vorbis, FLAC and Opus files
// carry, to and from the tag sets.
#include <string>
#include <string_view>
#include <vector>

class TCommonTags;
class TVorbisTags;

// One entry per value that is not empty, its name in capitals as players and taggers write it.
std::vector<std::string> VorbisCommentEntries(const TVorbisTags &tags);
// Stores an entry whose name (in any case) the set holds; any other entry is ignored.
void ReadVorbisComment(std::string_view entry, TVorbisTags &tags);
// The common tags of a file whose comments are in tags.
void CommonTagsOf(const TVorbisTags &tags, TCommonTags &common);
