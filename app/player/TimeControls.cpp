#include "app/player/TimeControls.h"

#include "app/player/Player.h"
#include "app/timeline/TimelineGlyphs.h"
#include "document/composition/Sequence.h"
#include "widgets/core/Drawing.h"
#include "widgets/core/Strings.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace My {

std::optional<int> ParseFrameText(const std::string& text)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

std::optional<double> ParseRateText(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string FormatRate(double rate)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", rate);
    return text;
}

std::string RateSuffix(bool playing, double measured)
{
    if (!playing)
        return "fps";
    char text[48];
    std::snprintf(text, sizeof text, "fps (%.1f fps)", measured);
    return text;
}

int GoToFrameStartValue(const Sequence& sequence)
{
    return sequence.GetPreviewFrame() + sequence.GetFirstFrame();
}

void GoToFrameAnswer(Sequence& sequence, int value)
{
    // In a wider type: the answer may be any integer, the first frame
    // number too; the sequence clamps what is left.
    const long long frame = static_cast<long long>(value) - sequence.GetFirstFrame();
    sequence.SetCurrentFrame(static_cast<int>(std::clamp<long long>(frame, INT_MIN, INT_MAX)));
}

void TimeEditControl::SetSequence(Sequence* sequence)
{
    if (m_sequence)
        m_sequence->RemoveListener(this);
    m_sequence = sequence;
    if (m_sequence)
        m_sequence->AddListener(this);
    MeasureText();
    Invalidate(CRect(CPoint(0, 0), GetSize()));
}

bool TimeEditControl::GetText(std::string& out) const
{
    if (!m_sequence || m_sequence->IsEmpty())
        return false;
    out = std::to_string(m_sequence->GetPreviewFrame());
    return true;
}

void TimeEditControl::SetText(const std::string& text)
{
    const auto frame = ParseFrameText(text);
    if (frame && m_sequence && !m_sequence->IsEmpty())
        m_sequence->SetCurrentFrame(*frame);
}

void TimeEditControl::OnEvent(Event& event)
{
    if (dynamic_cast<Sequence::Event*>(&event)) {
        // The frame's number may need more room (or less): the row lays the
        // field out again when its size changes.
        MeasureText();
        Invalidate(CRect(CPoint(0, 0), GetSize()));
        return;
    }
    TextControl::OnEvent(event);
}

bool FramerateEditControl::GetText(std::string& out) const
{
    if (!m_player || m_player->IsPlaying())
        return false;
    out = FormatRate(m_player->GetPlayFramerate());
    return true;
}

void FramerateEditControl::SetText(const std::string& text)
{
    const auto rate = ParseRateText(text);
    if (rate && m_player)
        m_player->SetPlayFramerate(*rate);
}

bool FramerateEditControl::IsEnabled() const
{
    return TextControl::IsEnabled() && m_player && !m_player->IsPlaying();
}

namespace {

const ToolBar::Entry kTransport[] = {
    { 50015, "TIME_FIRST_FRAME" },
    { 50019, "TIME_PREVIOUS_FRAME" },
    { 50021, "TIME_PLAY_BACKWARD" },
    { 50022, "TIME_PAUSE" },
    { 50023, "TIME_PLAY_FORWARD" },
    { 50020, "TIME_NEXT_FRAME" },
    { 50016, "TIME_LAST_FRAME" },
    { 0, nullptr },
    { 50024, "TIME_LOOP" },
    { 0, nullptr },
    { 50034, "TIME_FOLLOW" },
};

} // namespace

TimeControls::TimeControls(bool follow)
    : m_frameRow(&m_frame, LoadString(56000))
    , m_rateRow(&m_rate)
{
    AddTimelineGlyphs();
    m_transport.SetButtonSize(19, 15);
    m_transport.SetButtons(kTransport, follow ? 11 : 9);
    m_rateRow.SetLabel(0, LoadString(56001));
    m_rateRow.SetLabel(1, m_suffix);
    AddChild(&m_transport);
    AddChild(&m_frameRow);
    AddChild(&m_rateRow);
}

TimeControls::~TimeControls()
{
    SetPlayer(nullptr);
    m_frame.SetSequence(nullptr);
    RemoveChild(&m_rateRow);
    RemoveChild(&m_frameRow);
    RemoveChild(&m_transport);
}

void TimeControls::SetSequence(Sequence* sequence)
{
    m_frame.SetSequence(sequence);
}

void TimeControls::SetPlayer(Player* player)
{
    if (m_player)
        m_player->RemoveListener(this);
    m_player = player;
    if (m_player)
        m_player->AddListener(this);
    m_rate.SetPlayer(player);
    RefreshRate();
}

void TimeControls::SetMeasuredRate(double rate)
{
    m_suffix = RateSuffix(m_player && m_player->IsPlaying(), rate);
    m_rateRow.SetLabel(1, m_suffix);
}

void TimeControls::SetRateSuffix(const std::string& suffix)
{
    if (suffix == m_suffix)
        return;
    m_suffix = suffix;
    m_rateRow.SetLabel(1, m_suffix);
}

void TimeControls::RefreshRate()
{
    m_rate.MeasureText();
    m_rate.Invalidate(CRect(CPoint(0, 0), m_rate.GetSize()));
}

void TimeControls::RefreshButtons()
{
    for (ToolButton* button : m_transport.GetButtons())
        if (button)
            button->OnUpdateUI();
}

CSize TimeControls::GetPreferredSize() const
{
    const CSize bar = m_transport.GetPreferredSize();
    return CSize(
        bar.cx + 16, bar.cy + m_frameRow.GetPreferredSize().cy + m_rateRow.GetPreferredSize().cy + 24);
}

void TimeControls::Layout()
{
    CRect area(CPoint(0, 0), GetSize());
    area.DeflateRect(8, 8);
    const CSize bar = m_transport.GetPreferredSize();
    const CRect barRect = align_rect(CRect(CPoint(0, 0), bar), area, 0x13);
    m_transport.SetBounds(barRect);
    const int frameTop = barRect.bottom + 8;
    const int frameHeight = m_frameRow.GetPreferredSize().cy;
    m_frameRow.SetBounds(CRect(area.left, frameTop, area.right, frameTop + frameHeight));
    const int rateHeight = m_rateRow.GetPreferredSize().cy;
    m_rateRow.SetBounds(
        CRect(area.left, frameTop + frameHeight, area.right, frameTop + frameHeight + rateHeight));
}

void TimeControls::OnEvent(Event& event)
{
    if (dynamic_cast<Player::PlaymodeChange*>(&event)) {
        RefreshButtons();
        if (!(m_player && m_player->IsPlaying()))
            SetMeasuredRate(0);
        RefreshRate();
        return;
    }
    Container::OnEvent(event);
}

} // namespace My
