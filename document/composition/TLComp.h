#pragma once

// The project document: the one composition the application works on. It
// holds the footage, the work area, the current and preview frames and the
// export settings, owns its members (segment set, background layer), records
// its edits in its action history and guards closing. The application keeps
// one TLComp for the whole run; opening, creating and closing projects
// refill and empty it. UI thread only.

#include "document/Doc.h"
#include "document/composition/Sequence.h"
#include "foundation/numbers/fraction.h"
#include "widgets/core/CommandMap.h"
#include "widgets/properties/EditableObject.h"

#include <boost/shared_ptr.hpp>

#include <memory>
#include <optional>
#include <vector>

namespace lumvex {
class dll;
class footage;
} // namespace lumvex

namespace xml {
class stream;
}

class Background;
class CompositionHost;
class CompositionMember;
class ProcessorControl;
class TLSegmentSet;

class TLComp : public My::CommandTarget, public My::Doc, public My::Sequence, public My::EditableObject {
public:
    // host and processor (not owned, may be null: no footage dialog, no jobs,
    // never processing) must outlive the composition.
    explicit TLComp(CompositionHost* host = nullptr, ProcessorControl* processor = nullptr);
    // Closes first.
    ~TLComp() override;

    // My::Sequence
    bool IsEmpty() const override;
    int GetFirstFrame() const override;
    // 0 while empty.
    int GetFrameCount() const override;
    My::Span GetWorkArea() const override;
    // Clamps both ends into the footage; a clamped span that differs and is
    // not empty is set by the undoable action "Change Work Area".
    void SetWorkArea(int first, int last) override;
    int GetCurrentFrame() const override;
    // Not undoable; ignored outside the footage or when unchanged. Moves the
    // preview frame too.
    void SetCurrentFrame(int frame) override;
    int GetPreviewFrame() const override;
    void SetPreviewFrame(int frame) override;
    // {0, 0} while empty.
    types::extent<unsigned> GetFrameSize() const override;
    // The worker's idle event is not signalled.
    bool IsProcessing() const override;

    // My::Doc
    void CreateNew() override;
    // Refused (false, after a notice) while render or export jobs run; while
    // segments are processed, asks whether to cancel them and, on consent,
    // cancels all and waits for the worker to be idle, running the messages
    // posted to the UI thread meanwhile.
    bool CanClose() override;
    void Close() override;
    void Load(const std::string& path, int filter_index) override;
    void Store(const std::string& path) override;

    // The project file's two-way serialisation on the root element; `path`
    // is the project file, whose folder the footage paths are relative to.
    // Reading expects a closed composition and leaves it open, clamped to
    // its footage; its errors pass on, and Load then closes the composition.
    void Serialize(xml::stream& stream, const std::string& path);
    // The library project footage is made through (not owned; it must
    // outlive the footage). Without one, projects cannot be read.
    void SetFootageLibrary(lumvex::dll* library) { m_library = library; }
    lumvex::dll* GetFootageLibrary() const { return m_library; }

    // My::EditableObject
    My::PropertyTable& GetProperties() override;
    std::string GetTypeName() const override;

    // Routes to the members in order, then to the composition's own map.
    bool RouteCommand(My::CommandEventBase& event) override;

    // Null while empty.
    const boost::shared_ptr<lumvex::footage>& GetFootage() const { return m_footage; }
    // Installs a newly chosen footage and opens the project on it (an empty
    // pointer changes nothing else); the project counts as modified.
    void SetFootage(boost::shared_ptr<lumvex::footage> footage);
    // Loading a project sets the footage without the defaults of SetFootage.
    void SetFootagePointer(boost::shared_ptr<lumvex::footage> footage);
    // The raw switch between open (false) and closed (true).
    void SetEmpty(bool empty);

    fraction GetExportFramerate() const { return m_exportFramerate; }
    // Undoable ("Change Export Framerate"); a rate equal by cross
    // multiplication records nothing. Throws xtd::exception for a rate that
    // is not a positive number of frames per second.
    void SetExportFramerate(fraction rate);
    float GetExportInaccuracy() const { return m_exportInaccuracy; }
    // Undoable ("Change Export Inaccuracy"); a negative value becomes 0.
    void SetExportInaccuracy(float value);
    // The rate a project file's value stands for: itself when valid, 50/1
    // when its denominator is 0 or its numerator is not positive.
    static fraction ValidExportFramerate(fraction rate);

    // Render and export jobs count themselves while they live.
    void JobStarted();
    void JobEnded();
    int GetRunningJobs() const { return m_runningJobs; }

    // Takes ownership; members are offered commands in the order added.
    void AddMember(std::unique_ptr<CompositionMember> member);

    // The segments (the first member) and the background layer (the second);
    // both live as long as the composition.
    TLSegmentSet& GetSegmentSet() const { return *m_segments; }
    Background& GetBackground() const { return *m_background; }
    // Loads a background footage of the composition's frame size; a still
    // image then covers the whole composition.
    void LoadBackground();

    // May be null.
    CompositionHost* GetHost() const { return m_host; }
    ProcessorControl* GetProcessor() const { return m_processor; }

    My::CommandMap& GetCommandMap() { return m_commands; }

private:
    void StoreWorkArea(const My::Span& span);
    void StoreExportFramerate(const fraction& rate);
    void StoreExportInaccuracy(const float& value);
    void NotifyLabel(std::uint32_t id);
    void BuildCommands();

    void ReadProject(xml::stream& stream, const std::string& base);
    void WriteProject(xml::stream& stream, const std::string& base);

    CompositionHost* m_host;
    ProcessorControl* m_processor;
    lumvex::dll* m_library = nullptr;
    // Set by Load while reading: the footages standing for a missing object
    // footage and a missing background footage.
    boost::shared_ptr<lumvex::footage> m_missingFootage;
    boost::shared_ptr<lumvex::footage> m_missingBackground;
    // Opened over a missing footage: the work area as the project file held
    // it and as it was opened. The stand-in lasts only as long as the project
    // implies, so an end the user leaves where it was opened is written back
    // as the file held it, not cut to the stand-in's length.
    struct StoredWorkArea {
        bool written = false; // the file held a usable work area
        My::Span stored;
        My::Span opened;
    };
    std::optional<StoredWorkArea> m_storedWorkArea;
    boost::shared_ptr<lumvex::footage> m_footage;
    std::vector<std::unique_ptr<CompositionMember>> m_members;
    TLSegmentSet* m_segments = nullptr;
    Background* m_background = nullptr;
    My::Span m_workArea;
    int m_currentFrame = -1;
    int m_previewFrame = -1;
    bool m_empty = true;
    int m_runningJobs = 0;
    fraction m_exportFramerate;
    float m_exportInaccuracy = 1.0f;
    My::CommandMap m_commands;
};
