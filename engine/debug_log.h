#pragma once

// The engine log of one calculation: a stream of its own that the stages
// write their diagnostic lines into. With the environment variable
// NV_DEBUG_DIR naming a folder, the stream is the file "trm.log" in that
// folder, truncated when the log opens, so it holds the last calculation
// only; otherwise (or when the file cannot be opened) everything written to
// it is dropped. The process-wide std::clog is never touched.

#include <fstream>
#include <ostream>
#include <string>

namespace trm {

// The value of NV_DEBUG_DIR with a '/' appended (a trailing '\' counts as a
// separator and becomes '/'); the empty string when it is unset or empty.
std::string debug_dir();

class debug_log {
public:
    // Opens the log as debug_dir() says. Never throws for a file that cannot
    // be opened: the log then drops its output.
    debug_log();
    debug_log(const debug_log&) = delete;
    debug_log& operator=(const debug_log&) = delete;

    // The stream to hand to the stages; valid while the log lives.
    std::ostream& stream() { return m_stream; }

private:
    std::filebuf m_file;
    // Writes into m_file when it is open, else has no buffer (drops).
    std::ostream m_stream;
};

} // namespace trm
