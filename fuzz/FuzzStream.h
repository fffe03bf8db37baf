#pragma once
// The input as a memory stream, for the pipeline's inputs.
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
