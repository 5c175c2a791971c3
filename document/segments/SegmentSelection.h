#pragma once

// The document selection that names the active segment of a segment set by
// its index. UI thread only.

#include "document/Selection.h"

namespace My {

class SegmentSet;

class SegmentSelection : public Selection {
public:
    // set outlives the selection.
    SegmentSelection(SegmentSet* set, int index);

    int GetIndex() const { return m_index; }
    SegmentSet* GetSet() const { return m_set; }
    // Clamps index into -1 … count - 1; a new index is stored, the old and
    // the new segment are told their state changed, then the document.
    void SetIndex(int index);

    bool IsEmpty() const override;
    void Clear() override;
    bool CanDelete() const override;
    // The segment set's DeleteSelected.
    void Delete() override;
    // The other is a segment selection of the same set and index.
    bool IsSame(const Selection& other) const override;

private:
    SegmentSet* m_set;
    int m_index = -1;
};

} // namespace My
