// Test-only writers of the game containers: a Yaz0 encoder and a U8
// archive writer, laid out as the console's tools lay them out.
#pragma once

#include "support/brres_writer.h"

#include <string>
#include <vector>

namespace zentarra::testing {

// Yaz0: the 16-byte header, then greedy matches (hash chains over 3-byte
// prefixes, distance up to 4096, length up to 273).
Bytes EncodeYaz0(const Bytes& data);

struct PackedFile {
	std::string path; // "folder/name"; folders are made as the paths name them
	Bytes bytes;
};

// U8: the 0x20-byte header, the node table (root, then each folder followed
// by what it holds, in the order first named), the name table, and the
// files' data 32-byte aligned.
Bytes BuildU8(const std::vector<PackedFile>& files);

} // namespace zentarra::testing
