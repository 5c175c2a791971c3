#pragma once

// Function attributes spelt so that g++ and clang both honour them: the fault
// handler and the code that tests it rely on functions keeping their frames
// and on code the sanitizers must not instrument.

// The function keeps its own frame and is neither inlined, cloned nor
// analysed across calls (its callers assume nothing of its body).
#if defined(__clang__)
#define TAVELO_KEEP_FRAME __attribute__((noinline, optnone))
#else
#define TAVELO_KEEP_FRAME __attribute__((noipa))
#endif

// The function is not instrumented by the address, undefined-behaviour or
// thread sanitizers (it faults or leaves the stack on purpose).
#define TAVELO_NO_SANITIZE __attribute__((no_sanitize("address", "undefined", "thread")))
