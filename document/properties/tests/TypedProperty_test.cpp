// Typed properties over a small object of the test's own: accessors and
// conditions, the list forms, the common value, the text forms, the check
// box and colour box logic, span properties, enumeration tables, and the
// one recorded step of every edit.

#include "document/composition/TLComp.h"
#include "document/properties/ControlLogic.h"
#include "document/properties/EnumTable.h"
#include "document/properties/SpanProperty.h"
#include "foundation/system/exception.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <stdexcept>

namespace {

using namespace My;

struct Gadget : EditableObject {
    int number = 0;
    bool flag = false;
    Span span { 0, 10 };
    img::BGRA<unsigned char> color { 1, 2, 3, 200 };
    int writes = 0;
    PropertyTable table;
    PropertyTable& GetProperties() override { return table; }
    std::string GetTypeName() const override { return "Gadget"; }
    int GetNumber() const { return number; }
    void SetNumber(int value)
    {
        if (value < 0)
            throw xtd::exception("negative");
        number = value;
        ++writes;
    }
};

struct Other : EditableObject {
    PropertyTable table;
    PropertyTable& GetProperties() override { return table; }
    std::string GetTypeName() const override { return "Other"; }
};

// A boolean accessor that can be made unreadable and counts its reads.
struct Probe : ReadAccess<bool> {
    bool readable = true;
    bool value = false;
    mutable int reads = 0;
    bool Read(EditableObject*, bool& out) const override
    {
        ++reads;
        if (!readable)
            return false;
        out = value;
        return true;
    }
    bool IsApplicable(EditableObject*) const override { return true; }
};

template <class T> boost::shared_ptr<ReadWriteAccess<T>> Field(T Gadget::*member)
{
    struct Access : ReadWriteAccess<T>, ObjectAccess<Gadget> {
        T Gadget::*m;
        explicit Access(T Gadget::*m_)
            : m(m_)
        {
        }
        bool Read(EditableObject* o, T& out) const override
        {
            if (!Cast(o))
                return false;
            out = Cast(o)->*m;
            return true;
        }
        void Write(EditableObject* o, const T& v) const override { Cast(o)->*m = v; }
    };
    return boost::shared_ptr<ReadWriteAccess<T>>(new Access(member));
}

Property<int>& NumberProperty()
{
    static Property<int> property;
    static bool bound = false;
    if (!bound) {
        bound = true;
        property.SetReadAccess(
            ReadAccessPtr<int>(new GetObjectValueFunction<Gadget, int>(&Gadget::GetNumber)));
        property.SetWriteAccess(
            WriteAccessPtr<int>(new SetObjectValueFunction<Gadget, int>(&Gadget::SetNumber)));
    }
    return property;
}

// The current document for the time of a test: edits are recorded in its
// history.
struct DocScope {
    TLComp comp;
    Doc* previous;
    DocScope()
        : previous(SetCurrentDoc(&comp))
    {
    }
    ~DocScope() { SetCurrentDoc(previous); }
    ActionHistory& History() { return comp.GetHistory(); }
};

TEST(Conditions, UnreadableOperandsMakeNegationAndDisjunctionUnreadable)
{
    Gadget g;
    auto inner = boost::make_shared<Probe>();
    inner->readable = false;
    bool value = true;
    EXPECT_FALSE(Not(inner)->Read(&g, value));
    EXPECT_FALSE(Or(inner, boost::make_shared<Probe>())->Read(&g, value));

    // A left operand that reads true decides without the right one.
    auto left = boost::make_shared<Probe>();
    left->value = true;
    auto right = boost::make_shared<Probe>();
    right->readable = false;
    ASSERT_TRUE(Or(left, right)->Read(&g, value));
    EXPECT_TRUE(value);
    EXPECT_EQ(right->reads, 0);
    left->value = false;
    EXPECT_FALSE(Or(left, right)->Read(&g, value));
    right->readable = true;
    right->value = true;
    ASSERT_TRUE(Or(left, right)->Read(&g, value));
    EXPECT_TRUE(value);
    ASSERT_TRUE(Not(right)->Read(&g, value));
    EXPECT_FALSE(value);
}

TEST(PropertyImpl, ConditionThatCannotBeReadCountsAsNotSet)
{
    Gadget g;
    Property<int> p;
    p.SetAccess(Field(&Gadget::number));
    auto condition = boost::make_shared<Probe>();
    condition->readable = false;
    p.SetReadOnlyCondition(condition).SetEnableCondition(condition);
    EXPECT_FALSE(p.IsReadOnly(&g));
    EXPECT_TRUE(p.IsEnabled(&g));
    condition->readable = true;
    condition->value = true;
    EXPECT_TRUE(p.IsReadOnly(&g));
    EXPECT_TRUE(p.IsEnabled(&g));
    condition->value = false;
    EXPECT_FALSE(p.IsReadOnly(&g));
    EXPECT_FALSE(p.IsEnabled(&g));
}

TEST(PropertyImpl, WithoutWriteAccessEveryObjectIsReadOnlyAndWritingDoesNothing)
{
    Gadget g;
    Property<int> p;
    p.SetReadAccess(ReadAccessPtr<int>(new GetObjectValueFunction<Gadget, int>(&Gadget::GetNumber)));
    EXPECT_TRUE(p.IsReadOnly(&g));
    p.WriteValue(&g, 5);
    EXPECT_EQ(g.number, 0);
    // List forms: read-only when any is, enabled when all are; empty lists.
    EXPECT_FALSE(p.IsReadOnly(EditableList()));
    EXPECT_TRUE(p.IsEnabled(EditableList()));
    Gadget h;
    EXPECT_TRUE(p.IsReadOnly(EditableList({ &g, &h })));
}

TEST(PropertyImpl, AppliesOnlyToObjectsEveryAccessorAccepts)
{
    Gadget g;
    Other o;
    Property<int>& p = NumberProperty();
    EXPECT_TRUE(p.IsApplicable(&g));
    EXPECT_FALSE(p.IsApplicable(&o));
    int value = 0;
    EXPECT_FALSE(p.ReadValue(&o, value));
    Property<int> none;
    EXPECT_TRUE(none.IsApplicable(&o));
    EXPECT_FALSE(none.ReadValue(&g, value));
}

TEST(CommonValue, NoneForEmptyListsUnreadableObjectsOrDifferingValues)
{
    Gadget a;
    Gadget b;
    Other o;
    Property<int>& p = NumberProperty();
    int value = -1;
    std::string text;
    EXPECT_FALSE(CommonValue(p, EditableList(), value));
    EXPECT_FALSE(GetValueText(p, EditableList({ &a, &o }), text));
    a.number = 3;
    EXPECT_FALSE(GetValueText(p, EditableList({ &a, &b }), text));
    b.number = 3;
    ASSERT_TRUE(GetValueText(p, EditableList({ &a, &b }), text));
    EXPECT_EQ(text, "3");
}

TEST(ValueText, NumbersParseFromTheStartAndRefuseTextsWithoutOne)
{
    int n = 7;
    EXPECT_FALSE(ParseValue("abc", n));
    EXPECT_FALSE(ParseValue("", n));
    EXPECT_FALSE(ParseValue("99999999999", n));
    EXPECT_EQ(n, 7);
    ASSERT_TRUE(ParseValue("  -12", n));
    EXPECT_EQ(n, -12);
    ASSERT_TRUE(ParseValue("42abc", n));
    EXPECT_EQ(n, 42);
    float f = 0;
    ASSERT_TRUE(ParseValue("1e-3", f));
    EXPECT_FLOAT_EQ(f, 0.001f);
    EXPECT_EQ(FormatValue(0.1f), "0.1");
    EXPECT_EQ(FormatValue(10.0f), "10");
    EXPECT_EQ(FormatValue(3.5f), "3.5");
    EXPECT_EQ(FormatValue(-4), "-4");
}

TEST(ValueText, FrameRatesWithoutDenominatorOrPositiveNumeratorAreRefused)
{
    fraction rate(25, 1);
    EXPECT_FALSE(ParseValue("25/0", rate));
    EXPECT_FALSE(ParseValue("0", rate));
    EXPECT_FALSE(ParseValue("-30/1", rate));
    EXPECT_FALSE(ParseValue("x", rate));
    EXPECT_EQ(rate.numerator, 25);
    // An unknown rate shows as nothing, never divided by.
    EXPECT_EQ(FormatValue(fraction(0, 0)), "");
    EXPECT_EQ(FormatValue(fraction(7, 0)), "");
    EXPECT_EQ(FormatValue(fraction(50, 2)), "25");
    EXPECT_EQ(FormatValue(fraction(30000, 1001)), "30000/1001");
    EXPECT_EQ(FormatValue(fraction(-2147483647 - 1, 4294967295u)), "-2147483648/4294967295");
    ASSERT_TRUE(ParseValue("30000/1001", rate));
    EXPECT_EQ(rate.numerator, 30000);
    EXPECT_EQ(rate.denominator, 1001u);
    // A whole rate too large for hundredths reads back as written.
    ASSERT_TRUE(ParseValue(FormatValue(fraction(44949630, 1)), rate));
    EXPECT_EQ(rate.numerator, 44949630);
    EXPECT_EQ(rate.denominator, 1u);
    ASSERT_TRUE(ParseValue("29.97", rate));
    EXPECT_EQ(FormatValue(rate), "2997/100");
}

TEST(ValueText, PercentagesShowTheirDecimals)
{
    EXPECT_EQ(FormatValue(Percent<2>(0.125f)), "12.50%");
    EXPECT_EQ(FormatValue(Percent<0>(0.5f)), "50%");
    Percent<2> p(0.2f);
    EXPECT_FALSE(ParseValue("50%x", p));
    EXPECT_FLOAT_EQ(float(p), 0.2f);
    ASSERT_TRUE(ParseValue("50 %", p));
    EXPECT_FLOAT_EQ(float(p), 0.5f);
}

TEST(WriteToAll, AThrowingSetterUndoesTheEarlierWritesOfTheSameEdit)
{
    DocScope doc;
    struct Counter : EditableObject {
        PropertyTable table;
        PropertyTable& GetProperties() override { return table; }
        std::string GetTypeName() const override { return "Counter"; }
    };
    // Writes through the document: work area setters are undoable actions.
    doc.comp.CreateNew();
    Gadget a;
    Gadget b;
    const std::size_t before = doc.History().GetCount();
    EXPECT_THROW(WriteToAll(NumberProperty(), EditableList({ &a, &b }), -1), xtd::exception);
    EXPECT_EQ(doc.History().GetCount(), before);
    EXPECT_FALSE(doc.History().IsGroupOpen());

    // A setter that performs no action still leaves one entry without a name.
    ASSERT_TRUE(SetValueText(NumberProperty(), EditableList({ &a, &b }), "9"));
    EXPECT_EQ(a.number, 9);
    EXPECT_EQ(b.number, 9);
    EXPECT_EQ(doc.History().GetCount(), before + 1);
    EXPECT_EQ(doc.History().GetUndoName(), "");
    EXPECT_TRUE(doc.comp.IsModified());
    doc.History().Undo();
    EXPECT_EQ(a.number, 9);

    // Unparsable text writes nothing and records nothing.
    EXPECT_FALSE(SetValueText(NumberProperty(), EditableList({ &a }), "nine"));
    EXPECT_EQ(doc.History().GetCount(), before + 1);
}

TEST(WriteToAll, AWriteThatChangesNoValueRecordsNothingAndLeavesTheProjectUnmodified)
{
    DocScope doc;
    Gadget a;
    Gadget b;
    a.number = 4;
    b.number = 4;
    doc.History().MarkSaved();
    const std::size_t before = doc.History().GetCount();
    ASSERT_TRUE(SetValueText(NumberProperty(), EditableList({ &a, &b }), "4"));
    EXPECT_EQ(doc.History().GetCount(), before);
    EXPECT_FALSE(doc.comp.IsModified());
    EXPECT_FALSE(doc.History().IsGroupOpen());

    // One object of the list changed: the edit is recorded, although its
    // setter records no action.
    b.number = 3;
    ASSERT_TRUE(SetValueText(NumberProperty(), EditableList({ &a, &b }), "4"));
    EXPECT_EQ(doc.History().GetCount(), before + 1);
    EXPECT_TRUE(doc.comp.IsModified());

    // The same for the other controls that share the path: the colour
    // already held, and a value that cannot be read counts as changed.
    doc.History().MarkSaved();
    Property<img::BGRA<unsigned char>> color;
    color.SetAccess(Field(&Gadget::color));
    SetColorRef(color, EditableList({ &a }), 0x00010203);
    EXPECT_EQ(doc.History().GetCount(), before + 1);
    EXPECT_FALSE(doc.comp.IsModified());
    Other o;
    WriteToAll(NumberProperty(), EditableList({ &o }), 4);
    EXPECT_EQ(doc.History().GetCount(), before + 2);
}

TEST(CheckBox, MixedWithoutACommonValueAndAClickNegatesTheFirstValue)
{
    DocScope doc;
    Gadget a;
    Gadget b;
    Other o;
    Property<bool> p;
    p.SetAccess(Field(&Gadget::flag));
    EXPECT_EQ(GetCheckState(p, EditableList({ &a })), 0);
    b.flag = true;
    EXPECT_EQ(GetCheckState(p, EditableList({ &a, &b })), 2);
    ClickCheck(p, EditableList({ &a, &b }));
    EXPECT_TRUE(a.flag);
    EXPECT_TRUE(b.flag);
    EXPECT_EQ(GetCheckState(p, EditableList({ &a, &b })), 1);
    EXPECT_EQ(GetCheckState(p, EditableList({ &o })), 2);
}

TEST(ColorBox, SettingAColourKeepsTheFirstObjectsAlpha)
{
    DocScope doc;
    Gadget g;
    Property<img::BGRA<unsigned char>> p;
    p.SetAccess(Field(&Gadget::color));
    std::uint32_t ref = 0;
    ASSERT_TRUE(GetColorRef(p, EditableList({ &g }), ref));
    EXPECT_EQ(ref, 0x010203u);
    SetColorRef(p, EditableList({ &g }), 0x00AABBCC);
    EXPECT_EQ(g.color, (img::BGRA<unsigned char> { 0xAA, 0xBB, 0xCC, 200 }));
    Other o;
    EXPECT_FALSE(GetColorRef(p, EditableList({ &o }), ref));
}

TEST(SpanProperty, AFirstFrameNotBeforeTheLastIsRefusedWithAMessage)
{
    DocScope doc;
    Gadget g;
    SpanProperty p;
    p.SetAccess(Field(&Gadget::span));
    const PropertyMap* children = p.GetChildren(EditableList({ &g }));
    ASSERT_EQ(children->size(), 2u);
    EXPECT_EQ(children, p.GetChildren(EditableList()));
    EXPECT_EQ(children->begin()->first.GetText(), "First");
    EXPECT_EQ(children->rbegin()->first.GetText(), "Last");
    EXPECT_FALSE(p.GetFirst().IsReadOnly(&g));
    EXPECT_EQ(p.CreateControl(EditableList({ &g })), nullptr);
    EXPECT_FALSE(p.IsInitiallyExpanded());

    std::string text;
    ASSERT_TRUE(GetValueText(p.GetLast(), EditableList({ &g }), text));
    EXPECT_EQ(text, "10");
    try {
        SetValueText(p.GetFirst(), EditableList({ &g }), "12");
        FAIL() << "no error";
    } catch (const xtd::exception& e) {
        EXPECT_STREQ(e.what(), "The first frame 12 must come before the last frame 10.");
    }
    EXPECT_THROW(SetValueText(p.GetLast(), EditableList({ &g }), "0"), xtd::exception);
    EXPECT_EQ(g.span, (Span { 0, 10 }));
    ASSERT_TRUE(SetValueText(p.GetFirst(), EditableList({ &g }), "4"));
    EXPECT_EQ(g.span, (Span { 4, 10 }));
}

TEST(EnumTable, RowsFollowTheTablesNotTheValues)
{
    const EnumTable smooth = DisplayTable<trm::smooth_mask_method>();
    ASSERT_EQ(smooth.size(), 4u);
    EXPECT_EQ(FindEntry(smooth, 1), 3);
    EXPECT_EQ(smooth[3].label.GetText(), "Diffuse");
    EXPECT_EQ(smooth[1].value, 2);
    EXPECT_EQ(FindEntry(DisplayTable<lumvex::deinterlace_fields>(), 0), -1);
    EXPECT_EQ(FindEntry(DisplayTable<Downsample>(), 0), -1);
    EXPECT_EQ(DisplayTable<Downsample>()[1].label.GetText(), "2x2 -> 1");
    EXPECT_EQ(DisplayTable<MaskMode::Mode>().size(), 8u);
    EXPECT_EQ(DisplayTable<MaskMode::Mode>()[7].label.GetText(), "Substitute");
    EXPECT_EQ(DisplayTable<refine::information_source>()[0].label.GetText(), "Reference Frame");
    EXPECT_EQ(DisplayTable<refine::preference>()[2].label.GetText(), "Unmasked Pixels");
    EXPECT_EQ(DisplayTable<trm::mincut::information_source>()[1].label.GetText(), "Both Frames");
    EXPECT_EQ(DisplayTable<DecisionThreshold>()[1].label.GetText(), "Auto");
    EXPECT_EQ(DisplayTable<lumvex::deinterlace_method>()[1].label.GetText(), "Interpolate");
    for (const auto& row : smooth)
        EXPECT_EQ(row.label.GetId(), 0u);
}

} // namespace
