#pragma once

// What the user has selected in a document. The document hands command
// events to its current selection.

#include "widgets/core/EventDispatcher.h"

namespace My {

class Doc;

class Selection : public EventListener {
public:
    // Command events passed on by the document; the base ignores them.
    void OnEvent(Event& event) override;
    virtual ~Selection();
    virtual bool IsEmpty() const = 0;
    // Selects nothing.
    virtual void Clear() = 0;
    virtual bool CanDelete() const = 0;
    // Deletes what is selected.
    virtual void Delete() = 0;
    virtual bool IsSame(const Selection& other) const = 0;
    virtual void OnAttach();
    virtual void OnDetach();

    // The document this selection is current in, or null.
    Doc* GetOwner() const { return m_owner; }
    void SetOwner(Doc* owner) { m_owner = owner; }

protected:
    // For a selection whose contents changed: tells the owner document's
    // listeners, but only while the document is not empty.
    void NotifyChange();

private:
    Doc* m_owner = nullptr;
};

// Nothing selected.
class NullSelection : public Selection {
public:
    bool IsEmpty() const override;
    void Clear() override;
    bool CanDelete() const override;
    void Delete() override;
    // True exactly when other is a NullSelection.
    bool IsSame(const Selection& other) const override;
};

} // namespace My
