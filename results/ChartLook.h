// What every chart of a study shares, so that a change to one reaches the
// others: the colours of Type I error rates and of power, the axes, and the
// lines at the nominal size and at the rate from which the report warns.
#pragma once

#include "ChartPrimitives.h"

namespace tessil::chart {

// Type I error rates and power in colours that stay apart for readers with
// the commonest colour-vision deficiencies, and apart in shape too.
inline constexpr Colour NullColour = Rgb(0xd55e00);
inline constexpr Colour PowerColour = Rgb(0x0072b2);
inline constexpr Colour AxisColour = Rgb(0x333333);
inline constexpr Colour GridColour = Rgb(0xdddddd);
inline const Pen AxisPen{AxisColour, 1, {}};
inline const Pen GridPen{GridColour, 1, {}};
// The nominal size, and the rate from which the report warns of high Type I
// error rates.
inline const Pen NominalPen{Rgb(0x444444), 1.2, {6, 4}};
inline const Pen WarningPen{Rgb(0xb00020), 1.2, {2, 3}};

}  // namespace tessil::chart
