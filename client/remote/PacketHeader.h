#pragma once

// The header and packet types are shared with the server, so they live in
// the foundation library.
#include "foundation/PacketHeader.h"
