#include "vortel/writer.h"

namespace vortel {

writer::~writer() = default;

} // namespace vortel
