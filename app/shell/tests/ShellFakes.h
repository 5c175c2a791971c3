#pragma once

// Headless stand-ins for the shell's tests: a document whose file hooks are
// scripted, a prompt that records the boxes and gives queued answers, an
// in-memory profile, and an application over them.

#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/shell/App.h"
#include "app/shell/Frame.h"
#include "app/shell/Profile.h"
#include "document/Doc.h"
#include "platform/gui/cursor.h"
#include "widgets/core/Prompt.h"

namespace test {

class FakeDoc : public My::Doc {
public:
    explicit FakeDoc(My::Doc* = nullptr) { }
    void Load(const std::string& path, int) override
    {
        ++loads;
        cursors.push_back(::GetCursor());
        if (failLoad)
            throw std::runtime_error("file not found");
        lastLoaded = path;
    }
    void Store(const std::string& path) override
    {
        cursors.push_back(::GetCursor());
        if (failStore)
            throw std::runtime_error("disc full");
        stored.push_back(path);
        modified = false;
    }
    bool IsModified() const override { return modified; }
    void Save() override { Store(GetFileName()); }
    void SaveAs(const std::string& path) override
    {
        Store(path);
        SetFileName(path);
    }
    void Close() override
    {
        modified = false;
        My::Doc::Close();
    }

    bool modified = false;
    bool failLoad = false;
    bool failStore = false;
    int loads = 0;
    std::string lastLoaded;
    std::vector<std::string> stored;
    // The cursor shown during each Load and Store.
    std::vector<HCURSOR> cursors;
};

class RecordingPrompt : public My::Prompt {
public:
    RecordingPrompt() { m_previous = My::SetPrompt(this); }
    ~RecordingPrompt() { My::SetPrompt(m_previous); }
    int MessageBox(const std::string& text, unsigned style) override
    {
        shown.push_back(text);
        styles.push_back(style);
        if (answers.empty())
            return My::IDOK;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::vector<std::string> shown;
    std::vector<unsigned> styles;
    std::deque<int> answers;

private:
    My::Prompt* m_previous;
};

class MemoryProfile : public Profile {
public:
    MemoryProfile() { m_previous = SetProfile(this); }
    ~MemoryProfile() override { SetProfile(m_previous); }
    int GetInt(const std::string& s, const std::string& e, int d) const override
    {
        auto it = ints.find(s + "/" + e);
        return it == ints.end() ? d : it->second;
    }
    std::string GetString(const std::string& s, const std::string& e, const std::string& d) const override
    {
        auto it = strings.find(s + "/" + e);
        return it == strings.end() ? d : it->second;
    }
    bool WriteInt(const std::string& s, const std::string& e, int v) override
    {
        ints[s + "/" + e] = v;
        return true;
    }
    bool WriteString(const std::string& s, const std::string& e, const std::string& v) override
    {
        strings[s + "/" + e] = v;
        return true;
    }
    std::map<std::string, int> ints;
    std::map<std::string, std::string> strings;

private:
    Profile* m_previous;
};

// The application over the fake document, with a frame that has no window
// and file dialogs answered from queues.
class FakeApp : public My::App<FakeDoc, My::Frame> {
public:
    FakeApp()
    {
        m_languages = { 1, 2 };
        m_defaultLanguage = 1;
    }
    // The document and the frame, without a window.
    void Build()
    {
        m_recentFiles.Read();
        m_ownDoc = std::make_unique<FakeDoc>();
        My::SetCurrentDoc(m_ownDoc.get());
        m_ownFrame = std::make_unique<My::Frame>(m_ownDoc.get());
    }
    ~FakeApp() override
    {
        m_ownFrame.reset();
        My::SetCurrentDoc(nullptr);
    }
    My::Doc* GetDoc() override { return m_ownDoc.get(); }
    My::Frame* GetMainFrame() override { return m_ownFrame.get(); }
    FakeDoc& Doc() { return *m_ownDoc; }
    bool AskOpenFileName(std::string& path, int& filter_index) override
    {
        filter_index = 0;
        path = openAnswers.empty() ? "" : openAnswers.front();
        if (!openAnswers.empty())
            openAnswers.pop_front();
        return !path.empty();
    }
    bool AskSaveFileName(std::string& path, const std::string&) override
    {
        path = saveAnswers.empty() ? "" : saveAnswers.front();
        if (!saveAnswers.empty())
            saveAnswers.pop_front();
        return !path.empty();
    }
    void Command(std::uint32_t id) { RunCommand(id); }
    std::deque<std::string> openAnswers;
    std::deque<std::string> saveAnswers;

protected:
    std::unique_ptr<FakeDoc> CreateDocument() override { return std::make_unique<FakeDoc>(); }

private:
    std::unique_ptr<FakeDoc> m_ownDoc;
    std::unique_ptr<My::Frame> m_ownFrame;
};

} // namespace test
