#include "fuzz/FuzzInput.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>

namespace fuzz {

std::string WriteScratchFile(const std::uint8_t* data, std::size_t size, std::string_view suffix) {
  // /dev/shm keeps the millions of rewrites off the disk where it exists.
  static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  const std::string path =
      folder + "/shoalwright-fuzz-" + std::to_string(getpid()) + std::string(suffix);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + path);
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) throw std::runtime_error("cannot write " + path);
  return path;
}

}  // namespace fuzz
