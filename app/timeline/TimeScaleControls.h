#pragma once

// The three controls at the bottom left of the timeline that change its
// time scale: zoom out, a logarithmic slider (0 the fit scale, 1 the
// maximum scale 50) and zoom in. They read everything from the timeline and
// repaint on its and its sequence's events. UI thread only.

#include "widgets/controls/GlyphButton.h"
#include "widgets/controls/Slider.h"

namespace My {

class Timeline;

// The slider value of a scale between the fit scale and 50; 0 when the fit
// scale is 50 or more or not positive.
double TimeScaleToSliderValue(double scale, double fit);
double SliderValueToTimeScale(double value, double fit);

class TimeScaleOut : public GlyphButton {
public:
    explicit TimeScaleOut(Timeline* timeline);
    void Click() override;
    bool IsEnabled() const override;
    std::string GetToolTipText() const override;
    void OnEvent(Event& event) override;

private:
    Timeline* m_timeline;
};

class TimeScaleIn : public GlyphButton {
public:
    explicit TimeScaleIn(Timeline* timeline);
    void Click() override;
    bool IsEnabled() const override;
    std::string GetToolTipText() const override;
    void OnEvent(Event& event) override;

private:
    Timeline* m_timeline;
};

class TimeSlider : public Slider {
public:
    explicit TimeSlider(Timeline* timeline);
    double GetValue() const override;
    void SetValue(double value) override;
    // Shown disabled while it would ignore moves, as the buttons beside it are.
    bool IsEnabled() const override;
    std::string GetToolTipText() const override;
    void OnEvent(Event& event) override;

private:
    Timeline* m_timeline;
};

} // namespace My
