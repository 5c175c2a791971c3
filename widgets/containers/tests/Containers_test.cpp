#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "widgets/containers/Grid.h"
#include "widgets/containers/Tree.h"
#include "widgets/core/tests/FakeHost.h"
#include "widgets/scrolling/ScrollBox.h"

namespace {

struct Item : My::RangeItem {
    int moves = 0;
    explicit Item(int size) { SetItemSize(size); }
    void PlaceChanged() override { ++moves; }
};

struct Node : My::TreeRow {
    std::string name;
    explicit Node(std::string n)
        : name(std::move(n))
    {
        SetHeight(10);
    }
    std::string GetName() const override { return name; }
};

struct Forest {
    My::Tree tree;
    std::vector<std::unique_ptr<Node>> nodes;
    Forest() { tree.SetBounds(CRect(0, 0, 100, 50)); }
    ~Forest() { tree.Clear(); }
    Node* make(const std::string& name)
    {
        nodes.push_back(std::make_unique<Node>(name));
        return nodes.back().get();
    }
    void add(Node* parent, Node* child)
    {
        My::TreeRow* row = child;
        parent->InsertChildren(int(parent->GetChildRows().size()), &row, 1);
    }
    std::string shown()
    {
        std::string out;
        for (int i = 0; i < tree.GetRowCount(); ++i)
            out += dynamic_cast<Node*>(tree.GetRow(i))->name;
        return out;
    }
};

} // namespace

TEST(Range, OffsetsAreRecomputedFromTheFirstChangedItem)
{
    My::Range range;
    Item a(10), b(20), c(30);
    My::RangeItem* items[] = { &a, &b, &c };
    range.InsertItems(0, items, 3);
    EXPECT_EQ(range.GetTotal(), 60);
    EXPECT_EQ(c.GetStart(), 30);
    const int moves_a = a.moves;
    b.SetItemSize(5);
    EXPECT_EQ(range.GetFirstDirty(), 1);
    EXPECT_EQ(c.GetStart(), 15);
    EXPECT_EQ(a.moves, moves_a);
    EXPECT_EQ(range.ItemFromPosition(-1), -1);
    EXPECT_EQ(range.ItemFromPosition(14), 1);
    EXPECT_EQ(range.ItemFromPosition(15), 2);
    EXPECT_EQ(range.ItemFromPosition(45), 3);
    range.RemoveItems(1, 1);
    EXPECT_EQ(b.GetRangeIndex(), -1);
    EXPECT_EQ(c.GetRangeIndex(), 1);
    EXPECT_EQ(c.GetStart(), 10);
}

TEST(RowList, HiddenRowsTakeNoExtentButKeepTheirIndex)
{
    My::List list;
    list.SetBounds(CRect(0, 0, 100, 40));
    EXPECT_EQ(list.GetContentHeight(), 10);
    Node a("a"), b("b"), c("c");
    b.SetShown(false);
    My::Row* rows[] = { &a, &b, &c };
    list.InsertRows(0, rows, 3);
    EXPECT_EQ(list.GetContentHeight(), 30);
    EXPECT_EQ(b.GetIndex(), 1);
    EXPECT_EQ(c.GetBounds(), CRect(0, 10, 100, 20));
    EXPECT_EQ(list.ChildFromPoint(5, 15), &c);
    EXPECT_EQ(list.ChildFromPoint(5, 25), nullptr);
    b.SetShown(true);
    EXPECT_EQ(c.GetBounds(), CRect(0, 20, 100, 30));
    list.ScrollTo(1000);
    EXPECT_EQ(list.GetScrollY(), 0);
    list.RemoveRows(0, 2);
    EXPECT_EQ(a.GetList(), nullptr);
    EXPECT_EQ(c.GetIndex(), 0);
    EXPECT_EQ(c.GetBounds().top, 0);
    list.RemoveAll();
}

TEST(Tree, CollapsingRemovesOnlyTheActualDescendants)
{
    Forest f;
    Node *a = f.make("a"), *a1 = f.make("1"), *a2 = f.make("2"), *x = f.make("x"), *b = f.make("b");
    f.add(a, a1);
    f.add(a1, x);
    f.add(a, a2);
    x->Expand(); // expanded, but without children of its own
    My::TreeRow* roots[] = { a, b };
    f.tree.InsertRows(0, roots, 2);
    EXPECT_EQ(f.shown(), "ab");
    a->Expand();
    EXPECT_EQ(f.shown(), "a12b");
    a1->Expand();
    EXPECT_EQ(f.shown(), "a1x2b");
    a->Collapse();
    EXPECT_EQ(f.shown(), "ab");
    a->Expand();
    EXPECT_EQ(f.shown(), "a1x2b");
    EXPECT_EQ(x->GetLevel(), 2);
}

TEST(Tree, AnExpandedRowAttachedLaterBringsItsDescendants)
{
    Forest f;
    Node *a = f.make("a"), *c = f.make("c"), *d = f.make("d"), *e = f.make("e");
    f.add(c, d);
    // Not in a list: only the flag.
    c->Expand();
    EXPECT_TRUE(c->IsExpanded());
    EXPECT_EQ(f.tree.GetRowCount(), 0);
    My::TreeRow* roots[] = { a };
    f.tree.InsertRows(0, roots, 1);
    a->Expand();
    f.add(a, c);
    EXPECT_EQ(f.shown(), "acd");
    f.add(a, e);
    EXPECT_EQ(f.shown(), "acde");
    My::TreeRow* first[] = { f.make("z") };
    f.tree.InsertRows(0, first, 1);
    EXPECT_EQ(f.shown(), "zacde");
    a->ClearChildren();
    EXPECT_EQ(f.shown(), "za");
}

TEST(Tree, AClickOnTheExpanderToggles)
{
    Forest f;
    Node *a = f.make("a"), *b = f.make("b");
    f.add(a, b);
    My::TreeRow* roots[] = { a };
    f.tree.InsertRows(0, roots, 1);
    CDC dc;
    a->DrawExpander(dc, CRect(0, 0, 100, 10));
    const CRect r = a->GetExpanderRect();
    EXPECT_FALSE(r.IsRectEmpty());
    a->OnLeftDown(0, r.CenterPoint());
    a->OnLeftUp(0, r.CenterPoint());
    EXPECT_EQ(f.shown(), "ab");
    a->OnLeftDoubleClick(0, CPoint(90, 5));
    EXPECT_EQ(f.shown(), "a");
}

TEST(Grid, HiddenColumnsKeepTheirIndexButHaveNoShownPlace)
{
    My::Grid grid;
    My::Column a, b, c;
    a.SetWidth(10);
    b.SetWidth(20);
    c.SetWidth(30);
    grid.GetColumns().InsertColumn(0, &a);
    grid.GetColumns().InsertColumn(1, &c);
    b.SetShown(false);
    grid.GetColumns().InsertColumn(1, &b);
    EXPECT_EQ(grid.GetColumns().GetColumnCount(), 3);
    EXPECT_EQ(b.GetIndex(), 1);
    EXPECT_EQ(b.GetShownIndex(), -1);
    EXPECT_EQ(c.GetStart(), 10);
    b.SetShown(true);
    EXPECT_EQ(b.GetShownIndex(), 1);
    EXPECT_EQ(c.GetStart(), 30);
}

TEST(RowList, AutoScrollStepsAndKeepsADragGoing)
{
    struct Dragged : Node {
        int moves = 0;
        using Node::Node;
        void OnMouseMove(UINT, const CPoint&) override { ++moves; }
    };
    My::List list;
    list.SetBounds(CRect(0, 0, 100, 30));
    std::vector<std::unique_ptr<Dragged>> rows;
    std::vector<My::Row*> raw;
    for (int i = 0; i < 10; ++i) {
        rows.push_back(std::make_unique<Dragged>("r"));
        raw.push_back(rows.back().get());
    }
    list.InsertRows(0, raw.data(), int(raw.size()));
    list.AutoScrollTick();
    EXPECT_EQ(list.GetScrollY(), 0);
    list.SetAutoScroll(15);
    list.AutoScrollTick();
    EXPECT_EQ(list.GetScrollY(), 15);
    list.AutoScrollTick();
    list.AutoScrollTick();
    // At most the content (100 + 10) less the list's height.
    list.AutoScrollTick();
    list.AutoScrollTick();
    list.AutoScrollTick();
    EXPECT_EQ(list.GetScrollY(), 80);
    EXPECT_EQ(raw[8]->GetBounds(), CRect(0, 0, 100, 10));
    list.SetAutoScroll(0);
    list.RemoveAll();
}

TEST(RowList, AScrollBoxTakesTheContentHeightAndScrollsTheRows)
{
    My::ScrollBox box;
    auto peer = test::attach_fake(box);
    peer->client = CRect(0, 0, 100, 40);
    My::List list(&box);
    box.AddChild(&list);
    list.SetBounds(CRect(0, 0, 100, 40));
    std::vector<std::unique_ptr<Node>> rows;
    std::vector<My::Row*> raw;
    for (int i = 0; i < 10; ++i) {
        rows.push_back(std::make_unique<Node>("r"));
        raw.push_back(rows.back().get());
    }
    list.InsertRows(0, raw.data(), int(raw.size()));
    list.GetTotal();
    EXPECT_EQ(box.GetContentSize().cy, 110);
    list.ScrollTo(35);
    EXPECT_EQ(list.GetScrollY(), box.GetScrollPos().y);
    EXPECT_GT(list.GetScrollY(), 0);
    EXPECT_EQ(raw[5]->GetBounds().top, 50 - list.GetScrollY());
    list.RemoveAll();
    EXPECT_EQ(box.GetContentSize().cy, 10);
    box.RemoveChild(&list);
}
