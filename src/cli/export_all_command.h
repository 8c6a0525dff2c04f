// zentarra-cli export-all: every texture, model and animation of the given
// archives into "exported/" folders beside them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zentarra::cli {

struct ExportAllCommandOptions {
	std::vector<std::string> archives;
	std::string textures = "tga-auto"; // none, png, tga, tga-auto
	std::string models = "psk";        // none, md5, psk, obj, glb, gltf
	std::string anims = "psa";         // none, psa
	bool overwrite = false;
	bool separate = false;
	bool perArchive = false;
	unsigned jobs = 0; // 0: one per core
};

// Prints each file written on `out` as it is written, each entry that could
// not be exported on `err` with the reason, then a summary on `out`. Returns
// 1 when a file could not be read as an archive or anything failed, else 0.
int RunExportAll(const ExportAllCommandOptions& options, std::ostream& out, std::ostream& err);

} // namespace zentarra::cli
