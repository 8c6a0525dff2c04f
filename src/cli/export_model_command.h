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
};

// Returns the exit status: 0 when every file was written, else 1 with the
// message on `err`.
int RunExportModel(const ExportModelOptions& options, std::ostream& err);

} // namespace zentarra::cli
