#pragma once

// The lumvex library hides its symbols by default; LUMVEX_API marks what it
// exports (and what callers import) across the shared-library boundary.
#define LUMVEX_API __attribute__((visibility("default")))
