#pragma once
// The leak checker's rules for test programs that open windows: the
// desktop libraries' own lifetime allocations are not ours to free (see
// gui-leaks.supp). Include from exactly one source file of a program.

extern "C" __attribute__((used)) const char* __lsan_default_options()
{
    // Full stacks: the system libraries keep no frame pointers, and a cut
    // stack would hide which library a block came from.
    return "fast_unwind_on_malloc=0:suppressions=" ROOKWELL_SOURCE "/client/view/tests/support/gui-leaks.supp";
}
