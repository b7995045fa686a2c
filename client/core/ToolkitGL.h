#pragma once

// GTK opens the display's OpenGL driver as it starts, to pick GL-capable
// visuals it never uses here (the board canvas picks its own). Under a
// software renderer that driver is tens of megabytes, and the start page
// does not need it: the toolkit starts with its GL use switched off, and the
// driver loads when the board is first shown.

// Before the toolkit starts; a GDK_GL the user set is left alone.
void HoldToolkitGL();
// Once the toolkit has started: programs started from here get the
// environment as it was.
void ReleaseToolkitGL();
