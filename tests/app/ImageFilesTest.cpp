// JPEG files written from a picture.

#include <gtest/gtest.h>

#include <array>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <jpeglib.h>

#include "app/ImageFiles.h"

// ---- JPEG ------------------------------------------------------------------------------------

namespace {
struct TDecoded {
  int width = 0, height = 0, components = 0;
  bool progressive = true;
  std::vector<std::uint8_t> rgb;
  std::array<int, 3> At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

struct TDecodeError {
  jpeg_error_mgr manager;
  std::jmp_buf escape;
};

bool DecodeJpeg(const std::string& path, TDecoded& out) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  jpeg_decompress_struct info;
  TDecodeError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = [](j_common_ptr i) { std::longjmp(reinterpret_cast<TDecodeError*>(i->err)->escape, 1); };
  if (setjmp(error.escape)) {
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  out.progressive = info.progressive_mode;
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.components = info.output_components;
  out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.rgb.data() + static_cast<std::size_t>(info.output_scanline) * out.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return true;
}
}  // namespace

TEST(SaveJPEG, WritesABaselineJpegThatDecodesToThePicture) {
  TBitmap picture(64, 32);
  picture.FillRect({0, 0, 32, 32}, RGB(255, 0, 0));
  picture.FillRect({32, 0, 64, 32}, RGB(0, 0, 255));
  const std::string path = (std::filesystem::temp_directory_path() / "shoalwright_savejpeg_test.jpg").string();
  ASSERT_TRUE(SaveJPEG(picture, path, 90));
  TDecoded decoded;
  ASSERT_TRUE(DecodeJpeg(path, decoded));
  EXPECT_EQ(decoded.width, 64);
  EXPECT_EQ(decoded.height, 32);
  EXPECT_EQ(decoded.components, 3);
  EXPECT_FALSE(decoded.progressive);
  const auto red = decoded.At(12, 16);
  const auto blue = decoded.At(52, 16);
  EXPECT_GT(red[0], 240);
  EXPECT_LT(red[2], 15);
  EXPECT_GT(blue[2], 240);
  EXPECT_LT(blue[0], 15);
  std::filesystem::remove(path);
}

TEST(SaveJPEG, FailsWithoutLeavingAFileWhereItCannotWrite) {
  TBitmap picture(8, 8);
  const auto folder = std::filesystem::temp_directory_path() / "shoalwright_no_such_folder";
  EXPECT_FALSE(SaveJPEG(picture, (folder / "x.jpg").string()));
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_FALSE(SaveJPEG(TBitmap(), (std::filesystem::temp_directory_path() / "shoalwright_empty.jpg").string()));
}

