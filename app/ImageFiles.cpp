#include "app/ImageFiles.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "platform/SafeFile.h"

namespace {
// libjpeg ends a fatal error with exit() unless told otherwise: jump back out.
struct TJpegError {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

void JpegErrorExit(j_common_ptr info) {
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  std::longjmp(error->escape, 1);
}

// Compresses into a buffer that libjpeg allocates (freed by the caller with free).
// Nothing with a destructor lives in this frame, because of the jump.
bool Compress(const TBitmap& picture, int quality, JSAMPLE* row, unsigned char** out, unsigned long* size) {
  jpeg_compress_struct info;
  TJpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegErrorExit;
  if (setjmp(error.escape)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, out, size);
  info.image_width = static_cast<JDIMENSION>(picture.Width());
  info.image_height = static_cast<JDIMENSION>(picture.Height());
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);  // baseline tables, not progressive
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const std::uint8_t* bgrx = picture.ScanLine(static_cast<int>(info.next_scanline));
    for (int x = 0; x < picture.Width(); ++x) {
      row[x * 3 + 0] = bgrx[x * 4 + 2];
      row[x * 3 + 1] = bgrx[x * 4 + 1];
      row[x * 3 + 2] = bgrx[x * 4 + 0];
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}
}  // namespace

bool SaveJPEG(const TBitmap& picture, const std::string& fileName, int quality) {
  if (picture.Empty()) return false;
  std::vector<JSAMPLE> row(static_cast<std::size_t>(picture.Width()) * 3);
  unsigned char* bytes = nullptr;
  unsigned long size = 0;
  const bool ok = Compress(picture, quality, row.data(), &bytes, &size);
  std::unique_ptr<unsigned char, decltype(&std::free)> owned(bytes, &std::free);
  if (!ok) return false;
  try {
    TSafeFileWriter writer(fileName);
    writer.Write(bytes, size);
    writer.Commit();
  } catch (const EFileError&) {
    return false;
  }
  return true;
}
