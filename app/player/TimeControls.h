#pragma once

// The "Time Controls" panel: the transport buttons, an edit field for the
// frame shown and an edit field for the playback frame rate. The buttons
// send the play commands and show their states through the command
// updates; the fields act on the sequence and on the view's player. UI
// thread only.

#include "widgets/controls/ToolBar.h"
#include "widgets/layout/LabelledWidget.h"
#include "widgets/text/TextControl.h"

#include <memory>
#include <optional>
#include <string>

namespace My {

class Player;
class Sequence;

// A whole text as an integer or a number; nothing for any other text.
std::optional<int> ParseFrameText(const std::string& text);
std::optional<double> ParseRateText(const std::string& text);
// Six significant digits: 25 reads 25, 29.97 reads 29.97.
std::string FormatRate(double rate);
// "fps", or while playing "fps (" + the measured rate with one decimal +
// " fps)".
std::string RateSuffix(bool playing, double measured);

// The go-to-frame question: it opens on the preview frame counted from the
// sequence's first frame number, and its answer (any integer; the sequence
// clamps) becomes the current frame.
int GoToFrameStartValue(const Sequence& sequence);
void GoToFrameAnswer(Sequence& sequence, int value);

// The frame shown: the sequence's preview frame; entering a frame number
// moves the current frame there (the sequence clamps it).
class TimeEditControl : public TextControl {
public:
    void SetSequence(Sequence* sequence);
    bool GetText(std::string& out) const override;
    void SetText(const std::string& text) override;
    void OnEvent(Event& event) override;

private:
    Sequence* m_sequence = nullptr;
};

// The playback rate of the view's player; no text and disabled while no
// player is bound or it is playing.
class FramerateEditControl : public TextControl {
public:
    void SetPlayer(Player* player) { m_player = player; }
    bool GetText(std::string& out) const override;
    void SetText(const std::string& text) override;
    bool IsEnabled() const override;

private:
    Player* m_player = nullptr;
};

class TimeControls : public Widget, public Container {
public:
    // With follow, all eleven transport entries; else the first nine.
    explicit TimeControls(bool follow);
    ~TimeControls() override;

    void SetSequence(Sequence* sequence);
    // Listens to the player's mode changes; binds the rate field.
    void SetPlayer(Player* player);
    // The view's measured playback rate, shown beside the rate while
    // playing.
    void SetMeasuredRate(double rate);
    // The label after the rate field, as the view measures its deliveries.
    void SetRateSuffix(const std::string& suffix);
    // The rate changed (the view's notification): the field refreshes.
    void RefreshRate();

    ToolBar& GetTransport() { return m_transport; }
    TimeEditControl& GetFrameField() { return m_frame; }
    FramerateEditControl& GetRateField() { return m_rate; }
    const std::string& GetRateSuffix() const { return m_suffix; }

    CSize GetPreferredSize() const override;
    void Layout() override;
    void OnEvent(Event& event) override;

private:
    void RefreshButtons();

    ToolBar m_transport;
    TimeEditControl m_frame;
    FramerateEditControl m_rate;
    LabelledWidget m_frameRow;
    DoublyLabelledWidget m_rateRow;
    Player* m_player = nullptr;
    std::string m_suffix = "fps";
};

} // namespace My
