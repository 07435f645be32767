#pragma once

#include "gridding/ShepardInterp.h"

class TGPX;

// The samples an interpolation run takes from the tracks.

// Thins every segment of every track in one pass: a segment's first point is
// always kept; a later point is dropped when both its latitude and its longitude
// lie within one step of the last kept point. Answers the number dropped.
int DecimateTracks(TGPX& doc, double stepLatitude, double stepLongitude);

// Appends every track point of the document as a sample (longitude, latitude,
// depth in single precision).
void AppendTrackSamples(const TGPX& doc, TPointList& coord, TValueList& depth);
