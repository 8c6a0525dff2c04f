// ReadTexture throughput per format on a 1024 x 1024 image of random texel
// data, decoding again and again into one record whose buffer keeps its
// capacity, as a viewer reloading a texture does; and the PNG export of the
// largest corpus texture. The "pixels" counter is texels decoded per second.
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "export/png.h"
#include "texture/tex0.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace zentarra;

constexpr int kSide = 1024;

std::vector<std::uint8_t> RandomTex0(std::uint32_t format, int width, int height)
{
	std::vector<std::uint8_t> file(0x40 + TexelDataSize(format, width, height), 0);
	std::mt19937 random(format + 1);
	for (std::size_t i = 0x40; i < file.size(); ++i)
		file[i] = std::uint8_t(random());
	const auto put16 = [&file](std::size_t at, unsigned v) {
		file[at] = std::uint8_t(v >> 8);
		file[at + 1] = std::uint8_t(v);
	};
	put16(0x04, unsigned(file.size() >> 16));
	put16(0x06, unsigned(file.size() & 0xFFFF));
	put16(0x1C, unsigned(width));
	put16(0x1E, unsigned(height));
	put16(0x22, format);
	return file;
}

void BM_ReadTexture(benchmark::State& state, std::uint32_t format)
{
	const std::vector<std::uint8_t> file = RandomTex0(format, kSide, kSide);
	TexImage rec;
	std::mt19937 random(99);
	for (std::uint32_t& colour : rec.palette)
		colour = std::uint32_t(random());
	for (auto _ : state) {
		ByteView view(file);
		ReadTextureHeader(view, 0, rec);
		const TexStatus status = ReadTexture(view, rec);
		benchmark::DoNotOptimize(status);
		benchmark::DoNotOptimize(rec.data.data());
		benchmark::ClobberMemory();
	}
	state.counters["pixels"] =
		benchmark::Counter(double(state.iterations()) * kSide * kSide, benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_ReadTexture, I4, kTexI4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, I8, kTexI8)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, IA4, kTexIA4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, IA8, kTexIA8)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, RGB565, kTexRGB565)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, RGB5A3, kTexRGB5A3)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, RGBA8, kTexRGBA8)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, CMPR, kTexCMPR)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, CI4, kTexCI4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadTexture, CI8, kTexCI8)->Unit(benchmark::kMicrosecond);

// The largest texture of the corpus (1024 x 1024 CMPR, the shadow map of
// beginner_course), decoded once, then written as a PNG into memory.
void BM_WritePNGLargestCorpusTexture(benchmark::State& state)
{
	const FileBytes archive = ReadWholeFile(ZENTARRA_CORPUS "/brres/beginner_course.brres");
	if (archive.status != ReadStatus::Ok) {
		state.SkipWithError("corpus archive missing");
		return;
	}
	OpenArchives items;
	ByteView view(archive.bytes);
	ReadBRRES(view, "beginner_course.brres", items, nullptr);
	TexImage rec;
	for (const ItemRecord& item : items.items())
		if (item.kind == ItemKind::TEX0 && item.name == "beginner_course_kage_04") {
			ReadTextureHeader(view, item.offset, rec);
			if (ReadTexture(view, rec) != TexStatus::Ok)
				rec.data.clear();
		}
	if (rec.data.empty()) {
		state.SkipWithError("texture not found or not whole");
		return;
	}
	std::size_t pngBytes = 0;
	for (auto _ : state) {
		std::vector<std::uint8_t> png;
		if (!WritePNG(png, rec.width, rec.height, rec.data)) {
			state.SkipWithError("WritePNG failed");
			return;
		}
		pngBytes = png.size();
		benchmark::DoNotOptimize(png.data());
	}
	state.counters["png_bytes"] = double(pngBytes);
	state.counters["pixels"] =
		benchmark::Counter(double(state.iterations()) * rec.width * rec.height, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WritePNGLargestCorpusTexture)->Unit(benchmark::kMillisecond);

} // namespace
