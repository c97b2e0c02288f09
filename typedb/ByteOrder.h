// Reading integers stored in files byte by byte, whatever the machine's own
// byte order. The caller makes sure the bytes are there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ravo {

// The unsigned integer in the `width` bytes at `at`, least significant first.
inline std::uint64_t LittleEndianAt(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = width; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

// The unsigned 32-bit integer at `at`, most significant byte first.
inline std::uint32_t BigEndian32At(std::string_view bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

}  // namespace ravo
