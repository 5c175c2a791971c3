#pragma once

// The numbers of the zoom controls: the logarithmic slider, the zoom text in
// percent and the zoom menu's fixed steps. Plain functions, tested headless.

#include <optional>
#include <string>

namespace My::ZoomMath {

// The slider's ends.
inline constexpr double slider_min_zoom = 0.25;
inline constexpr double slider_max_zoom = 16.0;

// value = log(z / min) / log(max / min): 100 % sits at a third of the track;
// zooms outside min..max give values below 0 or above 1. 0 when max equals
// min or z is not a positive finite number.
double SliderValue(double zoom, double min = slider_min_zoom, double max = slider_max_zoom);
// z = min x (max / min)^value.
double SliderZoom(double value, double min = slider_min_zoom, double max = slider_max_zoom);

// The zoom x 100 rounded half away from zero, then "%": 1.0 gives "100%".
std::string FormatPercent(double zoom);
// A decimal number (digits with at most one point, an optional leading sign,
// no exponent), optionally followed by "%" with or without one space;
// leading and trailing blanks are ignored. The zoom is the number x 0.01.
// Nothing for anything else, and for numbers that are not finite.
std::optional<double> ParsePercent(const std::string& text);

// The zoom menu: ids 1..7 for 25 % .. 1600 %, 1000 for "Fit on Screen".
inline constexpr int fit_on_screen_id = 1000;
inline constexpr int menu_steps = 7;
const char* MenuText(int id);
// The zoom of ids 1..7; 0 for other ids.
double MenuZoom(int id);

} // namespace My::ZoomMath
