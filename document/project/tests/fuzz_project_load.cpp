// Fuzz target: a project file opened as the program opens it, next to a
// folder of footage ("plates\shot_????.png", 40 frames, and
// "plates\back_????.png", 48 frames, both 64 x 48), then saved again and
// its segments' mask layers collected at a few frames. A load may fail;
// then the composition must be empty.

#include "document/project/tests/project_test_support.h"
#include "widgets/core/Prompt.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

struct SilentPrompt : My::Prompt {
    int MessageBox(const std::string&, unsigned) override { return My::IDOK; }
};

struct Setup {
    project_testing::Workspace workspace;
    SilentPrompt prompt;
    std::string project;
    std::string copy;
    Setup()
    {
        const std::string plates = workspace.scratch.File("plates");
        project_testing::WriteSequence(plates, "shot", 40, 64, 48);
        project_testing::WriteSequence(plates, "back", 48, 64, 48, 9);
        project = workspace.scratch.File("input.tvp");
        copy = workspace.scratch.File("saved.tvp");
        My::SetPrompt(&prompt);
    }
};

Setup& Shared()
{
    static Setup setup;
    return setup;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Setup& setup = Shared();
    project_testing::WriteFile(setup.project, std::string(reinterpret_cast<const char*>(data), size));
    TLComp comp;
    comp.SetFootageLibrary(&setup.workspace.library);
    try {
        comp.Open(setup.project, 0);
    } catch (const std::exception&) {
        My::ClearOperations();
        if (!comp.IsEmpty() || comp.GetFootage() || comp.GetSegmentSet().GetCount() != 0)
            std::abort();
        return 0;
    }
    if (comp.IsEmpty() || comp.GetFrameCount() <= 0)
        std::abort();
    const My::Span area = comp.GetWorkArea();
    if (area.first < 0 || area.last > comp.GetFrameCount() || area.last <= area.first)
        std::abort();
    for (int frame : { 0, comp.GetCurrentFrame(), comp.GetFrameCount() - 1 }) {
        std::vector<MaskLayer> layers;
        comp.GetSegmentSet().CollectMaskLayers(frame, false, layers);
    }
    comp.Store(setup.copy);
    return 0;
}
