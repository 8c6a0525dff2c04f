// Every corpus model, exported to OBJ and to glb by zentarra-cli, imports in
// a real client: Assimp's command-line tool, which must find every face, and
// in a glb the meshes, the bones and the animations.
//
// Assimp post-processes what it reads: a triangle whose corners share a
// position becomes a line or a point, and a mesh whose positions are all one
// point is dropped. Real display lists hold such degenerate triangles, so the
// expected counts follow those rules, worked out from the OBJ text itself.
#include "archive/archive_files.h"
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "export/cli_run.h"
#include "export/gltf_sources.h"
#include "model/mdl0_reader.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace zentarra::testing {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct FaceCounts {
	long long triangles = 0; // three distinct positions
	long long lines = 0;     // two
	long long points = 0;    // one, in meshes with more than one point position
	long long dropped = 0;   // points of meshes whose points all lie at one position
	long long total = 0;     // every "f" line
};

// Classifies every face of an OBJ by its corners' distinct positions, read
// as single floats as Assimp reads them.
FaceCounts CountFaces(const std::string& obj)
{
	FaceCounts counts;
	std::vector<std::array<float, 3>> positions;
	std::vector<std::array<float, 3>> groupPoints; // one per point face of the group
	const auto endGroup = [&] {
		bool onePosition = true;
		for (const auto& p : groupPoints)
			onePosition = onePosition && p == groupPoints.front();
		(onePosition ? counts.dropped : counts.points) += static_cast<long long>(groupPoints.size());
		groupPoints.clear();
	};

	std::istringstream lines(obj);
	for (std::string line; std::getline(lines, line);) {
		if (line.rfind("v ", 0) == 0) {
			const char* at = line.c_str() + 2;
			std::array<float, 3> p{};
			for (float& value : p) {
				char* end = nullptr;
				value = std::strtof(at, &end);
				at = end;
			}
			positions.push_back(p);
		} else if (line.rfind("g ", 0) == 0) {
			endGroup();
		} else if (line.rfind("f ", 0) == 0) {
			++counts.total;
			long long n[3] = {0, 0, 0};
			if (std::sscanf(line.c_str(), "f %lld/%*d/%*d %lld/%*d/%*d %lld/%*d/%*d", &n[0], &n[1], &n[2]) != 3) {
				ADD_FAILURE() << "bad face line: " << line;
				continue;
			}
			std::array<float, 3> p[3];
			for (int c = 0; c < 3; ++c) {
				if (n[c] < 1 || n[c] > static_cast<long long>(positions.size())) {
					ADD_FAILURE() << "face names a vertex not written before it: " << line;
					return counts;
				}
				p[c] = positions[std::size_t(n[c] - 1)];
			}
			const int distinct = 1 + (p[1] != p[0]) + (p[2] != p[0] && p[2] != p[1]);
			if (distinct == 3)
				++counts.triangles;
			else if (distinct == 2)
				++counts.lines;
			else
				groupPoints.push_back(p[0]);
		}
	}
	endGroup();
	return counts;
}

struct AssimpCounts {
	long long faces = -1; // the "Faces:" total
	std::map<std::string, long long> byType; // faces per primitive type, over all meshes
};

AssimpCounts ParseAssimpInfo(const std::string& text)
{
	AssimpCounts counts;
	std::istringstream lines(text);
	for (std::string line; std::getline(lines, line);) {
		long long vertices = 0, bones = 0, faces = 0;
		char type[32] = {};
		const std::size_t bracket = line.rfind('[');
		if (line.rfind("Faces:", 0) == 0)
			counts.faces = std::atoll(line.c_str() + 6);
		// "    6 (polygon12): [2 / 0 / 1 | line]"
		else if (bracket != std::string::npos && line.find("): [") != std::string::npos &&
			std::sscanf(line.c_str() + bracket, "[%lld / %lld / %lld | %31[a-z]]", &vertices, &bones, &faces, type) ==
				4)
			counts.byType[type] += faces;
	}
	return counts;
}

TEST(AssimpImport, EveryCorpusModelKeepsItsFaces)
{
	const CommandResult version = RunCommand("assimp version");
	ASSERT_EQ(version.status, 0) << "the assimp command is missing: install assimp-utils (scripts/install-deps)";

	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	int models = 0;
	for (const json& archive : Inventory()) {
		for (const json& sub : archive["subfiles"]) {
			if (sub["kind"] != "MDL0" || sub["vertices"] == 0)
				continue;
			const std::string name = sub["folder"].get<std::string>() + "/" + sub["name"].get<std::string>();
			SCOPED_TRACE(archive["file"].get<std::string>() + " " + name);
			const fs::path obj = dir.path / ("model" + std::to_string(models++) + ".obj");

			const std::string file = kCorpus + "/" + archive["file"].get<std::string>();
			const CommandResult exported =
				RunCli("export-model " + Quote(file) + " " + Quote(name) + " -o " + Quote(obj.string()));
			ASSERT_EQ(exported.status, 0) << exported.err;
			const FaceCounts ours = CountFaces(ReadText(obj));
			EXPECT_EQ(ours.total, sub["triangles"].get<long long>());

			const CommandResult imported = RunCommand("assimp info " + Quote(obj.string()));
			ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
			AssimpCounts theirs = ParseAssimpInfo(imported.out);
			EXPECT_EQ(theirs.faces, ours.total - ours.dropped) << imported.out;
			EXPECT_EQ(theirs.byType["triangle"], ours.triangles);
			EXPECT_EQ(theirs.byType["line"], ours.lines);
			EXPECT_EQ(theirs.byType["point"], ours.points);
		}
	}
	EXPECT_GE(models, 20);
}

// What a glb holds for Assimp: mesh names (once per mesh it made), faces by
// type, node names and the animation count.
struct AssimpScene {
	std::multiset<std::string> meshes;
	AssimpCounts counts;
	std::set<std::string> nodes;
	long long animations = -1;
};

// The name in a mesh line of `assimp info`, "   3 (name): [12 / 0 / 36 | triangle]".
// (No std::regex: gcc 12 warns inside it in the sanitizer build.)
std::optional<std::string> MeshLineName(const std::string& line)
{
	std::size_t i = 0;
	while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
		++i;
	const std::size_t digits = i;
	while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
		++i;
	const std::size_t close = line.rfind("): [");
	if (digits == 0 || i == digits || line.compare(i, 2, " (") != 0 || close == std::string::npos || close < i + 2 ||
		line.back() != ']')
		return std::nullopt;
	const std::string counts = line.substr(close + 4, line.size() - close - 5);
	const std::size_t bar = counts.find(" | ");
	if (bar == std::string::npos || counts.find(" / ") == std::string::npos ||
		counts.find(" / ", counts.find(" / ") + 3) == std::string::npos)
		return std::nullopt;
	return line.substr(i + 2, close - i - 2);
}

AssimpScene ParseAssimpScene(const std::string& text)
{
	AssimpScene scene;
	scene.counts = ParseAssimpInfo(text);
	std::istringstream lines(text);
	bool hierarchy = false;
	for (std::string line; std::getline(lines, line);) {
		if (line.rfind("Animations:", 0) == 0)
			scene.animations = std::atoll(line.c_str() + 11);
		else if (const std::optional<std::string> mesh = MeshLineName(line))
			scene.meshes.insert(*mesh);
		else if (line == "Node hierarchy:")
			hierarchy = true;
		else if (hierarchy && !line.empty()) {
			const std::size_t branch = line.rfind("\u2574"); // the tree's last drawing character
			scene.nodes.insert(branch == std::string::npos ? line : line.substr(branch + 3));
		}
	}
	return scene;
}

// Faces as Assimp keeps them (see FaceCounts), from the bind-pose corners,
// and the names of the meshes it keeps.
struct MeshFaces {
	FaceCounts counts;
	std::multiset<std::string> meshes; // one per primitive type a mesh keeps
};

MeshFaces CountModelFaces(const LoadedModel& model)
{
	MeshFaces out;
	for (std::size_t j = 0; j < model.MD.meshTris.size(); ++j) {
		long long types[3] = {0, 0, 0}; // triangles, lines, points
		std::set<std::array<float, 3>> points;
		for (const Triangle& t : model.MD.meshTris[j]) {
			std::array<float, 3> p[3];
			for (int c = 0; c < 3; ++c)
				p[c] = {t.v[c].posedPos[0], t.v[c].posedPos[1], t.v[c].posedPos[2]};
			const int distinct = 1 + (p[1] != p[0]) + (p[2] != p[0] && p[2] != p[1]);
			++types[3 - distinct];
			if (distinct == 1)
				points.insert(p[0]);
		}
		out.counts.total += types[0] + types[1] + types[2];
		out.counts.triangles += types[0];
		out.counts.lines += types[1];
		// a mesh whose points all lie at one position loses them
		const bool dropPoints = points.size() == 1;
		(dropPoints ? out.counts.dropped : out.counts.points) += types[2];
		for (int type = 0; type < 3; ++type)
			if (types[type] > 0 && !(type == 2 && dropPoints))
				out.meshes.insert(model.names.meshes.at(j));
	}
	return out;
}

TEST(AssimpImport, EveryCorpusGlbKeepsMeshesFacesBonesAndAnimations)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	int models = 0;
	for (const json& archive : Inventory()) {
		const std::string file = kCorpus + "/" + archive["file"].get<std::string>();
		const FileBytes bytes = ReadWholeFile(file);
		OpenArchives items;
		ByteView view(bytes.bytes);
		ReadBRRES(view, file, items, nullptr);
		ArchiveFiles files;
		files.Put(file, bytes.bytes);
		for (const ItemRecord& item : items.items()) {
			if (item.kind != ItemKind::MDL0)
				continue;
			auto model = std::make_unique<LoadedModel>();
			if (!ReadModel(view, item.offset, *model).ok)
				continue; // refused with a message, as every export refuses it
			SCOPED_TRACE(file + " " + item.name);
			const fs::path glb = dir.path / ("model" + std::to_string(models++) + ".glb");
			std::string command = "export-model " + Quote(file) + " " + Quote(item.name) + " -f glb -o " + Quote(glb.string());
			std::vector<std::string> warnings;
			const std::vector<GltfAnimation> animations = FindModelAnimations(*model, items, file, files, warnings);
			for (const GltfAnimation& animation : animations)
				command += ((animation.anim.type & 1) ? " --anim " : " --vanim ") + Quote(animation.name);
			const CommandResult run = RunCli(command);
			ASSERT_EQ(run.status, 0) << run.err;

			const CommandResult imported = RunCommand("assimp info " + Quote(glb.string()));
			ASSERT_EQ(imported.status, 0) << imported.out << imported.err;
			AssimpScene scene = ParseAssimpScene(imported.out);
			const MeshFaces ours = CountModelFaces(*model);
			for (const json& sub : archive["subfiles"]) {
				if (sub["kind"] == "MDL0" && sub["offset"] == item.offset) {
					EXPECT_EQ(ours.counts.total, sub["triangles"].get<long long>());
				}
			}
			EXPECT_EQ(scene.counts.faces, ours.counts.total - ours.counts.dropped);
			EXPECT_EQ(scene.counts.byType["triangle"], ours.counts.triangles);
			EXPECT_EQ(scene.meshes, ours.meshes);
			for (const std::string& bone : model->names.bones)
				EXPECT_TRUE(scene.nodes.count(bone)) << "bone " << bone;
			EXPECT_EQ(scene.animations, static_cast<long long>(animations.size()));
		}
	}
	EXPECT_GE(models, 20);
}

} // namespace
} // namespace zentarra::testing
