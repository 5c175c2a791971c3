// The footage page and the composition's bindings: what each row shows of
// the footage, the drop-downs shown only while the footage is deinterlaced,
// changes of field and method made at once and recorded as an entry that
// undo does not revert, and the work area, current frame and export
// settings edited through their typed properties.

#include "document/composition/TLComp.h"
#include "document/properties/ControlLogic.h"
#include "document/properties/FootagePage.h"
#include "document/tests/segment_test_support.h"
#include "engine/tests/memory_footage.h"
#include "foundation/system/exception.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

namespace {

using My::EditableList;
using segment_testing::PromptScope;

img::image<img::BGRA<unsigned char>> Frame(unsigned width, unsigned height)
{
    return img::image<img::BGRA<unsigned char>>(width, height, 4);
}

class FakeFootage : public trm::testing::memory_footage {
public:
    FakeFootage(int frames, unsigned width, unsigned height)
        : memory_footage(std::vector<img::image<img::BGRA<unsigned char>>>(
            static_cast<std::size_t>(frames), Frame(width, height)))
    {
    }
    void set_fields(lumvex::deinterlace_fields f) override { fields_ = f; }
    lumvex::deinterlace_fields fields() const override { return fields_; }
    void set_method(lumvex::deinterlace_method m) override { method_ = m; }
    lumvex::deinterlace_method method() const override { return method_; }
    fraction frame_rate() const override { return rate; }
    bool has_alpha() const override { return true; }

    lumvex::deinterlace_fields fields_ = lumvex::deinterlace_fields::off;
    lumvex::deinterlace_method method_ = lumvex::deinterlace_method::duplicate;
    fraction rate { 0, 0 };
};

struct Comp {
    PromptScope prompts;
    TLComp comp;
    My::Doc* previous;
    boost::shared_ptr<FakeFootage> footage;
    explicit Comp(int frames = 100, unsigned width = 72, unsigned height = 57)
        : previous(My::SetCurrentDoc(&comp))
        , footage(boost::make_shared<FakeFootage>(frames, width, height))
    {
        comp.SetFootage(footage);
    }
    ~Comp() { My::SetCurrentDoc(previous); }

    My::PropertyBase& Row(std::uint32_t id)
    {
        for (const auto& [label, p] : comp.GetProperties().GetMap())
            if (label.GetId() == id)
                return *p;
        ADD_FAILURE() << id;
        return *comp.GetProperties().GetMap().begin()->second;
    }
    My::PropertyBase& FootageRow(std::uint32_t id)
    {
        const My::PropertyMap* children = Row(51013).GetChildren(EditableList({ &comp }));
        for (const auto& [label, p] : *children)
            if (label.GetId() == id)
                return *p;
        ADD_FAILURE() << id;
        return *children->begin()->second;
    }
    template <class T> My::BasicProperty<T>& Typed(std::uint32_t id)
    {
        return dynamic_cast<My::BasicProperty<T>&>(FootageRow(id));
    }
    template <class T> std::string Text(My::PropertyBase& p)
    {
        std::string text = "(none)";
        My::GetValueText(dynamic_cast<My::BasicProperty<T>&>(p), EditableList({ &comp }), text);
        return text;
    }
};

TEST(FootagePage, WithoutFootageNoRowShowsAValueAndNothingCanBeWritten)
{
    PromptScope prompts;
    TLComp comp;
    My::Doc* previous = My::SetCurrentDoc(&comp);
    const EditableList list({ &comp });
    const My::PropertyMap* rows = nullptr;
    for (const auto& [label, p] : comp.GetProperties().GetMap())
        if (label.GetId() == 51013)
            rows = p->GetChildren(list);
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->size(), 9u);
    for (const auto& [label, p] : *rows) {
        std::string text;
        if (auto* s = dynamic_cast<My::BasicProperty<std::string>*>(p)) {
            EXPECT_FALSE(My::GetValueText(*s, list, text));
        }
        if (auto* b = dynamic_cast<My::BasicProperty<bool>*>(p)) {
            EXPECT_EQ(My::GetCheckState(*b, list), 2);
        }
    }
    auto& field
        = dynamic_cast<My::BasicProperty<lumvex::deinterlace_fields>&>(*std::prev(rows->end(), 2)->second);
    EXPECT_EQ(My::ChooseEntry(field, list, 0), -1);
    My::SetCurrentDoc(previous);
}

TEST(FootagePage, RowsDescribeTheFootage)
{
    Comp c(1, 720, 576);
    const EditableList list({ &c.comp });
    EXPECT_EQ(c.Text<std::string>(c.FootageRow(50100)), "frames in memory");
    EXPECT_EQ(My::GetCheckState(c.Typed<bool>(50101), list), 1);
    EXPECT_EQ(c.Text<int>(c.FootageRow(50102)), "1");
    EXPECT_EQ(c.Text<std::string>(c.FootageRow(50103)), "720 x 576");
    EXPECT_EQ(My::GetCheckState(c.Typed<bool>(50104), list), 1);
    // No known rate: the empty text.
    EXPECT_EQ(c.Text<fraction>(c.FootageRow(50105)), "");
    c.footage->rate = fraction(30000, 1001);
    EXPECT_EQ(c.Text<fraction>(c.FootageRow(50105)), "30000/1001");
    EXPECT_EQ(My::GetCheckState(c.Typed<bool>(50106), list), 0);
    for (std::uint32_t id : { 50100u, 50101u, 50102u, 50103u, 50104u, 50105u, 50106u })
        EXPECT_TRUE(c.FootageRow(id).IsReadOnly(list)) << id;
    EXPECT_FALSE(c.FootageRow(50107).IsReadOnly(list));
}

TEST(FootagePage, DeinterlacingEditorsShowOnlyWhileDeinterlacedAndChangesAreNotUndone)
{
    Comp c;
    const EditableList list({ &c.comp });
    auto& field = c.Typed<lumvex::deinterlace_fields>(50107);
    auto& method = c.Typed<lumvex::deinterlace_method>(50108);
    EXPECT_FALSE(field.IsEnabled(list));
    EXPECT_FALSE(method.IsEnabled(list));
    EXPECT_EQ(My::CurrentEntry(field, list), -1);

    c.footage->fields_ = lumvex::deinterlace_fields::upper_first;
    EXPECT_TRUE(field.IsEnabled(list));
    EXPECT_EQ(My::GetCheckState(c.Typed<bool>(50106), list), 1);
    EXPECT_EQ(My::CurrentEntry(field, list), 0);
    c.comp.GetHistory().MarkSaved();
    const std::size_t entries = c.comp.GetHistory().GetCount();
    EXPECT_EQ(My::ChooseEntry(field, list, 1), 1);
    EXPECT_EQ(c.footage->fields_, lumvex::deinterlace_fields::lower_first);
    EXPECT_EQ(My::ChooseEntry(method, list, 1), 1);
    EXPECT_EQ(c.footage->method_, lumvex::deinterlace_method::interpolate);
    EXPECT_EQ(c.comp.GetHistory().GetCount(), entries + 2);
    EXPECT_EQ(c.comp.GetHistory().GetUndoName(), "");
    EXPECT_TRUE(c.comp.IsModified());
    c.comp.GetHistory().Undo();
    EXPECT_EQ(c.footage->method_, lumvex::deinterlace_method::interpolate);
}

TEST(CompositionBindings, WorkAreaCurrentFrameAndExportSettingsEditThroughTheirSetters)
{
    Comp c;
    const EditableList list({ &c.comp });
    auto& work = dynamic_cast<My::StructProperty<My::Span>&>(c.Row(51011));
    const My::PropertyMap* ends = work.GetChildren(list);
    auto& first = dynamic_cast<My::BasicProperty<int>&>(*ends->begin()->second);
    auto& last = dynamic_cast<My::BasicProperty<int>&>(*ends->rbegin()->second);
    std::string text;
    ASSERT_TRUE(My::GetValueText(last, list, text));
    EXPECT_EQ(text, "100");
    My::SetValueText(first, list, "10");
    EXPECT_EQ(c.comp.GetWorkArea(), (My::Span { 10, 100 }));
    EXPECT_EQ(c.comp.GetHistory().GetUndoName(), "Change Work Area");
    EXPECT_THROW(My::SetValueText(last, list, "5"), xtd::exception);
    EXPECT_EQ(c.comp.GetWorkArea(), (My::Span { 10, 100 }));
    c.comp.GetHistory().Undo();
    EXPECT_EQ(c.comp.GetWorkArea(), (My::Span { 0, 100 }));

    auto& current = dynamic_cast<My::BasicProperty<int>&>(c.Row(51012));
    My::SetValueText(current, list, "42");
    EXPECT_EQ(c.comp.GetCurrentFrame(), 42);

    const My::PropertyMap* exports = c.Row(51056).GetChildren(list);
    auto& rate = dynamic_cast<My::BasicProperty<fraction>&>(*exports->begin()->second);
    auto& inaccuracy = dynamic_cast<My::BasicProperty<float>&>(*exports->rbegin()->second);
    EXPECT_FALSE(My::SetValueText(rate, list, "25/0"));
    ASSERT_TRUE(My::SetValueText(rate, list, "30000/1001"));
    EXPECT_EQ(c.comp.GetExportFramerate().denominator, 1001u);
    EXPECT_EQ(c.comp.GetHistory().GetUndoName(), "Change Export Framerate");
    My::SetValueText(inaccuracy, list, "0.25");
    EXPECT_EQ(c.comp.GetExportInaccuracy(), 0.25f);
    c.comp.GetHistory().Undo();
    EXPECT_EQ(c.comp.GetExportInaccuracy(), 1.0f);
}

} // namespace
