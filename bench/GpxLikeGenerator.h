#pragma once

// A deterministic GPX-like track file for the XML benchmarks: one track of
// `pointCount` points, each with lat and lon attributes, ele, time and an
// extensions element holding h:depth, about 220 bytes a point.

#include <cstdint>
#include <string>

// Writes the file; raises std::runtime_error when it cannot be written.
// Answers the number of bytes written.
std::int64_t WriteGpxLikeFile(const std::string& path, std::int64_t pointCount);

// The point count that gives a file of about `megabytes` MB.
std::int64_t GpxLikePointsForMegabytes(double megabytes);
