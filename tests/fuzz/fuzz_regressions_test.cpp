// Replays the inputs the fuzzers once failed on, and the real archives, through
// every fuzz target's body: under the sanitizers a regression fails here.
#include "fuzz_bodies.h"

#include "base/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zentarra::fuzz {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesIn(const fs::path& folder)
{
	std::vector<fs::path> files;
	std::error_code missing;
	for (const auto& entry : fs::directory_iterator(folder, missing))
		if (entry.is_regular_file())
			files.push_back(entry.path());
	std::sort(files.begin(), files.end());
	return files;
}

void Replay(const FuzzTarget& target, const fs::path& file)
{
	SCOPED_TRACE(file.string());
	const FileBytes input = ReadWholeFile(file);
	ASSERT_EQ(input.status, ReadStatus::Ok);
	target.body(input.bytes.data(), input.bytes.size());
}

TEST(FuzzRegressions, SavedInputsRunClean)
{
	int replayed = 0;
	for (const FuzzTarget& target : kFuzzTargets)
		for (const fs::path& file : FilesIn(fs::path(ZENTARRA_SOURCE_DIR) / "tests/fuzz-regressions" / target.name)) {
			Replay(target, file);
			++replayed;
		}
	RecordProperty("replayed", replayed);
}

TEST(FuzzRegressions, RealArchivesRunClean)
{
	const std::vector<fs::path> archives = FilesIn(fs::path(ZENTARRA_CORPUS) / "brres");
	ASSERT_FALSE(archives.empty());
	for (const FuzzTarget& target : kFuzzTargets)
		if (target.name != "pose")
			for (const fs::path& file : archives)
				Replay(target, file);
}

} // namespace
} // namespace zentarra::fuzz
