#pragma once

// The docked property editor: a two-column list of the properties of the
// edited object (captions left, editing controls right), nested properties as
// expandable rows, and an info pane below with the help text of the selected
// property. Its caption-column width and info-pane height are kept in the
// application profile, in the section named after the editor ("Caption",
// default 125; "Info", default 75); which rows were expanded and which
// property was selected is remembered while the editor lives, so that showing
// another object of the same kind keeps the user's view. UI thread only.

#include <map>
#include <string>
#include <vector>

#include "platform/gui/gdi.h"
#include "platform/registry/profile.h"
#include "widgets/core/Container.h"
#include "widgets/core/Widget.h"
#include "widgets/properties/PropertyBase.h"
#include "widgets/properties/PropertyList.h"

namespace My {

class PropertyRow;

class PEditor : public virtual Widget, public virtual Container {
public:
    static constexpr int default_caption_width = 125;
    static constexpr int default_info_height = 75;
    static constexpr int min_info_height = 19;
    static constexpr int min_caption_width = 8;

    // The help text of the selected property.
    class InfoPanel : public Widget {
    public:
        explicit InfoPanel(PEditor& editor);
        void Draw(CDC& dc, const CRect& clip) override;

    private:
        PEditor& m_editor;
        CFont m_font;
    };

    // The splitter between the columns (a child of the list window).
    class VSplitter : public Widget {
    public:
        explicit VSplitter(PEditor& editor);
        bool OnCursor(UINT flags, const CPoint& point) override;
        void OnLeftDown(UINT flags, const CPoint& point) override;
        bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
        void Drag(UINT flags, const CPoint& point) override;

    private:
        PEditor& m_editor;
        int m_width = 0;
        int m_x = 0;
    };

    // The splitter above the info pane.
    class HSplitter : public Widget {
    public:
        explicit HSplitter(PEditor& editor);
        bool OnCursor(UINT flags, const CPoint& point) override;
        void OnLeftDown(UINT flags, const CPoint& point) override;
        bool BeginDrag(UINT flags, const CPoint& press, const CPoint& now) override;
        void Drag(UINT flags, const CPoint& point) override;

    private:
        PEditor& m_editor;
        int m_height = 0;
        int m_y = 0;
    };

    // Reads its sizes from the profile section `name`.
    explicit PEditor(const std::string& name, platform::registry_profile profile = { "Norvane", "Tavelo" });
    // Clears, then writes "Caption" and "Info" to the profile.
    ~PEditor() override;

    // Shows the object's properties (null: none).
    void SetObject(EditableObject* object);
    // Remembers the selection and the expanded rows, then removes every row.
    void Clear();

    // At least 8; a change re-lays out and repaints the list.
    void SetCaptionWidth(int width);
    int GetCaptionWidth() const { return m_captionWidth; }
    // The stored width, at most the list's client width minus 8, never
    // below 0.
    int GetEffectiveCaptionWidth() const;
    // 0 while the pane is hidden; else the stored height, at most the
    // editor's height minus 19, never below 0.
    int GetInfoHeight() const;
    int GetStoredInfoHeight() const { return m_infoHeight; }
    // At least 19; a change lays the editor out again.
    void SetInfoHeight(int height);
    void ShowInfo(bool show);
    bool IsInfoShown() const { return m_infoVisible; }

    const std::string& GetName() const { return m_name; }
    const EditableList& GetObjects() const { return m_objects; }
    PropertyList& GetList() { return m_list; }
    InfoPanel& GetInfoPanel() { return m_info; }
    VSplitter& GetVSplitter() { return m_vsplitter; }
    HSplitter& GetHSplitter() { return m_hsplitter; }
    const std::vector<PropertyRow*>& GetRootRows() const { return m_roots; }

    // Whether a property's row should open expanded: the memory when it
    // holds the property, else the property's own wish.
    bool WantsExpanded(PropertyBase* property) const;
    void RememberExpanded(PropertyBase* property, bool expanded) { m_expansion[property] = expanded; }

    void Layout() override;
    void BoundsChanged() override;
    void Draw(CDC& dc, const CRect& clip) override;
    bool OnCursor(UINT flags, const CPoint& point) override;
    // Refreshes the rows whose property changed.
    void OnUpdateUI() override;

private:
    std::string m_name;
    platform::registry_profile m_profile;
    EditableList m_objects;
    PropertyList m_list;
    InfoPanel m_info;
    VSplitter m_vsplitter;
    HSplitter m_hsplitter;
    std::vector<PropertyRow*> m_roots;
    int m_captionWidth;
    int m_infoHeight;
    bool m_infoVisible = true;
    std::map<PropertyBase*, bool> m_expansion;
    PropertyBase* m_selection = nullptr;
};

} // namespace My
