// The batch export of the whole corpus, OBJ models with TGA textures and PSA
// animations, overwriting, on 1 and 2 threads: wall time, files included.
#include "archive/open_files.h"
#include "export/export_all.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace zentarra;
namespace fs = std::filesystem;

// The corpus copied into a scratch folder once, so the exports land there.
const fs::path& CorpusCopy()
{
	static const fs::path copy = [] {
		std::string pattern = (fs::temp_directory_path() / "zentarra-bench-XXXXXX").string();
		const fs::path dir = ::mkdtemp(pattern.data());
		for (const auto& entry : fs::directory_iterator(fs::path(ZENTARRA_CORPUS) / "brres"))
			fs::copy_file(entry.path(), dir / entry.path().filename());
		std::atexit([] { fs::remove_all(CorpusCopy()); });
		return dir;
	}();
	return copy;
}

void BM_ExportAllCorpus(benchmark::State& state)
{
	OpenArchives items;
	for (const auto& entry : fs::directory_iterator(CorpusCopy()))
		if (entry.path().extension() == ".brres")
			OpenArchiveFile(entry.path().string(), items, nullptr);
	ExportAllOptions options;
	options.textures = 3;
	options.models = 3;
	options.animations = 1;
	options.overwrite = true;
	options.jobs = unsigned(state.range(0));
	int files = 0;
	for (auto _ : state)
		files = ExportAll(items, options).written;
	state.counters["files"] = files;
}
BENCHMARK(BM_ExportAllCorpus)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
