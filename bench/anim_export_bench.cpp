// The skeletal exporters: ExportToPSK and ExportToMD5 on the largest corpus
// model (farm_course), on the skinned corpus model (human_walk), and on a
// skinned grid; ExportAnimToPSA and ExportAnimToMD5 on 50 bones with one key
// per frame on every track. Time per triangle and per key should stay flat
// from size to size: the wedge lookup is hashed and tracks are sampled with
// a cursor, never rescanned.
#include "anim/skinning.h"
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "export/md5.h"
#include "export/psk.h"
#include "model/mdl0_reader.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

namespace {

using namespace zentarra;

std::size_t TrianglesOf(const BRMDL& md)
{
	std::size_t count = 0;
	for (const std::vector<Triangle>& tris : md.meshTris)
		count += tris.size();
	return count;
}

// The first MDL0 of a corpus archive, read into `model`; false when missing.
bool ReadCorpusModel(const char* file, LoadedModel& model)
{
	const FileBytes archive = ReadWholeFile(std::string(ZENTARRA_CORPUS "/brres/") + file);
	if (archive.status != ReadStatus::Ok)
		return false;
	OpenArchives items;
	ByteView view(archive.bytes);
	ReadBRRES(view, file, items, nullptr);
	for (const ItemRecord& item : items.items()) {
		if (item.kind != ItemKind::MDL0)
			continue;
		ByteView modelView(archive.bytes);
		return ReadModel(modelView, item.offset, item.name, model).ok;
	}
	return false;
}

// A grid of side x side points, two triangles per cell, in one mesh. Bone 0
// is the root, bone 1 a child turned and moved; every other column of points
// sits on weighted node 2 blending both, the rest on bone 1.
std::unique_ptr<LoadedModel> SkinnedGrid(int side)
{
	auto model = std::make_unique<LoadedModel>();
	model->nBones = 2;
	model->bonemap = {0, 1};
	model->names.bones = {"root", "limb"};
	model->nodelist.resize(3);
	model->nodelist[0].bone = 0;
	model->nodelist[1].bone = 1;
	model->nodelist[1].parent = 0;
	model->nodelist[1].rot[1] = 30;
	model->nodelist[1].trans[0] = 2;
	model->nodelist[2].nWeights = 2;
	model->nodelist[2].wNode = {0, 1};
	model->nodelist[2].weight = {0.4f, 0.6f};
	model->nNodes = 3;

	BRMDL& md = model->MD;
	md.nMesh = 1;
	md.meshVisible = {1};
	md.meshMat = {0};
	md.hasMat = 1;
	md.nMat = 1;
	md.texName = {"grid"};
	md.palName = {""};
	md.meshInfo.resize(1);
	md.meshInfo[0].vtxArray = 0;
	md.meshInfo[0].uvArray[0] = 0;
	md.vtx.resize(1);
	md.uv.resize(1);
	for (int r = 0; r < side; ++r)
		for (int c = 0; c < side; ++c) {
			md.vtx[0].push_back({float(c) * 0.37f, float((r * 7 + c * 13) % 101) * 0.01f, float(r) * 0.53f});
			md.uv[0].push_back({float(c) / float(side), float(r) / float(side)});
		}
	const auto point = [side](int r, int c) {
		Vertex v;
		v.posIndex = v.uvIndex = r * side + c;
		v.nrmIndex = -2;
		v.node = c % 2 == 0 ? 2 : 1;
		return v;
	};
	std::vector<Triangle>& triangles = md.meshTris.emplace_back();
	triangles.reserve(std::size_t(side - 1) * std::size_t(side - 1) * 2);
	for (int r = 0; r + 1 < side; ++r)
		for (int c = 0; c + 1 < side; ++c) {
			triangles.push_back(Triangle{{point(r, c), point(r, c + 1), point(r + 1, c)}});
			triangles.push_back(Triangle{{point(r, c + 1), point(r + 1, c + 1), point(r + 1, c)}});
		}
	ResetBones(md, model->nodelist);
	return model;
}

void CountTriangles(benchmark::State& state, const LoadedModel& model, std::size_t bytes)
{
	const double triangles = double(TrianglesOf(model.MD));
	state.counters["triangles"] = triangles;
	state.counters["triangles/s"] = benchmark::Counter(triangles, benchmark::Counter::kIsIterationInvariantRate);
	state.counters["bytes"] = double(bytes);
}

void PSKRepeatedly(benchmark::State& state, const LoadedModel& model)
{
	std::size_t bytes = 0;
	for (auto _ : state) {
		const BinaryExport psk = ExportToPSK(model, false);
		if (!psk.ok) {
			state.SkipWithError(psk.message.c_str());
			return;
		}
		bytes = psk.bytes.size();
		benchmark::DoNotOptimize(psk.bytes.data());
	}
	CountTriangles(state, model, bytes);
}

void MD5Repeatedly(benchmark::State& state, const LoadedModel& model)
{
	std::size_t bytes = 0;
	for (auto _ : state) {
		const std::string text = ExportToMD5(model, false);
		bytes = text.size();
		benchmark::DoNotOptimize(text.data());
	}
	CountTriangles(state, model, bytes);
}

void BM_CorpusToPSK(benchmark::State& state, const char* file)
{
	auto model = std::make_unique<LoadedModel>();
	if (!ReadCorpusModel(file, *model)) {
		state.SkipWithError("corpus model missing");
		return;
	}
	PSKRepeatedly(state, *model);
}

void BM_CorpusToMD5(benchmark::State& state, const char* file)
{
	auto model = std::make_unique<LoadedModel>();
	if (!ReadCorpusModel(file, *model)) {
		state.SkipWithError("corpus model missing");
		return;
	}
	MD5Repeatedly(state, *model);
}
BENCHMARK_CAPTURE(BM_CorpusToPSK, farm_course, "farm_course.brres")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusToPSK, human_walk, "human_walk.brres")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusToMD5, farm_course, "farm_course.brres")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CorpusToMD5, human_walk, "human_walk.brres")->Unit(benchmark::kMillisecond);

// PSK holds at most 65536 wedges: the 256 x 256 grid is the largest it takes.
void BM_GridToPSK(benchmark::State& state)
{
	PSKRepeatedly(state, *SkinnedGrid(int(state.range(0))));
}
BENCHMARK(BM_GridToPSK)->Arg(72)->Arg(256)->Unit(benchmark::kMillisecond);

// 10k, 130k and 1M triangles.
void BM_GridToMD5(benchmark::State& state)
{
	MD5Repeatedly(state, *SkinnedGrid(int(state.range(0))));
}
BENCHMARK(BM_GridToMD5)->Arg(72)->Arg(256)->Arg(708)->Unit(benchmark::kMillisecond);

// `bones` bones, each track keyed on every frame, as the per-frame CHR0
// formats give it.
AnimState KeyedEveryFrame(int bones, int frames)
{
	AnimState anim;
	anim.type = 1;
	anim.nFrames = frames;
	anim.bones.resize(std::size_t(bones));
	for (int b = 0; b < bones; ++b) {
		BoneAnim& bone = anim.bones[std::size_t(b)];
		for (std::size_t i = 0; i < 3; ++i) {
			for (int f = 0; f < frames; ++f) {
				const float t = float(f) * 0.05f + float(b) + float(i);
				bone.rotKeys[i].push_back(Key{float(f), 40.0f * std::sin(t)});
				bone.transKeys[i].push_back(Key{float(f), std::cos(t)});
			}
			bone.scaleKeys[i].push_back(Key{0, 1});
		}
	}
	return anim;
}

constexpr int kAnimBones = 50;

void CountKeys(benchmark::State& state, std::size_t bytes)
{
	const double keys = double(state.range(0)) * kAnimBones;
	state.counters["keys"] = keys;
	state.counters["keys/s"] = benchmark::Counter(keys, benchmark::Counter::kIsIterationInvariantRate);
	state.counters["bytes"] = double(bytes);
}

void BM_AnimToPSA(benchmark::State& state)
{
	const AnimState anim = KeyedEveryFrame(kAnimBones, int(state.range(0)));
	const std::vector<std::string> names(kAnimBones, "bone");
	std::size_t bytes = 0;
	for (auto _ : state) {
		const BinaryExport psa = ExportAnimToPSA(anim, kAnimBones, names, "clip");
		bytes = psa.bytes.size();
		benchmark::DoNotOptimize(psa.bytes.data());
	}
	CountKeys(state, bytes);
}
BENCHMARK(BM_AnimToPSA)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_AnimToMD5(benchmark::State& state)
{
	const AnimState anim = KeyedEveryFrame(kAnimBones, int(state.range(0)));
	auto model = std::make_unique<LoadedModel>();
	model->nBones = kAnimBones;
	model->nodelist.resize(kAnimBones);
	model->names.bones.assign(kAnimBones, "bone");
	for (int b = 0; b < kAnimBones; ++b) {
		model->bonemap.push_back(b);
		model->nodelist[std::size_t(b)].bone = b;
		model->nodelist[std::size_t(b)].parent = b - 1;
	}
	std::size_t bytes = 0;
	for (auto _ : state) {
		const TextExport md5 = ExportAnimToMD5(anim, *model, 10.0f);
		bytes = md5.text.size();
		benchmark::DoNotOptimize(md5.text.data());
	}
	CountKeys(state, bytes);
}
BENCHMARK(BM_AnimToMD5)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
