#pragma once

#include "model/CommonTypes.h"

// The colour at fraction t between c0 and c1, channel by channel, each rounded to
// the nearest with halves to even. c0 unchanged unless t > 0 (also for NaN), c1
// unchanged unless t < 1.
TColor InterpolateColor(TColor c0, TColor c1, double t);
