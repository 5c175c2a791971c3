#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace xml {
class stream;
}

// Measures where time goes: code opens named scopes, scopes nest, and each
// distinct path of scope names becomes one node of a tree that accumulates
// completed calls, the thread's processor time and the wall-clock ticks of
// the performance counter. A profiler and its scopes belong to one thread;
// the processor time measured is that thread's own.
class profiler {
public:
    struct node {
        std::string name;
        // Completed scopes.
        std::uint32_t calls_count = 0;
        // Processor time (user + kernel) in 100 ns units: of the scope itself
        // (children excluded) and including the children.
        std::uint64_t node_time = 0;
        std::uint64_t subtree_time = 0;
        // Thread time when the running scope began.
        std::uint64_t start_time = 0;
        // Performance-counter ticks: of the scope itself (children excluded)
        // and including the children.
        std::int64_t node_count = 0;
        std::int64_t subtree_count = 0;
        // Counter value when the running scope began.
        std::int64_t start_count = 0;
        // Sorted by name; the node owns its children.
        std::map<std::string, std::unique_ptr<node>> children;
    };

    // A scope lives on the stack of the code it measures; it opens in its
    // constructor and closes in stop() or its destructor. Scopes of one
    // profiler close in the reverse order of opening.
    class scope {
    public:
        scope(profiler& owner, const std::string& name);
        // Does nothing when owner is null.
        scope(profiler* owner, const std::string& name);
        ~scope();
        scope(const scope&) = delete;
        scope& operator=(const scope&) = delete;

        // Closes the scope; later calls do nothing.
        void stop();

    private:
        void open(const std::string& name);

        profiler* m_profiler = nullptr;
        node* m_node = nullptr;
        // The node that was current before; null once stopped.
        node* m_previous = nullptr;
    };

    // A root node "root" with all counters 0.
    profiler();
    // A deep copy of the other tree (names, counters, children).
    profiler(const profiler& other);
    profiler& operator=(const profiler& other);
    ~profiler();

    // Deletes the tree and starts a new root. No scope may be open.
    void reset();

    const node& root() const { return *m_root; }

private:
    friend xml::stream& operator||(xml::stream& s, profiler& p);

    std::unique_ptr<node> m_root;
    // The node of the innermost open scope, or the root.
    node* m_current = nullptr;
};

// The XML form on the element the stream addresses: "frequency" (ticks of
// the saving machine's performance counter per second; ignored on loading),
// then the root node's attributes and its children as "node" elements.
// Loading merges into the tree: each "node" element's required "name"
// selects or creates the child it fills; a missing name throws
// xml::attribute_not_found.
xml::stream& operator||(xml::stream& s, profiler& p);
