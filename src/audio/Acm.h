#pragma once
// The audio compression manager calls the WAV reader and the wave converter rely on, with their
// documented result codes and flags. The one codec behind them decodes MPEG Layer-3 audio
// stored in WAV files (format tag 85) to 16-bit PCM, through libmpg123.
#include <cstdint>

using MMRESULT = uint32_t;
using DWORD = uint32_t;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_UNPREPARED = 514;

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 85;

constexpr DWORD ACM_METRIC_MAX_SIZE_FORMAT = 50;
constexpr DWORD ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr DWORD ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
constexpr DWORD ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
constexpr DWORD ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;
constexpr DWORD ACM_STREAMOPENF_QUERY = 0x00000001;
constexpr DWORD ACM_STREAMOPENF_NONREALTIME = 0x00000004;
constexpr DWORD ACM_STREAMSIZEF_SOURCE = 0x00000000;
constexpr DWORD ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
constexpr DWORD ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr DWORD ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

#pragma pack(push, 1)
// The fixed part of a WAV format description; cbSize extra bytes may follow it.
struct WAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)

struct ACMSTREAMHEADER {
  DWORD cbStruct;
  DWORD fdwStatus;
  uintptr_t dwUser;
  uint8_t *pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  uintptr_t dwSrcUser;
  uint8_t *pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  uintptr_t dwDstUser;
  DWORD dwReservedDriver[10];
};

struct TAcmStream;
using HACMSTREAM = TAcmStream *;
using HACMDRIVER = void *;
using HACMOBJ = void *;

MMRESULT acmMetrics(HACMOBJ hao, DWORD uMetric, void *pMetric);
MMRESULT acmFormatSuggest(HACMDRIVER had, const WAVEFORMATEX *pwfxSrc, WAVEFORMATEX *pwfxDst,
                          DWORD cbwfxDst, DWORD fdwSuggest);
MMRESULT acmStreamOpen(HACMSTREAM *phas, HACMDRIVER had, const WAVEFORMATEX *pwfxSrc,
                       const WAVEFORMATEX *pwfxDst, void *pwfltr, uintptr_t dwCallback,
                       uintptr_t dwInstance, DWORD fdwOpen);
MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, DWORD *pdwOutputBytes, DWORD fdwSize);
MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER *pash, DWORD fdwPrepare);
MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER *pash, DWORD fdwConvert);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER *pash, DWORD fdwUnprepare);
MMRESULT acmStreamClose(HACMSTREAM has, DWORD fdwClose);
