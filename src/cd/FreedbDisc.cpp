#include "FreedbDisc.h"

#include <cstdio>

namespace cddb {

namespace {

constexpr int LeadIn = 150; // frames before the address 00:02:00

int DigitSum(int n) {
  int sum = 0;
  for (; n > 0; n /= 10)
    sum += n % 10;
  return sum;
}

} // namespace

std::string DiscId(const TDiscToc &toc) {
  if (toc.Starts.empty())
    return "";
  int sum = 0;
  for (int32_t start : toc.Starts)
    sum += DigitSum((start + LeadIn) / 75);
  const uint32_t seconds = (toc.LeadOut + LeadIn) / 75 - (toc.Starts.front() + LeadIn) / 75;
  const uint32_t id = uint32_t(sum % 255) << 24 | seconds << 8 | uint32_t(toc.Starts.size());
  char text[9];
  std::snprintf(text, sizeof text, "%08x", id);
  return text;
}

std::string QueryData(const TDiscToc &toc) {
  if (toc.Starts.empty())
    return "";
  std::string data = std::to_string(toc.Starts.size());
  for (int32_t start : toc.Starts)
    data += " " + std::to_string(start + LeadIn);
  return data + " " + std::to_string((toc.LeadOut + LeadIn) / 75);
}

} // namespace cddb
