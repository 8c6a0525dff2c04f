// zentarra-cli export-texture: one texture of an archive as a PNG or TGA file.
#pragma once

#include <ostream>
#include <string>

namespace zentarra::cli {

struct ExportTextureOptions {
	std::string archive;
	std::string texture; // entry name, or folder/name
	std::string format;  // "png" or "tga"
	std::string output;
	std::string palette; // PLT0 entry to decode a colour-indexed texture with; empty: the texture's own
};

// Returns the exit status: 0 when the file was written, else 1 with the
// message on `err`. Warnings about damaged data go to `err` too.
int RunExportTexture(const ExportTextureOptions& options, std::ostream& err);

} // namespace zentarra::cli
