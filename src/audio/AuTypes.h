#pragma once
// Types every stage of the audio pipeline shares: the pipeline's exception, the event
// callbacks, the file-output modes and the framework's rounding.
#include <cmath>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

class TComponent;

// The pipeline's error: a fixed English text, never translated.
class EAuException : public std::runtime_error {
public:
  explicit EAuException(const std::string &message) : std::runtime_error(message) {}
};

// Output events receive only the sending component; empty when unassigned.
using TOutputDoneEvent = std::function<void(TComponent *sender)>;
using TOutputProgressEvent = std::function<void(TComponent *sender)>;
using TThreadExceptionEvent = std::function<void(TComponent *sender)>;

enum TFileOutputMode : std::uint8_t { foRewrite = 0, foAppend = 1 };

namespace au {

// Rounds to the nearest integer, a tie going to the even neighbour ("banker's rounding"):
// IEEE 754's default rounding, which the floating-point unit applies unless told otherwise.
// Every rounded figure of the pipeline (sizes, positions, scaled samples) follows it.
inline std::int64_t Round(double value) { return static_cast<std::int64_t>(std::nearbyint(value)); }

} // namespace au
