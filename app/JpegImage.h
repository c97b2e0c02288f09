// Decoding a JPEG picture held in memory with libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ravo {

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3 bytes, rows top to bottom
};

// Decodes the JPEG; on failure returns an empty image and sets error.
RgbImage DecodeJpeg(const std::uint8_t* data, std::size_t size, std::string& error);

}  // namespace ravo
