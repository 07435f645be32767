#pragma once

#include <string>

#include "platform/Bitmap.h"

// Writes the picture as a baseline JPEG (three channels, rows in red, green, blue
// order, the library's defaults otherwise) with the given quality. The file is
// written beside the target and renamed over it only when complete; false, with
// the target untouched, when it cannot be written.
bool SaveJPEG(const TBitmap& picture, const std::string& fileName, int quality = 90);
