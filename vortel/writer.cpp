#include "vortel/writer.h"

namespace vortel {

writer::~writer() = default;

void writer::finish() { }

void writer::discard() noexcept { }

} // namespace vortel
