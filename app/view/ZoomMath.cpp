#include "app/view/ZoomMath.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace My::ZoomMath {

double SliderValue(double zoom, double min, double max)
{
    if (!(zoom > 0) || !std::isfinite(zoom) || !(min > 0) || max == min)
        return 0;
    return std::log(zoom / min) / std::log(max / min);
}

double SliderZoom(double value, double min, double max)
{
    if (max == min || !std::isfinite(value))
        return min;
    return min * std::pow(max / min, value);
}

std::string FormatPercent(double zoom)
{
    return std::to_string(std::lround(zoom * 100.0)) + "%";
}

std::optional<double> ParsePercent(const std::string& text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    const auto blank = [&](std::size_t k) { return k < n && (text[k] == ' ' || text[k] == '\t'); };
    while (blank(i))
        ++i;
    const std::size_t start = i;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    const std::string number = text.substr(start, i - start);
    if (i < n && text[i] == ' ' && i + 1 < n && text[i + 1] == '%')
        ++i;
    if (i < n && text[i] == '%')
        ++i;
    while (blank(i))
        ++i;
    if (i != n)
        return std::nullopt;
    const double v = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(v))
        return std::nullopt;
    return v * 0.01;
}

namespace {
constexpr const char* menu_texts[menu_steps] = { "25%", "50%", "100%", "200%", "400%", "800%", "1600%" };
constexpr double menu_zooms[menu_steps] = { 0.25, 0.5, 1.0, 2.0, 4.0, 8.0, 16.0 };
} // namespace

const char* MenuText(int id)
{
    if (id == fit_on_screen_id)
        return "Fit on Screen";
    return id >= 1 && id <= menu_steps ? menu_texts[id - 1] : "";
}

double MenuZoom(int id)
{
    return id >= 1 && id <= menu_steps ? menu_zooms[id - 1] : 0.0;
}

} // namespace My::ZoomMath
