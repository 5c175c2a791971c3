#pragma once

// The vortel library hides its symbols by default; VORTEL_API marks what it
// exports (and what callers import) across the shared-library boundary.
#define VORTEL_API __attribute__((visibility("default")))
