#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Shared by the fuzz targets, built both for libFuzzer (clang) and as plain replay
// programs (g++). Each target defines LLVMFuzzerTestOneInput and refuses inputs
// above its byte budget, so no single input can run for long or exhaust memory
// through sheer size.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// For readers whose only entry point is a file name: the input written to a
// file of this process's own, rewritten for every input.
std::string WriteScratchFile(const std::uint8_t* data, std::size_t size, std::string_view suffix);

}  // namespace fuzz
