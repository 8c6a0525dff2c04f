// zentarra-cli export-anim: one bone animation as PSA or MD5.
#pragma once

#include <ostream>
#include <string>

namespace zentarra::cli {

struct ExportAnimOptions {
	std::string archive;
	std::string anim;   // CHR0 entry name, or folder/name
	std::string format; // "psa" or "md5"
	std::string output;
	std::string model;  // MDL0 to play it on, NAME or OTHER.brres:NAME; needed for MD5
};

// Returns the exit status: 0 when the file was written, else 1 with the
// message on `err`.
int RunExportAnim(const ExportAnimOptions& options, std::ostream& err);

} // namespace zentarra::cli
