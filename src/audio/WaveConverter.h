#pragma once
// Converts a whole compressed WAV file to PCM in memory through the audio compression manager.
// The stream's content is the audio data: first as read from the file, then as converted.
#include "Acm.h"
#include "Streams.h"

#include <cstdint>
#include <vector>

// SaveWaveToStream's result when writing failed.
constexpr MMRESULT MCIERR_FILE_NOT_SAVED = 286;

class TWaveConverter : public TMemoryStream {
public:
  TWaveConverter();

  // Takes the format and the audio data of a RIFF/WAVE file; leaves the content as it was
  // when the file does not start with "RIFF" ... "WAVE".
  void LoadFromWaveStream(TStream &source);
  // Converts the content from ContentFormat to TargetFormat; 0 or the first failing result.
  MMRESULT Convert();
  // Writes the content as a PCM WAV file; 0, or MCIERR_FILE_NOT_SAVED on any failure.
  MMRESULT SaveWaveToStream(TStream &target);

  // The format descriptions (a WAVEFORMATEX and its extra bytes). The caller sets the target's
  // format tag before asking the compression manager for a suggestion of TargetFormatBytes().
  WAVEFORMATEX *ContentFormat() { return reinterpret_cast<WAVEFORMATEX *>(FContentFormat.data()); }
  WAVEFORMATEX *TargetFormat() { return reinterpret_cast<WAVEFORMATEX *>(FTargetFormat.data()); }
  DWORD TargetFormatBytes() const { return static_cast<DWORD>(FTargetFormat.size()); }

private:
  void ReadFormat(TStream &source, std::int64_t length);

  DWORD FFormatBytes = 0;
  // At least 129 bytes and the largest format the manager knows; the content's grows to a
  // longer format chunk of the file (up to 64 KiB), so no copy ever runs past either.
  std::vector<std::uint8_t> FContentFormat;
  std::vector<std::uint8_t> FTargetFormat;
};
