// zentarra-cli export-model: one model of an archive, in the bind pose, as a
// file of another format.
#pragma once

#include <ostream>
#include <string>

namespace zentarra::cli {

struct ExportModelOptions {
	std::string archive;
	std::string model;  // entry name, or folder/name
	std::string format; // "obj"
	std::string output; // the OBJ file; its MTL library is written beside it
	bool textures = false; // also write the materials' textures as TGA beside it, replacing old ones
};

// Returns the exit status: 0 when every file was written, else 1 with the
// message on `err`. With textures, each texture file written is listed on
// `out` and each material skipped (texture or palette missing) on `err`.
int RunExportModel(const ExportModelOptions& options, std::ostream& out, std::ostream& err);

} // namespace zentarra::cli
