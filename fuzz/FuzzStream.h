#pragma once
// The input as a memory stream, read to its end by one of the pipeline's file inputs.
#include "AuClasses.h"
#include "Streams.h"

#include <cstddef>
#include <cstdint>
#include <memory>

inline std::unique_ptr<TMemoryStream> StreamOf(const std::uint8_t *data, std::size_t size) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->Write(data, static_cast<std::int64_t>(size));
  stream->Seek(0, TSeekOrigin::soBeginning);
  return stream;
}

// Opens the input over the bytes (its tags first, where it has them) and reads all it delivers.
template <typename TInput>
void ReadToEnd(const std::uint8_t *data, std::size_t size, void (*tags)(TInput &) = nullptr) {
  auto stream = StreamOf(data, size);
  TInput in;
  in.SetStream(stream.get());
  try {
    if (tags)
      tags(in);
    if (!in.Valid())
      return;
    in.Init();
    for (;;) {
      std::uint8_t *buffer = nullptr;
      std::uint32_t bytes = 16384;
      in.GetData(buffer, bytes);
      if (bytes == 0)
        break;
    }
    in.Flush();
  } catch (const EAuException &) {
  }
}
