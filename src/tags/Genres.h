#pragma once
// The genre list the windows show (position 0 = no genre, 1 to 148 the names in alphabetical
// order) against ID3v1 genre numbers (255 = none). The disc information stores the position
// minus one, so -1 is no genre.
#include <array>
#include <cstdint>
#include <string>

struct TGenre {
  const char *Name;
  uint8_t Id3;
};

constexpr int GenreCount = 148;
constexpr uint8_t Id3NoGenre = 255;

// Positions 1 to 148, at indexes 0 to 147.
extern const std::array<TGenre, GenreCount> GenreList;

// The genre number of a list position; 0 and positions outside 1 to 148 give 255.
uint8_t GenreToId3(int Position);
// The list position of a genre number; numbers outside 0 to 147 give 0.
int Id3ToGenre(int Id3);
// The position minus one of the first name equal to Name (case counts), or -1.
int GenreIndexOf(const std::string &Name);
