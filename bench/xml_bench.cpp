// Parsing and writing a generated project-like document of about 20 MB,
// and, for comparison, libxml2 parsing the same bytes into its tree.
#include <benchmark/benchmark.h>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <malloc.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>

#include "xmldoc/sarnel.h"

namespace {

// A project file as the program writes it: segments with many parameters,
// a key mask and per-frame records whose masks are long hexadecimal texts.
void build_project(xml::sarnel& doc)
{
    std::mt19937 random(20240601);
    const char* digits = "0123456789ABCDEF";
    auto hex = [&](std::size_t length) {
        std::string s(length, '0');
        for (char& c : s)
            c = digits[random() & 15];
        return s;
    };
    auto number = [&](int range) {
        return std::to_string(static_cast<int>(random() % static_cast<unsigned>(range)));
    };
    auto real = [&] { return std::to_string((random() % 100000) / 997.0); };

    doc.create("Project");
    const xml::handle project = doc.root_handle();
    doc.set_attribute(project, "Version", "3");
    doc.set_attribute(project, "Name", "bench & test <project>");
    const xml::handle footage = doc.add_child(project, "Footage");
    doc.set_attribute(footage, "Kind", "avi");
    doc.set_attribute(footage, "Path", "footage\\clip 01.avi");
    doc.set_attribute(footage, "Width", "1920");
    doc.set_attribute(footage, "Height", "1080");
    doc.set_attribute(footage, "Rate", "25");
    const xml::handle segments = doc.add_child(project, "Segments");
    for (int s = 0; s < 40; ++s) {
        const xml::handle segment = doc.add_child(segments, "Segment");
        doc.set_attribute(segment, "Name", std::string("Segment ").append(std::to_string(s)));
        doc.set_attribute(segment, "First", number(1000));
        doc.set_attribute(segment, "Last", number(1000));
        doc.set_attribute(segment, "Mode", number(8));
        doc.set_attribute(segment, "Inverted", number(2));
        const xml::handle param = doc.add_child(segment, "Param");
        for (int p = 0; p < 38; ++p)
            doc.set_attribute(param, std::string("p").append(std::to_string(p)), real());
        const xml::handle key = doc.add_child(segment, "KeyMask");
        doc.set_attribute(key, "Width", "1920");
        doc.set_attribute(key, "Height", "1080");
        doc.set_attribute(key, "Data", hex(8192));
        const xml::handle frames = doc.add_child(segment, "Frames");
        for (int f = 0; f < 250; ++f) {
            const xml::handle frame = doc.add_child(frames, "Frame");
            doc.set_attribute(frame, "Number", std::to_string(f));
            doc.set_attribute(frame, "Reference", std::to_string(f - 1));
            for (const char* m : { "x", "y", "xx", "xy", "yx", "yy" })
                doc.set_attribute(frame, m, real());
            doc.set_attribute(doc.add_child(frame, "Mask"), "Data", hex(256 + random() % 2560));
            std::string points;
            for (int i = 0; i < 24; ++i)
                points.append(real()).push_back(' ');
            doc.set_attribute(doc.add_child(frame, "Contour"), "Points", points);
        }
    }
}

const std::string& project_text()
{
    static const std::string text = [] {
        xml::sarnel doc;
        build_project(doc);
        std::ostringstream out;
        doc.write(out);
        return out.str();
    }();
    return text;
}

// Keeps what is written in memory, so that the benchmark measures the
// writer and not a file system.
class memory_buffer : public std::streambuf {
public:
    std::string text;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        text.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override
    {
        if (c != traits_type::eof())
            text.push_back(static_cast<char>(c));
        return c;
    }
};

long status_kb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    return 0;
}

// The peak resident growth while `build` runs and its result is alive, in
// MB, as the counter "peak_MB" (freed heap is handed back first, so that
// growth is counted as new pages).
template <class F> void count_peak(benchmark::State& state, F build)
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5"; // peak resident size := current
    const long before = status_kb("VmRSS:");
    build();
    state.counters["peak_MB"] = static_cast<double>(status_kb("VmHWM:") - before) / 1024.0;
}

void sarnel_parse(benchmark::State& state)
{
    const std::string& text = project_text();
    count_peak(state, [&text] {
        xml::sarnel doc;
        doc.parse(text);
        benchmark::DoNotOptimize(doc.root_handle());
    });
    for (auto _ : state) {
        xml::sarnel doc;
        doc.parse(text);
        benchmark::DoNotOptimize(doc.root_handle());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}

void sarnel_write(benchmark::State& state)
{
    xml::sarnel doc;
    doc.parse(project_text());
    memory_buffer buffer;
    buffer.text.reserve(project_text().size() + 1024);
    std::ostream out(&buffer);
    for (auto _ : state) {
        buffer.text.clear();
        doc.write(out);
        benchmark::DoNotOptimize(buffer.text.data());
    }
    if (buffer.text != project_text())
        state.SkipWithError("written text differs from the parsed text");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * buffer.text.size()));
}

void libxml2_parse(benchmark::State& state)
{
    const std::string& text = project_text();
    count_peak(state, [&text] {
        xmlFreeDoc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "project.xml", nullptr,
            XML_PARSE_NONET | XML_PARSE_HUGE));
    });
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "project.xml", nullptr,
            XML_PARSE_NONET | XML_PARSE_HUGE);
        if (!doc) {
            state.SkipWithError("libxml2 did not parse the document");
            break;
        }
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

} // namespace

BENCHMARK(sarnel_parse)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(sarnel_write)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(libxml2_parse)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
