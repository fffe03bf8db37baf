#include "WmaWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

std::string AvError(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

void Check(int result, const std::string &what) {
  if (result < 0)
    throw std::runtime_error(what + ": " + AvError(result));
}

struct TFree {
  void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
  void operator()(AVFrame *f) const { av_frame_free(&f); }
  void operator()(AVPacket *p) const { av_packet_free(&p); }
  void operator()(SwrContext *s) const { swr_free(&s); }
  void operator()(AVAudioFifo *f) const { av_audio_fifo_free(f); }
};
template <class T> using TOwned = std::unique_ptr<T, TFree>;

struct TInput {
  AVFormatContext *Format = nullptr;
  TOwned<AVCodecContext> Decoder;
  int Stream = -1;
  ~TInput() { avformat_close_input(&Format); }
};

// The output file; removed unless Finish succeeded.
struct TOutput {
  AVFormatContext *Format = nullptr;
  TOwned<AVCodecContext> Encoder;
  std::string Path;
  bool Opened = false, Finished = false;
  ~TOutput() {
    if (Format && Format->pb)
      avio_closep(&Format->pb);
    avformat_free_context(Format);
    if (Opened && !Finished) {
      std::error_code ec;
      std::filesystem::remove(Path, ec);
    }
  }
};

void OpenInput(const std::string &path, TInput &in) {
  // Only WAV is accepted: anything else the library could probe is not what was asked for.
  Check(avformat_open_input(&in.Format, path.c_str(), av_find_input_format("wav"), nullptr),
        "cannot read the WAV file \"" + path + "\"");
  Check(avformat_find_stream_info(in.Format, nullptr), "cannot read the WAV file \"" + path + "\"");
  in.Stream = av_find_best_stream(in.Format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  Check(in.Stream, "the file \"" + path + "\" holds no audio");
  const AVCodecParameters *par = in.Format->streams[in.Stream]->codecpar;
  const AVCodec *decoder = avcodec_find_decoder(par->codec_id);
  if (!decoder)
    throw std::runtime_error("the audio format of \"" + path + "\" cannot be read");
  in.Decoder.reset(avcodec_alloc_context3(decoder));
  Check(avcodec_parameters_to_context(in.Decoder.get(), par), "cannot read \"" + path + "\"");
  Check(avcodec_open2(in.Decoder.get(), decoder, nullptr), "cannot read \"" + path + "\"");
  if (in.Decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in.Decoder->ch_layout, in.Decoder->ch_layout.nb_channels);
}

void OpenOutput(const TWmaJob &job, TOutput &out) {
  out.Path = job.Output;
  Check(avformat_alloc_output_context2(&out.Format, nullptr, "asf", job.Output.c_str()),
        "cannot make an ASF file");
  const AVCodec *encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  if (!encoder)
    throw std::runtime_error("this system's libavcodec has no wmav2 encoder");
  out.Encoder.reset(avcodec_alloc_context3(encoder));
  AVCodecContext *e = out.Encoder.get();
  e->sample_fmt = AV_SAMPLE_FMT_FLTP;
  e->sample_rate = job.SampleRate;
  av_channel_layout_default(&e->ch_layout, job.Channels);
  e->bit_rate = job.BitRate;
  e->time_base = AVRational{1, job.SampleRate};
  if (out.Format->oformat->flags & AVFMT_GLOBALHEADER)
    e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(avcodec_open2(e, encoder, nullptr), "the wmav2 encoder refuses " +
                                                std::to_string(job.BitRate / 1000) + " kbit/s at " +
                                                std::to_string(job.SampleRate) + " Hz with " +
                                                std::to_string(job.Channels) + " channel(s)");
  AVStream *stream = avformat_new_stream(out.Format, nullptr);
  if (!stream)
    throw std::runtime_error("cannot make an ASF stream");
  Check(avcodec_parameters_from_context(stream->codecpar, e), "cannot make an ASF stream");
  stream->time_base = e->time_base;
  if (!job.Author.empty())
    av_dict_set(&out.Format->metadata, "author", job.Author.c_str(), 0);
  if (!job.Description.empty())
    av_dict_set(&out.Format->metadata, "comment", job.Description.c_str(), 0);
  Check(avio_open(&out.Format->pb, job.Output.c_str(), AVIO_FLAG_WRITE),
        "cannot write the file \"" + job.Output + "\"");
  out.Opened = true;
  Check(avformat_write_header(out.Format, nullptr), "cannot write the file \"" + job.Output + "\"");
}

// Moves audio from the decoder through the converter into whole encoder frames.
class TPump {
public:
  TPump(TInput &in, TOutput &out) : FIn(in), FOut(out) {
    AVCodecContext *d = in.Decoder.get();
    AVCodecContext *e = out.Encoder.get();
    SwrContext *swr = nullptr;
    Check(swr_alloc_set_opts2(&swr, &e->ch_layout, e->sample_fmt, e->sample_rate, &d->ch_layout,
                              d->sample_fmt, d->sample_rate, 0, nullptr),
          "cannot convert the audio");
    FConverter.reset(swr);
    Check(swr_init(swr), "cannot convert the audio");
    FFifo.reset(av_audio_fifo_alloc(e->sample_fmt, e->ch_layout.nb_channels, e->frame_size));
    FPacket.reset(av_packet_alloc());
    FDecoded.reset(av_frame_alloc());
    if (!FFifo || !FPacket || !FDecoded)
      throw std::runtime_error("out of memory");
  }

  // A packet of the input (nullptr flushes the decoder).
  void Decode(const AVPacket *packet) {
    Check(avcodec_send_packet(FIn.Decoder.get(), packet), "cannot decode the WAV audio");
    for (;;) {
      int r = avcodec_receive_frame(FIn.Decoder.get(), FDecoded.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
        return;
      Check(r, "cannot decode the WAV audio");
      Convert(FDecoded.get());
      av_frame_unref(FDecoded.get());
    }
  }

  // The last samples, padded with silence to whole frames. The encoder's output lags its
  // input by its initial padding, so silence goes in until the last sample has come out.
  void Finish() {
    Decode(nullptr);
    Convert(nullptr);
    while (FSamples < FConverted + FOut.Encoder->initial_padding)
      EncodeFromFifo();
    Encode(nullptr);
  }

private:
  // Decoded audio (nullptr flushes the converter).
  void Convert(const AVFrame *frame) {
    AVCodecContext *e = FOut.Encoder.get();
    int room = swr_get_out_samples(FConverter.get(), frame ? frame->nb_samples : 0);
    if (room <= 0)
      return;
    TOwned<AVFrame> converted = NewFrame(room);
    int n = swr_convert(FConverter.get(), converted->data, room,
                        frame ? const_cast<const uint8_t **>(frame->extended_data) : nullptr,
                        frame ? frame->nb_samples : 0);
    Check(n, "cannot convert the audio");
    if (av_audio_fifo_write(FFifo.get(), reinterpret_cast<void **>(converted->data), n) < n)
      throw std::runtime_error("out of memory");
    FConverted += n;
    while (av_audio_fifo_size(FFifo.get()) >= e->frame_size)
      EncodeFromFifo();
  }

  TOwned<AVFrame> NewFrame(int samples) {
    AVCodecContext *e = FOut.Encoder.get();
    TOwned<AVFrame> f(av_frame_alloc());
    if (!f)
      throw std::runtime_error("out of memory");
    f->format = e->sample_fmt;
    f->sample_rate = e->sample_rate;
    f->nb_samples = samples;
    Check(av_channel_layout_copy(&f->ch_layout, &e->ch_layout), "out of memory");
    Check(av_frame_get_buffer(f.get(), 0), "out of memory");
    return f;
  }

  void EncodeFromFifo() {
    AVCodecContext *e = FOut.Encoder.get();
    TOwned<AVFrame> f = NewFrame(e->frame_size);
    int n = av_audio_fifo_read(FFifo.get(), reinterpret_cast<void **>(f->data), e->frame_size);
    Check(n, "cannot convert the audio");
    if (n < e->frame_size)
      av_samples_set_silence(f->data, n, e->frame_size - n, e->ch_layout.nb_channels,
                             e->sample_fmt);
    f->pts = FSamples;
    FSamples += e->frame_size;
    Encode(f.get());
  }

  void Encode(const AVFrame *frame) {
    AVCodecContext *e = FOut.Encoder.get();
    Check(avcodec_send_frame(e, frame), "the wmav2 encoder failed");
    for (;;) {
      int r = avcodec_receive_packet(e, FPacket.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
        return;
      Check(r, "the wmav2 encoder failed");
      av_packet_rescale_ts(FPacket.get(), e->time_base, FOut.Format->streams[0]->time_base);
      FPacket->stream_index = 0;
      Check(av_interleaved_write_frame(FOut.Format, FPacket.get()),
            "cannot write the file \"" + FOut.Path + "\"");
    }
  }

  TInput &FIn;
  TOutput &FOut;
  TOwned<SwrContext> FConverter;
  TOwned<AVAudioFifo> FFifo;
  TOwned<AVPacket> FPacket;
  TOwned<AVFrame> FDecoded;
  int64_t FSamples = 0;   // samples given to the encoder
  int64_t FConverted = 0; // samples of the input after conversion
};

} // namespace

void WriteWma(const TWmaJob &job, const std::function<void(int)> &progress) {
  av_log_set_level(AV_LOG_QUIET); // failures are reported by our own ERROR line
  std::error_code ec;
  if (std::filesystem::equivalent(job.Input, job.Output, ec))
    throw std::runtime_error("the output file is the input file");
  TInput in;
  OpenInput(job.Input, in);
  TOutput out;
  OpenOutput(job, out);
  TPump pump(in, out);

  TOwned<AVPacket> packet(av_packet_alloc());
  int64_t size = avio_size(in.Format->pb);
  int shown = -1;
  for (;;) {
    int r = av_read_frame(in.Format, packet.get());
    if (r == AVERROR_EOF)
      break;
    Check(r, "cannot read the WAV file \"" + job.Input + "\"");
    if (packet->stream_index == in.Stream)
      pump.Decode(packet.get());
    av_packet_unref(packet.get());
    if (size > 0) {
      int percent = static_cast<int>(std::min<int64_t>(99, avio_tell(in.Format->pb) * 100 / size));
      if (percent != shown)
        progress(shown = percent);
    }
  }
  pump.Finish();
  Check(av_write_trailer(out.Format), "cannot write the file \"" + job.Output + "\"");
  if (out.Format->pb->error < 0)
    Check(out.Format->pb->error, "cannot write the file \"" + job.Output + "\"");
  Check(avio_closep(&out.Format->pb), "cannot write the file \"" + job.Output + "\"");
  out.Finished = true;
}
