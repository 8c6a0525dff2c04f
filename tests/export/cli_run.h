// Running zentarra-cli (and other programs) from tests as a user runs them.
#pragma once

#include "support/corpus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace zentarra::testing {

struct CommandResult {
	int status = -1; // exit status, -1 when the program did not exit normally
	std::string out;
	std::string err;
};

inline std::string Quote(const std::string& text)
{
	std::string quoted = "'";
	for (const char c : text)
		quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
	return quoted + "'";
}

inline std::string ReadText(const std::filesystem::path& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

// Every file below `root`, by path relative to it, with its contents.
inline std::map<std::string, std::string> FilesBelow(const std::filesystem::path& root)
{
	std::map<std::string, std::string> files;
	for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
		if (entry.is_regular_file())
			files[std::filesystem::relative(entry.path(), root).string()] = ReadText(entry.path());
	return files;
}

// A fresh directory, removed with everything in it at the end of the test.
struct TempDir {
	TempDir()
	{
		std::string pattern = (std::filesystem::temp_directory_path() / "zentarra-test-XXXXXX").string();
		if (::mkdtemp(pattern.data()))
			path = pattern;
	}
	~TempDir()
	{
		std::error_code ignored;
		if (!path.empty())
			std::filesystem::remove_all(path, ignored);
	}
	TempDir(const TempDir&) = delete;
	TempDir& operator=(const TempDir&) = delete;
	std::filesystem::path path;
};

// Runs a shell command line (arguments already quoted), keeping stdout and stderr apart.
inline CommandResult RunCommand(const std::string& commandLine)
{
	CommandResult run;
	TempDir scratch;
	const std::string errFile = (scratch.path / "stderr").string();
	FILE* pipe = ::popen((commandLine + " 2>" + Quote(errFile)).c_str(), "r");
	if (!pipe)
		return run;
	char buffer[65536];
	for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
		run.out.append(buffer, got);
	const int status = ::pclose(pipe);
	run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	run.err = ReadText(errFile);
	return run;
}

inline CommandResult RunCli(const std::string& arguments)
{
	return RunCommand(Quote(ZENTARRA_CLI) + " " + arguments);
}

} // namespace zentarra::testing
