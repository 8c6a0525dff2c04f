// zentarra-cli list: the files panel's tree of each archive file, as text or JSON.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zentarra::cli {

struct ListOptions {
	std::vector<std::string> files;
	bool json = false;
	bool fullPath = false;
};

// Returns the exit status: 0 when every file held an archive, else 1.
int RunList(const ListOptions& options, std::ostream& out, std::ostream& err);

} // namespace zentarra::cli
