#pragma once
// The leak checker's rules for test programs that open windows: the
// desktop libraries' own lifetime allocations are not ours to free (see
// gui-leaks.supp). Include from exactly one source file of a program.

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
// The full unwinder below deadlocks inside code that llvmpipe generates at
// run time: sanitized programs that draw use the renderer without it.
__attribute__((constructor)) static void UseRendererWithoutGeneratedCode()
{
    setenv("GALLIUM_DRIVER", "softpipe", 0);
    setenv("DRAW_USE_LLVM", "0", 0);
}
#endif

extern "C" __attribute__((used)) const char* __lsan_default_options()
{
    // Full stacks: the system libraries keep no frame pointers, and a cut
    // stack would hide which library a block came from.
    return "fast_unwind_on_malloc=0:suppressions=" ROOKWELL_SOURCE "/client/view/tests/support/gui-leaks.supp";
}
