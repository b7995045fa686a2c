#pragma once

#include <cstdint>

namespace Zorlin {

// The byte layout of an archive and the bounds its reader enforces.
// Archives arrive from other people, so every length and count taken from
// one is checked against these before anything is allocated or sought.
namespace ArchiveFormat {

// The trailer: the 20-byte header, its length word and the signature.
const uint32_t kSignatureLow = 0x4C525A00;  // 00 'Z' 'R' 'L'
const uint32_t kSignatureHigh = 0x48435241; // 'A' 'R' 'C' 'H'
const uint32_t kHeaderLength = 20;
const uint32_t kTrailerLength = kHeaderLength + 4 + 8;
const uint32_t kPositionRecordSize = 8;
const char* const kHeaderLayout = "422444";

// Entry flags.
const uint32_t kFlagFile = 1;
const uint32_t kFlagFolder = 2;
const uint32_t kFlagCompressed = 4;

const unsigned kDefaultChunkSize = 8192;

// Reader bounds. A later format may lengthen the header and the position
// record, but not beyond these.
const uint32_t kMaxHeaderLength = 4096;
const uint32_t kMaxPositionRecordSize = 256;
const uint32_t kMaxChunkSize = 1u << 20;
const uint32_t kMaxDirectorySize = 16u << 20;   // directory text, uncompressed
const uint32_t kMaxEntries = 1u << 16;          // in the whole tree
const uint32_t kMaxFolders = 1u << 12;          // of those, folders (each costs a dictionary)
const int kMaxDepth = 64;                       // folders inside folders
const int kMaxNameLength = 1024;
// Smallest directory text of one entry: flags, a one-letter name and its 0.
const uint32_t kMinEntryBytes = 6;

// A zlib stream of one chunk is never much longer than the chunk itself;
// anything beyond this is damage, not data.
inline uint32_t MaxCompressedChunk(uint32_t chunkSize)
{
    return chunkSize + chunkSize / 8 + 1024;
}

} // namespace ArchiveFormat

} // namespace Zorlin
