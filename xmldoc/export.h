#pragma once

// The sarnel library hides its symbols by default; SARNEL_API marks what it
// exports (and what callers import) across the shared-library boundary.
#define SARNEL_API __attribute__((visibility("default")))
