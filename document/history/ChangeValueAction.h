#pragma once

// The undoable change of one value of an object, through the object's read
// and write operations.

#include "document/history/ActionHistory.h"

#include <functional>
#include <string>
#include <utility>

namespace My {

// Equal compares two values (std::equal_to by default).
template <class T, class Equal = std::equal_to<T>> class ChangeValueAction : public Action {
public:
    using Reader = std::function<T()>;
    using Writer = std::function<void(const T&)>;

    ChangeValueAction(std::string name, Reader read, Writer write, T new_value)
        : m_name(std::move(name))
        , m_read(std::move(read))
        , m_write(std::move(write))
        , m_new(std::move(new_value))
        , m_old()
    {
    }

    // Reads the old value, writes the new one and succeeds only when the
    // value read back differs from the old one (a writer that clamps to the
    // old value records nothing).
    bool Do() override
    {
        m_old = m_read();
        m_write(m_new);
        return !Equal()(m_read(), m_old);
    }
    void Undo() override { m_write(m_old); }
    void Redo() override { m_write(m_new); }
    std::string GetName() const override { return m_name; }

private:
    std::string m_name;
    Reader m_read;
    Writer m_write;
    T m_new;
    T m_old;
};

} // namespace My
