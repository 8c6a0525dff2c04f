// zentarra-cli export-model: one model of an archive, in its bind pose or in
// the pose of an animation frame, as OBJ (with MTL), PSK or MD5.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace zentarra::cli {

struct ExportModelOptions {
	std::string archive;
	std::string model;  // entry name, or folder/name
	std::string format; // "obj", "psk" or "md5"
	std::string output; // an OBJ gets its MTL library beside it
	std::string anim;   // CHR0 entry to pose the model with, NAME or OTHER.brres:NAME; empty for the bind pose
	float frame = 0;    // the frame of `anim`
	bool textures = false; // also write the materials' textures as TGA beside it, replacing old ones
};

// Returns the exit status: 0 when every file was written, else 1 with the
// message on `err`. With textures, each texture file written is listed on
// `out` and each material skipped (texture or palette missing) on `err`.
int RunExportModel(const ExportModelOptions& options, std::ostream& out, std::ostream& err);

} // namespace zentarra::cli
