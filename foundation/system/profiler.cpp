#include "foundation/system/profiler.h"

#include <cmath>
#include <utility>
#include <vector>

#include "foundation/xml/xml_stream.h"
#include "platform/kernel/clock.h"

namespace {

const char root_name[] = "root";

std::unique_ptr<profiler::node> make_root()
{
    auto root = std::make_unique<profiler::node>();
    root->name = root_name;
    return root;
}

// Copies the counters and, recursively, the children of one node.
void copy_tree(const profiler::node& from, profiler::node& to)
{
    to.name = from.name;
    to.calls_count = from.calls_count;
    to.node_time = from.node_time;
    to.subtree_time = from.subtree_time;
    to.start_time = from.start_time;
    to.node_count = from.node_count;
    to.subtree_count = from.subtree_count;
    to.start_count = from.start_count;
    to.children.clear();
    for (const auto& [name, child] : from.children) {
        auto copy = std::make_unique<profiler::node>();
        copy_tree(*child, *copy);
        to.children.emplace(name, std::move(copy));
    }
}

// 100 ns units and the seconds they are stored as.
constexpr double seconds_per_unit = 1e-7;
constexpr double units_per_second = 1e7;

std::uint64_t units_from_seconds(double seconds)
{
    const double units = seconds * units_per_second;
    // Negative, not-a-number or beyond 64 bits: not a time this program wrote.
    if (!(units >= 0.0 && units < 18446744073709551616.0))
        return 0;
    return static_cast<std::uint64_t>(units);
}

void write_time(xml::stream& s, const char* name, std::uint64_t units)
{
    if (units != 0)
        s.write(name, static_cast<double>(units) * seconds_per_unit);
}

void write_node(xml::stream& s, const profiler::node& n)
{
    if (n.name != root_name)
        s.write("name", n.name);
    if (n.calls_count != 0)
        s.write("calls_count", n.calls_count);
    write_time(s, "node_time", n.node_time);
    write_time(s, "subtree_time", n.subtree_time);
    if (n.node_count != 0)
        s.write("node_count", n.node_count);
    if (n.subtree_count != 0)
        s.write("subtree_count", n.subtree_count);
    for (const auto& entry : n.children) {
        xml::stream child = s.child("node");
        write_node(child, *entry.second);
    }
}

void read_attributes(const xml::stream& s, profiler::node& n)
{
    n.name = s.read<std::string>("name", root_name);
    n.calls_count = s.read<std::uint32_t>("calls_count", 0);
    n.node_time = units_from_seconds(s.read<double>("node_time", 0.0));
    n.subtree_time = units_from_seconds(s.read<double>("subtree_time", 0.0));
    n.node_count = s.read<std::int64_t>("node_count", 0);
    n.subtree_count = s.read<std::int64_t>("subtree_count", 0);
}

// Walks the elements with an explicit stack rather than recursion: a file
// may nest as deeply as the document allows.
void read_tree(const xml::stream& top, profiler::node& root)
{
    std::vector<std::pair<xml::node, profiler::node*>> pending;
    read_attributes(top, root);
    pending.emplace_back(top, &root);
    while (!pending.empty()) {
        const xml::node element = pending.back().first;
        profiler::node* const parent = pending.back().second;
        pending.pop_back();

        std::vector<xml::node> elements;
        element.select(elements, "node");
        // Siblings are read in document order, so that of two elements with
        // one name the later one's figures stay; their children are then
        // taken in the same order (the stack pops the first pushed last).
        std::vector<profiler::node*> targets;
        targets.reserve(elements.size());
        for (const xml::node& e : elements) {
            const xml::stream child(e, true);
            const std::string name = child.read_string("name");
            std::unique_ptr<profiler::node>& slot = parent->children[name];
            if (!slot)
                slot = std::make_unique<profiler::node>();
            read_attributes(child, *slot);
            targets.push_back(slot.get());
        }
        for (std::size_t i = elements.size(); i-- > 0;)
            pending.emplace_back(elements[i], targets[i]);
    }
}

} // namespace

profiler::profiler()
    : m_root(make_root())
    , m_current(m_root.get())
{
}

profiler::profiler(const profiler& other)
    : profiler()
{
    copy_tree(*other.m_root, *m_root);
}

profiler& profiler::operator=(const profiler& other)
{
    if (this != &other) {
        auto root = make_root();
        copy_tree(*other.m_root, *root);
        m_root = std::move(root);
        m_current = m_root.get();
    }
    return *this;
}

profiler::~profiler() = default;

void profiler::reset()
{
    m_root = make_root();
    m_current = m_root.get();
}

profiler::scope::scope(profiler& owner, const std::string& name)
    : m_profiler(&owner)
{
    open(name);
}

profiler::scope::scope(profiler* owner, const std::string& name)
    : m_profiler(owner)
{
    if (m_profiler)
        open(name);
}

profiler::scope::~scope()
{
    stop();
}

void profiler::scope::open(const std::string& name)
{
    m_previous = m_profiler->m_current;
    std::unique_ptr<node>& slot = m_previous->children[name];
    if (!slot) {
        slot = std::make_unique<node>();
        slot->name = name;
    }
    m_node = slot.get();
    m_profiler->m_current = m_node;
    m_node->start_time = platform::thread_cpu_time();
    m_node->start_count = platform::performance_counter();
}

void profiler::scope::stop()
{
    if (!m_previous)
        return;
    const std::uint64_t time = platform::thread_cpu_time() - m_node->start_time;
    const std::int64_t count = platform::performance_counter() - m_node->start_count;
    m_node->node_time += time;
    m_node->subtree_time += time;
    m_node->node_count += count;
    m_node->subtree_count += count;
    ++m_node->calls_count;

    m_profiler->m_current = m_previous;
    // A node's own figures exclude its children's; the root is never timed.
    if (m_previous != m_profiler->m_root.get()) {
        m_previous->node_time -= time;
        m_previous->node_count -= count;
    }
    m_previous = nullptr;
}

xml::stream& operator||(xml::stream& s, profiler& p)
{
    if (s.reading) {
        read_tree(s, *p.m_root);
    } else {
        s.write("frequency", platform::performance_frequency());
        write_node(s, *p.m_root);
    }
    return s;
}
