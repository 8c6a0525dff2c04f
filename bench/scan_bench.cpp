// ReadBRRES throughput: the magic scan over data holding no archive, and a
// whole real archive read the way the open command reads it.
#include "archive/brres_directory.h"
#include "base/file_io.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using zentarra::ByteView;
using zentarra::OpenArchives;
using zentarra::ReadBRRES;

// Random bytes with every "bres" broken up, so the scan must look at all of them.
std::vector<std::uint8_t> NoMagic(std::size_t size)
{
	std::vector<std::uint8_t> bytes(size);
	std::mt19937_64 random(1);
	for (std::size_t i = 0; i + 8 <= size; i += 8) {
		const std::uint64_t word = random();
		for (int b = 0; b < 8; ++b)
			bytes[i + std::size_t(b)] = std::uint8_t(word >> (8 * b));
	}
	for (std::size_t i = 0; i + 4 <= size; ++i)
		if (bytes[i] == 'b' && bytes[i + 1] == 'r' && bytes[i + 2] == 'e' && bytes[i + 3] == 's')
			bytes[i] = 'B';
	return bytes;
}

void ScanWithoutMagic(benchmark::State& state, const std::vector<std::uint8_t>& bytes)
{
	for (auto _ : state) {
		OpenArchives items;
		ByteView file(bytes);
		benchmark::DoNotOptimize(ReadBRRES(file, "x.bin", items, nullptr));
	}
	state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void BM_ScanRandom64MiB(benchmark::State& state)
{
	static const std::vector<std::uint8_t> bytes = NoMagic(64u << 20);
	ScanWithoutMagic(state, bytes);
}
BENCHMARK(BM_ScanRandom64MiB)->Unit(benchmark::kMillisecond);

// Worst case for a first-byte search: every byte is a 'b'.
void BM_ScanAllB64MiB(benchmark::State& state)
{
	static const std::vector<std::uint8_t> bytes(64u << 20, 'b');
	ScanWithoutMagic(state, bytes);
}
BENCHMARK(BM_ScanAllB64MiB)->Unit(benchmark::kMillisecond);

// The largest corpus archive, from its bytes in memory to the item list.
void BM_ReadLargestCorpusArchive(benchmark::State& state)
{
	const auto file = zentarra::ReadWholeFile(ZENTARRA_CORPUS "/brres/farm_course.brres");
	if (file.status != zentarra::ReadStatus::Ok) {
		state.SkipWithError("corpus archive missing");
		return;
	}
	for (auto _ : state) {
		OpenArchives items;
		ByteView view(file.bytes);
		benchmark::DoNotOptimize(ReadBRRES(view, "farm_course.brres", items, nullptr));
	}
	state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(file.bytes.size()));
}
BENCHMARK(BM_ReadLargestCorpusArchive)->Unit(benchmark::kMicrosecond);

// Reading the file from disk as well, as the open command does.
void BM_OpenLargestCorpusArchive(benchmark::State& state)
{
	std::size_t size = 0;
	for (auto _ : state) {
		const auto file = zentarra::ReadWholeFile(ZENTARRA_CORPUS "/brres/farm_course.brres");
		OpenArchives items;
		ByteView view(file.bytes);
		benchmark::DoNotOptimize(ReadBRRES(view, "farm_course.brres", items, nullptr));
		size = file.bytes.size();
	}
	state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(size));
}
BENCHMARK(BM_OpenLargestCorpusArchive)->Unit(benchmark::kMicrosecond);

} // namespace

