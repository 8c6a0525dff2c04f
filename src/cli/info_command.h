// zentarra-cli info: what each model of an archive file holds.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zentarra::cli {

struct InfoOptions {
	std::string archive;
	std::vector<std::string> models; // entry names or folder/name; empty for every model
	bool json = false;
};

// Per model: version, meshes and their names, triangles, bones, nodes,
// weighted nodes, materials with their texture and palette names. Returns
// the exit status: 0 when every model was read, else 1.
int RunInfo(const InfoOptions& options, std::ostream& out, std::ostream& err);

} // namespace zentarra::cli
