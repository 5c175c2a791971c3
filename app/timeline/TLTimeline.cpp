#include "app/timeline/TLTimeline.h"

#include "document/composition/Background.h"
#include "document/composition/TLComp.h"
#include "document/segments/TLSegmentSet.h"

TLTimeline::TLTimeline(TLComp* composition)
    : m_mask(this, "Mask")
    , m_foreground(this, "Foreground")
    , m_background(this, "Background")
{
    My::TreeRow* mask = &m_mask;
    m_foreground.InsertChildren(0, &mask, 1);
    AddListener(&m_mask);
    AddListener(&m_foreground);
    AddListener(&m_background);
    m_background.SetEditedHandler([this] {
        if (m_composition)
            m_composition->GetHistory().Touch();
    });
    SetComposition(composition);
}

TLTimeline::~TLTimeline()
{
    RemoveListener(&m_mask);
    RemoveListener(&m_foreground);
    RemoveListener(&m_background);
    GetGrid().Clear();
    SetComposition(nullptr);
    m_foreground.ClearChildren();
}

void TLTimeline::SetComposition(TLComp* composition)
{
    const bool open = composition && !composition->IsEmpty();
    if (!IsEmpty() && composition != m_composition)
        OnClose();
    m_composition = composition;
    SetSequence(composition);
    m_mask.SetSegmentSet(composition ? &composition->GetSegmentSet() : nullptr);
    m_background.SetLayer(composition ? &composition->GetBackground() : nullptr);
    if (open)
        OnOpen();
}

void TLTimeline::OnOpen()
{
    Xline::OnOpen();
    if (GetGrid().GetRowCount() == 0) {
        My::TreeRow* rows[] = { &m_foreground, &m_background };
        GetGrid().InsertRows(0, rows, 2);
    }
    m_mask.Expand();
    m_foreground.Expand();
}

void TLTimeline::OnClose()
{
    m_mask.Collapse();
    m_foreground.Collapse();
    GetGrid().Clear();
    Xline::OnClose();
}
