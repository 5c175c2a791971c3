// A language module for the tests: two entries of its own, nothing else, so
// every other entry falls back to the built-in table.

#include <cstdint>

extern "C" __attribute__((visibility("default"))) const char* tavelo_string(std::uint32_t id)
{
    switch (id) {
    case 50013:
        return "Tavelo (test)";
    case 50001:
        return "Projekt offnen";
    default:
        return nullptr;
    }
}
