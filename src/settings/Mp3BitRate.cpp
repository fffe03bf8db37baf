#include "Mp3BitRate.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

bool IsMp3BitRate(int kbps) {
  return std::find(Mpeg1Layer3BitRates.begin(), Mpeg1Layer3BitRates.end(), kbps) !=
         Mpeg1Layer3BitRates.end();
}

int LeadingNumber(const std::string &text) {
  const std::size_t start = std::min(text.find_first_not_of(' '), text.size());
  int value = 0;
  const char *end = text.data() + text.size();
  if (std::from_chars(text.data() + start, end, value).ec != std::errc())
    throw std::invalid_argument("'" + text.substr(start) + "' is not a valid integer value");
  return value;
}
