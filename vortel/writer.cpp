#include "vortel/writer.h"

namespace vortel {

writer::~writer() = default;

void writer::finish() { }

} // namespace vortel
