// zentarra-cli unpack: a container's files, decompressed, written as a tree.
#pragma once

#include <ostream>
#include <string>

namespace zentarra::cli {

struct UnpackOptions {
	std::string file;
	std::string output; // the folder the tree goes into
};

// 0 when every file was written; 1 when the file is no container, or a file
// could not be written or was refused (a name that would leave the folder:
// "..", an absolute path), with the reason on `err`; the others are written.
int RunUnpack(const UnpackOptions& options, std::ostream& out, std::ostream& err);

} // namespace zentarra::cli
