// Yaz0 decompression throughput, in bytes of output: a 3 MB course archive
// packed by the test writer, and 64 MiB of synthetic data with the mix of
// literals, short and long references game files have.
#include "archive/containers.h"
#include "base/file_io.h"
#include "support/container_writer.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

using namespace zentarra;

void Decode(benchmark::State& bench, const std::vector<std::uint8_t>& packed)
{
	std::size_t size = 0;
	for (auto _ : bench) {
		const Yaz0Result result = DecodeYaz0(packed);
		size = result.bytes.size();
		benchmark::DoNotOptimize(result.bytes.data());
	}
	bench.SetBytesProcessed(std::int64_t(bench.iterations()) * std::int64_t(size));
}

void BM_Yaz0FarmCourse(benchmark::State& bench)
{
	static const std::vector<std::uint8_t> packed =
		testing::EncodeYaz0(ReadWholeFile(std::string(ZENTARRA_CORPUS) + "/brres/farm_course.brres").bytes);
	Decode(bench, packed);
}

void BM_Yaz0Synthetic64MiB(benchmark::State& bench)
{
	static const std::vector<std::uint8_t> packed = [] {
		std::mt19937 random(11);
		std::vector<std::uint8_t> data;
		data.reserve(std::size_t(64) << 20);
		while (data.size() < (std::size_t(64) << 20)) {
			const auto kind = random() % 4;
			if (kind == 0 || data.size() < 4096) { // a run of fresh bytes
				for (auto i = random() % 24 + 1; i > 0; --i)
					data.push_back(std::uint8_t(random()));
			} else { // a repeat of something seen, near or far, short or long
				const std::size_t distance = kind == 1 ? random() % 16 + 1 : random() % 4096 + 1;
				const std::size_t length = kind == 3 ? random() % 256 + 18 : random() % 14 + 3;
				for (std::size_t i = 0; i < length; ++i)
					data.push_back(data[data.size() - distance]);
			}
		}
		data.resize(std::size_t(64) << 20);
		return testing::EncodeYaz0(data);
	}();
	Decode(bench, packed);
}

BENCHMARK(BM_Yaz0FarmCourse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Yaz0Synthetic64MiB)->Unit(benchmark::kMillisecond);

} // namespace
