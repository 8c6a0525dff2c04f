// zentarra-cli: the command-line front of the BRRES viewer's core.
#include "cli/list_command.h"

#include <CLI/CLI.hpp>

#include <iostream>

int main(int argc, char** argv)
{
	CLI::App app{"Lists and converts BRRES archives (Wii models, textures, animations)", "zentarra-cli"};
	app.require_subcommand(1);

	zentarra::cli::ListOptions list;
	CLI::App* listCommand = app.add_subcommand("list", "Show each file's archives, folders and entries");
	listCommand->add_flag("--json", list.json, "Print one JSON document instead of text");
	listCommand->add_flag("--full-path", list.fullPath, "Name archives by their full path");
	listCommand->add_option("ARCHIVE", list.files, "Archive files to read")->required();

	try {
		app.parse(argc, argv);
	} catch (const CLI::CallForHelp& e) {
		return app.exit(e);
	} catch (const CLI::CallForAllHelp& e) {
		return app.exit(e);
	} catch (const CLI::ParseError& e) {
		app.exit(e);
		return 2;
	}

	if (*listCommand)
		return zentarra::cli::RunList(list, std::cout, std::cerr);
	return 2;
}
