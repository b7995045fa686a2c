// Keeping GTK's own GL start-up from loading the driver.

#include "client/core/ToolkitGL.h"

#include <cstdlib>

namespace {

const char* const kVariable = "GDK_GL";
bool g_held = false;

} // namespace

void HoldToolkitGL()
{
    if (getenv(kVariable))
        return;
    g_held = setenv(kVariable, "disable", 1) == 0;
}

void ReleaseToolkitGL()
{
    if (!g_held)
        return;
    g_held = false;
    unsetenv(kVariable);
}
