// Saving and loading a project with one segment of 1,000 processed 720 x 576
// frames (crisp mask, grey mask and contour on each), and, as the reference
// in the same run, the XML library alone parsing and writing the same file
// (what any project reader pays before it builds a single object). Counters:
// the file's size, the memory the loaded project keeps, the peak resident
// growth while loading, and the decoded masks the load holds (every crisp
// mask is decoded on load; grey masks stay encoded until asked for).

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "document/project/tests/project_test_support.h"
#include "xmldoc/sarnel.h"

namespace {

using namespace project_testing;

constexpr unsigned kWidth = 720;
constexpr unsigned kHeight = 576;
constexpr int kFrames = 1000;

// A disc of radius r around (cx, cy): crisp inside, a soft edge in grey.
void Disc(trm::frame_record& record, double cx, double cy, double r)
{
    record.bit_mask = img::image<img::bit>(kWidth, kHeight, 4);
    img::image<unsigned char> grey(kWidth, kHeight, 4);
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x) {
            const double d = std::hypot(x - cx, y - cy) - r;
            record.bit_mask.at(x, y) = d < 0;
            grey.row(y)[x] = d < -2 ? 255 : d > 2 ? 0 : static_cast<unsigned char>(255 * (2 - d) / 4);
        }
    record.grey_mask.encode(grey);
    for (int i = 0; i < 96; ++i) {
        const double a = i * 3.14159265358979 * 2 / 96;
        record.contour.push_back(
            { static_cast<float>(cx + r * std::cos(a)), static_cast<float>(cy + r * std::sin(a)) });
    }
}

struct Fixture {
    Workspace workspace;
    std::string path;
    std::size_t bytes = 0;

    Fixture()
    {
        TLComp comp;
        comp.SetFootageLibrary(&workspace.library);
        comp.SetFootage(workspace.library.create_footage(
            WriteSequence(workspace.scratch.File("plates"), "shot", kFrames, kWidth, kHeight)));
        TLSegment* segment = comp.GetSegmentSet().CreateSegment(0);
        segment->SetMask(Blob(kWidth, kHeight, 300, 200, 120), "");
        segment->SetTimeSpan(0, kFrames);
        trm::param params;
        params.smooth_mask = trm::smooth_mask_method::diffuse;
        params.decrease_mask_freedom = true;
        segment->SetParams(params);
        SegmentData& engine = *segment->GetEngine();
        engine.set_range({ 0, kFrames });
        for (int f = 0; f < kFrames; ++f) {
            auto record = boost::make_shared<trm::frame_record>();
            Disc(*record, 200 + 0.3 * f, 250 + 40 * std::sin(f * 0.05), 90 + 20 * std::sin(f * 0.02));
            record->ref_frame = f == 0 ? -1 : f - 1;
            engine.store(f, record, { 0, f + 1 }, { 0, f + 1 });
        }
        path = workspace.scratch.File("bench.tvp");
        comp.Store(path);
        bytes = ReadFile(path).size();
    }
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

double MB(double bytes)
{
    return bytes / (1024.0 * 1024.0);
}

long StatusKB(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return 0;
}

void BM_ProjectLoad(benchmark::State& state)
{
    Fixture& f = Shared();
    double kept = 0;
    double peak = 0;
    for (auto _ : state) {
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5"; // peak resident size := current
        const long before = StatusKB("VmRSS:");
        const std::size_t heap = mallinfo2().uordblks;
        TLComp comp;
        comp.SetFootageLibrary(&f.workspace.library);
        comp.Open(f.path, 0);
        kept = static_cast<double>(mallinfo2().uordblks - heap);
        peak = static_cast<double>(StatusKB("VmHWM:") - before) * 1024.0;
        benchmark::DoNotOptimize(comp.GetSegmentSet().GetCount());
        state.PauseTiming();
        comp.Close();
        state.ResumeTiming();
    }
    const double decoded = static_cast<double>(kFrames + 1) * ((kWidth + 31) / 32 * 4) * kHeight;
    state.counters["file_MB"] = MB(static_cast<double>(f.bytes));
    state.counters["kept_MB"] = MB(kept);
    state.counters["peak_MB"] = MB(peak);
    state.counters["decoded_crisp_MB"] = MB(decoded);
    state.counters["kept_over_2file_plus_decoded"] = kept / (2.0 * static_cast<double>(f.bytes) + decoded);
    state.counters["peak_over_2file_plus_decoded"] = peak / (2.0 * static_cast<double>(f.bytes) + decoded);
}
BENCHMARK(BM_ProjectLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ProjectSave(benchmark::State& state)
{
    Fixture& f = Shared();
    TLComp comp;
    comp.SetFootageLibrary(&f.workspace.library);
    comp.Open(f.path, 0);
    const std::string target = f.workspace.scratch.File("saved.tvp");
    for (auto _ : state)
        comp.Store(target);
    state.counters["file_MB"] = MB(static_cast<double>(ReadFile(target).size()));
}
BENCHMARK(BM_ProjectSave)->Unit(benchmark::kMillisecond)->Iterations(3);

// Reference: the XML library reading the file into its tree, and writing
// that tree to a file, with no project objects made.
void BM_ReferenceXmlRead(benchmark::State& state)
{
    Fixture& f = Shared();
    double peak = 0;
    for (auto _ : state) {
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = StatusKB("VmRSS:");
        xml::sarnel document;
        document.read(f.path);
        benchmark::DoNotOptimize(document.root_handle());
        peak = static_cast<double>(StatusKB("VmHWM:") - before) * 1024.0;
    }
    state.counters["file_MB"] = MB(static_cast<double>(f.bytes));
    state.counters["peak_MB"] = MB(peak);
}
BENCHMARK(BM_ReferenceXmlRead)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReferenceXmlWrite(benchmark::State& state)
{
    Fixture& f = Shared();
    xml::sarnel document;
    document.read(f.path);
    const std::string target = f.workspace.scratch.File("copy.xml");
    for (auto _ : state)
        document.write(target);
    state.counters["file_MB"] = MB(static_cast<double>(f.bytes));
}
BENCHMARK(BM_ReferenceXmlWrite)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
