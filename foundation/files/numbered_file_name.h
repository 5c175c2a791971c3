#pragma once

#include <cstdint>
#include <string>

// Names of numbered frame files made from a pattern: the last run of "#" in
// the file name stands for the frame number, zero-filled to the run's length
// ("img####.png" gives img0000.png, img0001.png, ...); brackets right around
// the run are dropped ("name_[###].bmp" gives name_000.bmp). A file name
// without "#" numbers before its extension with 3 digits. "#" in a folder
// name is part of the folder.
class NumberedFileName {
public:
    // An empty pattern leaves prefix and suffix empty, counter and width 0.
    explicit NumberedFileName(const std::string& pattern = std::string());

    // Takes a new pattern; the counter starts again at 0.
    void Parse(const std::string& pattern);

    // The next name: prefix + counter (at least `digits` characters) +
    // suffix; the counter then grows by 1.
    std::string Next();

    const std::string& prefix() const { return m_prefix; }
    const std::string& suffix() const { return m_suffix; }
    std::uint32_t counter() const { return m_counter; }
    std::int32_t digits() const { return m_digits; }

private:
    std::string m_prefix;
    std::string m_suffix;
    std::uint32_t m_counter = 0;
    std::int32_t m_digits = 0;
};

// The default pattern for numbered files beside path: its extension is kept
// and "_[###]" goes before it ("c:\out\clip.bmp" gives "c:\out\clip_[###].bmp").
std::string make_numbered_pattern(const std::string& path);
