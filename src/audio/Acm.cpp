#include "Acm.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

struct TAcmStream {
  WAVEFORMATEX Source;
  WAVEFORMATEX Target;
  mpg123_handle *Decoder;
};

namespace {

bool IsMpegRate(uint32_t rate) {
  static const uint32_t rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
  return std::find(std::begin(rates), std::end(rates), rate) != std::end(rates);
}

bool IsMp3Source(const WAVEFORMATEX *f) {
  return f && f->wFormatTag == WAVE_FORMAT_MPEGLAYER3 && (f->nChannels == 1 || f->nChannels == 2) &&
         IsMpegRate(f->nSamplesPerSec);
}

// The PCM the decoder delivers: 16-bit at the source's rate, one or two channels.
bool IsDecodableTarget(const WAVEFORMATEX *source, const WAVEFORMATEX *f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM && f->wBitsPerSample == 16 &&
         (f->nChannels == 1 || f->nChannels == 2) && f->nSamplesPerSec == source->nSamplesPerSec &&
         f->nBlockAlign == f->nChannels * 2;
}

// An upper bound on the PCM bytes that cbInput bytes of MPEG audio can decode to: the shortest
// legal Layer-3 frame at this rate (lowest bit rate of its MPEG version) holds a whole frame of
// samples.
uint64_t PcmBound(const WAVEFORMATEX &source, const WAVEFORMATEX &target, DWORD cbInput) {
  bool mpeg1 = source.nSamplesPerSec >= 32000;
  uint64_t shortestFrame = (mpeg1 ? 144 * 32000 : 72 * 8000) / source.nSamplesPerSec;
  uint64_t samplesPerFrame = mpeg1 ? 1152 : 576;
  uint64_t frames = cbInput / shortestFrame + 2;
  return frames * samplesPerFrame * target.nBlockAlign;
}

struct TMemoryReader {
  const uint8_t *Data;
  size_t Size;
  size_t Position;
};

mpg123_ssize_t ReadMemory(void *handle, void *buffer, size_t bytes) {
  auto r = static_cast<TMemoryReader *>(handle);
  size_t n = std::min(bytes, r->Size - r->Position);
  std::memcpy(buffer, r->Data + r->Position, n);
  r->Position += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t SeekMemory(void *handle, off_t offset, int whence) {
  auto r = static_cast<TMemoryReader *>(handle);
  off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? off_t(r->Position) : off_t(r->Size);
  off_t target = base + offset;
  if (target < 0 || target > off_t(r->Size))
    return -1;
  r->Position = size_t(target);
  return target;
}

// Decodes the whole source into the destination; false when the data holds no MPEG audio of
// the target format or decodes to more than the destination holds.
bool Decode(TAcmStream &s, ACMSTREAMHEADER &h) {
  TMemoryReader reader{h.pbSrc, h.cbSrcLength, 0};
  if (mpg123_replace_reader_handle(s.Decoder, ReadMemory, SeekMemory, nullptr) != MPG123_OK ||
      mpg123_open_handle(s.Decoder, &reader) != MPG123_OK)
    return false;
  size_t used = 0;
  bool ok = true;
  for (;;) {
    unsigned char overflow[4608];
    bool full = used == h.cbDstLength;
    size_t done = 0;
    int err = full ? mpg123_read(s.Decoder, overflow, sizeof overflow, &done)
                   : mpg123_read(s.Decoder, h.pbDst + used, h.cbDstLength - used, &done);
    if (full && done > 0) {
      ok = false;
      break;
    }
    used += done;
    if (err == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(s.Decoder, &rate, &channels, &encoding);
      if (rate != long(s.Target.nSamplesPerSec) || channels != s.Target.nChannels ||
          encoding != MPG123_ENC_SIGNED_16) {
        ok = false;
        break;
      }
    } else if (err != MPG123_OK || done == 0) {
      ok = err == MPG123_DONE || err == MPG123_OK;
      break;
    }
  }
  mpg123_close(s.Decoder);
  h.cbSrcLengthUsed = h.cbSrcLength;
  h.cbDstLengthUsed = DWORD(used);
  return ok && used > 0;
}

} // namespace

MMRESULT acmMetrics(HACMOBJ hao, DWORD uMetric, void *pMetric) {
  if (!pMetric)
    return MMSYSERR_INVALPARAM;
  if (uMetric != ACM_METRIC_MAX_SIZE_FORMAT)
    return MMSYSERR_NOTSUPPORTED;
  // The largest description the codec knows: the MPEG Layer-3 one, 12 bytes past the fixed part.
  DWORD size = sizeof(WAVEFORMATEX) + 12;
  std::memcpy(pMetric, &size, sizeof size);
  return MMSYSERR_NOERROR;
}

MMRESULT acmFormatSuggest(HACMDRIVER had, const WAVEFORMATEX *pwfxSrc, WAVEFORMATEX *pwfxDst,
                          DWORD cbwfxDst, DWORD fdwSuggest) {
  const DWORD known = ACM_FORMATSUGGESTF_WFORMATTAG | ACM_FORMATSUGGESTF_NCHANNELS |
                      ACM_FORMATSUGGESTF_NSAMPLESPERSEC | ACM_FORMATSUGGESTF_WBITSPERSAMPLE;
  if (fdwSuggest & ~known)
    return MMSYSERR_INVALFLAG;
  if (!pwfxSrc || !pwfxDst || cbwfxDst < sizeof(WAVEFORMATEX))
    return MMSYSERR_INVALPARAM;
  if (!IsMp3Source(pwfxSrc))
    return ACMERR_NOTPOSSIBLE;
  // Fields the caller fixed are kept; the rest come from the source.
  WAVEFORMATEX f = *pwfxDst;
  if (!(fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG))
    f.wFormatTag = WAVE_FORMAT_PCM;
  if (!(fdwSuggest & ACM_FORMATSUGGESTF_NCHANNELS))
    f.nChannels = pwfxSrc->nChannels;
  if (!(fdwSuggest & ACM_FORMATSUGGESTF_NSAMPLESPERSEC))
    f.nSamplesPerSec = pwfxSrc->nSamplesPerSec;
  if (!(fdwSuggest & ACM_FORMATSUGGESTF_WBITSPERSAMPLE))
    f.wBitsPerSample = 16;
  f.nBlockAlign = uint16_t(f.nChannels * f.wBitsPerSample / 8);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  f.cbSize = 0;
  if (!IsDecodableTarget(pwfxSrc, &f))
    return ACMERR_NOTPOSSIBLE;
  *pwfxDst = f;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(HACMSTREAM *phas, HACMDRIVER had, const WAVEFORMATEX *pwfxSrc,
                       const WAVEFORMATEX *pwfxDst, void *pwfltr, uintptr_t dwCallback,
                       uintptr_t dwInstance, DWORD fdwOpen) {
  if (fdwOpen & ~(ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_NONREALTIME))
    return MMSYSERR_INVALFLAG;
  bool query = fdwOpen & ACM_STREAMOPENF_QUERY;
  if (phas)
    *phas = nullptr;
  if ((!phas && !query) || !pwfxSrc || !pwfxDst || pwfltr)
    return MMSYSERR_INVALPARAM;
  if (!IsMp3Source(pwfxSrc) || !IsDecodableTarget(pwfxSrc, pwfxDst))
    return ACMERR_NOTPOSSIBLE;
  if (query)
    return MMSYSERR_NOERROR;
  auto s = new (std::nothrow) TAcmStream{*pwfxSrc, *pwfxDst, nullptr};
  if (!s)
    return MMSYSERR_NOMEM;
  s->Decoder = mpg123_new(nullptr, nullptr);
  if (!s->Decoder) {
    delete s;
    return MMSYSERR_NOMEM;
  }
  mpg123_param(s->Decoder, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(s->Decoder);
  if (mpg123_format(s->Decoder, long(pwfxDst->nSamplesPerSec),
                    pwfxDst->nChannels == 1 ? MPG123_MONO : MPG123_STEREO,
                    MPG123_ENC_SIGNED_16) != MPG123_OK) {
    mpg123_delete(s->Decoder);
    delete s;
    return ACMERR_NOTPOSSIBLE;
  }
  *phas = s;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, DWORD *pdwOutputBytes, DWORD fdwSize) {
  if (!has)
    return MMSYSERR_INVALHANDLE;
  if (fdwSize != ACM_STREAMSIZEF_SOURCE)
    return MMSYSERR_INVALFLAG;
  if (!pdwOutputBytes)
    return MMSYSERR_INVALPARAM;
  uint64_t bound = PcmBound(has->Source, has->Target, cbInput);
  if (bound > UINT32_MAX) // a PCM WAV image cannot hold more
    return ACMERR_NOTPOSSIBLE;
  *pdwOutputBytes = DWORD(bound);
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER *pash, DWORD fdwPrepare) {
  if (!has)
    return MMSYSERR_INVALHANDLE;
  if (fdwPrepare != 0)
    return MMSYSERR_INVALFLAG;
  if (!pash || pash->cbStruct < sizeof(ACMSTREAMHEADER) || !pash->pbSrc || !pash->pbDst ||
      pash->cbSrcLength == 0 || pash->cbDstLength == 0)
    return MMSYSERR_INVALPARAM;
  pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER *pash, DWORD fdwConvert) {
  if (!has)
    return MMSYSERR_INVALHANDLE;
  if (fdwConvert & ~ACM_STREAMCONVERTF_BLOCKALIGN)
    return MMSYSERR_INVALFLAG;
  if (!pash || pash->cbStruct < sizeof(ACMSTREAMHEADER))
    return MMSYSERR_INVALPARAM;
  if (!(pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED))
    return ACMERR_UNPREPARED;
  bool ok = Decode(*has, *pash);
  pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
  return ok ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER *pash, DWORD fdwUnprepare) {
  if (!has)
    return MMSYSERR_INVALHANDLE;
  if (fdwUnprepare != 0)
    return MMSYSERR_INVALFLAG;
  if (!pash || pash->cbStruct < sizeof(ACMSTREAMHEADER))
    return MMSYSERR_INVALPARAM;
  if (!(pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED))
    return ACMERR_UNPREPARED;
  pash->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM has, DWORD fdwClose) {
  if (!has)
    return MMSYSERR_INVALHANDLE;
  if (fdwClose != 0)
    return MMSYSERR_INVALFLAG;
  mpg123_delete(has->Decoder);
  delete has;
  return MMSYSERR_NOERROR;
}
