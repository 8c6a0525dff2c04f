// Every corpus model, exported to OBJ and to glb by zentarra-cli, imports in
// a real client: Assimp's command-line tool must find every face, and in a
// glb the meshes, the bones and the animations.
//
// Assimp post-processes what it reads: a triangle whose corners share a
// position becomes a line or a point, and a mesh whose points all lie at one
// position loses them. Real display lists hold such degenerate triangles, so
// the expected counts follow those rules: from the OBJ text for the OBJ (read
// as single floats, as Assimp reads it), from the posed corners for the glb.
#include "archive/archive_files.h"
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "export/cli_run.h"
#include "export/gltf_sources.h"
#include "model/mdl0_reader.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

namespace zentarra::testing {
namespace {

using Point = std::array<float, 3>;
using Mesh = std::vector<std::array<Point, 3>>;

struct Faces {
	std::map<std::string, long long> byType; // "triangle", "line", "point" as Assimp keeps them
	long long total = 0, dropped = 0;
	std::multiset<std::string> meshes; // one per primitive type a mesh keeps
};

Faces Classify(const std::vector<Mesh>& meshes, const std::vector<std::string>& names)
{
	Faces out;
	for (std::size_t j = 0; j < meshes.size(); ++j) {
		long long types[3] = {0, 0, 0}; // triangles, lines, points
		std::set<Point> points;
		for (const auto& p : meshes[j]) {
			const int distinct = 1 + (p[1] != p[0]) + (p[2] != p[0] && p[2] != p[1]);
			++types[3 - distinct];
			if (distinct == 1)
				points.insert(p[0]);
		}
		const bool dropPoints = points.size() == 1;
		out.total += types[0] + types[1] + types[2];
		out.byType["triangle"] += types[0];
		out.byType["line"] += types[1];
		(dropPoints ? out.dropped : out.byType["point"]) += types[2];
		for (int type = 0; type < 3; ++type)
			if (types[type] > 0 && !(type == 2 && dropPoints))
				out.meshes.insert(names.at(j));
	}
	return out;
}

// The OBJ's faces by group, each corner at its "v" line's position.
std::vector<Mesh> ObjMeshes(const std::string& obj)
{
	std::vector<Point> positions;
	std::vector<Mesh> meshes(1);
	std::istringstream lines(obj);
	for (std::string line; std::getline(lines, line);) {
		if (line.rfind("v ", 0) == 0) {
			Point& p = positions.emplace_back();
			char* at = line.data() + 2;
			for (float& value : p)
				value = std::strtof(at, &at);
		} else if (line.rfind("g ", 0) == 0) {
			meshes.emplace_back();
		} else if (line.rfind("f ", 0) == 0) {
			long long n[3] = {0, 0, 0};
			EXPECT_EQ(std::sscanf(line.c_str(), "f %lld/%*d/%*d %lld/%*d/%*d %lld/%*d/%*d", &n[0], &n[1], &n[2]), 3) << line;
			auto& face = meshes.back().emplace_back();
			for (int c = 0; c < 3; ++c) {
				if (n[c] < 1 || n[c] > static_cast<long long>(positions.size())) {
					ADD_FAILURE() << "face names a vertex not written before it: " << line;
					return {};
				}
				face[std::size_t(c)] = positions[std::size_t(n[c] - 1)];
			}
		}
	}
	return meshes;
}

// What `assimp info` reports: faces by type and in all, mesh names (once per
// mesh it made), node names and the animation count.
struct Scene {
	long long faces = -1, animations = -1;
	std::map<std::string, long long> byType;
	std::multiset<std::string> meshes;
	std::set<std::string> nodes;
};

Scene AssimpInfo(const std::string& file)
{
	const CommandResult run = RunCommand("assimp info " + Quote(file));
	EXPECT_EQ(run.status, 0) << run.out << run.err;
	Scene scene;
	std::istringstream lines(run.out);
	bool hierarchy = false;
	for (std::string line; std::getline(lines, line);) {
		long long vertices = 0, bones = 0, faces = 0;
		char type[32] = {};
		int start = 0;
		const std::size_t close = line.rfind("): [");
		if (line.rfind("Faces:", 0) == 0)
			scene.faces = std::atoll(line.c_str() + 6);
		else if (line.rfind("Animations:", 0) == 0)
			scene.animations = std::atoll(line.c_str() + 11);
		else if (line == "Node hierarchy:")
			hierarchy = true;
		else if (hierarchy && !line.empty()) {
			const std::size_t branch = line.rfind("\u2574"); // the tree's last drawing character
			scene.nodes.insert(branch == std::string::npos ? line : line.substr(branch + 3));
		} else if (close != std::string::npos && std::sscanf(line.c_str(), " %*d (%n", &start) == 0 && start > 0 &&
			std::sscanf(line.c_str() + close, "): [%lld / %lld / %lld | %31[a-z]]", &vertices, &bones, &faces, type) == 4) {
			// "    6 (polygon12): [2 / 0 / 1 | line]"
			scene.byType[type] += faces;
			scene.meshes.insert(line.substr(std::size_t(start), close - std::size_t(start)));
		}
	}
	return scene;
}

TEST(AssimpImport, EveryCorpusModelAsObjAndGlb)
{
	ASSERT_EQ(RunCommand("assimp version").status, 0) << "the assimp command is missing: install assimp-utils";
	TempDir dir;
	int models = 0;
	for (const nlohmann::json& archive : Inventory()) {
		const std::string file = kCorpus + "/" + archive["file"].get<std::string>();
		const FileBytes bytes = ReadWholeFile(file);
		OpenArchives items;
		ByteView view(bytes.bytes);
		ReadBRRES(view, file, items, nullptr);
		ArchiveFiles files;
		files.Put(file, bytes.bytes);
		for (const nlohmann::json& sub : archive["subfiles"]) {
			auto model = std::make_unique<LoadedModel>();
			if (sub["kind"] != "MDL0" || !ReadModel(view, sub["offset"].get<std::size_t>(), *model).ok)
				continue; // refused with a message, as every export refuses it
			const std::string name = sub["folder"].get<std::string>() + "/" + sub["name"].get<std::string>();
			SCOPED_TRACE(file + " " + name);
			const std::string out = (dir.path / ("model" + std::to_string(models++))).string();

			ASSERT_EQ(RunCli("export-model " + Quote(file) + " " + Quote(name) + " -o " + Quote(out + ".obj")).status, 0);
			std::vector<Mesh> objMeshes = ObjMeshes(ReadText(out + ".obj"));
			const Faces obj = Classify(objMeshes, std::vector<std::string>(objMeshes.size()));
			EXPECT_EQ(obj.total, sub["triangles"].get<long long>());
			Scene scene = AssimpInfo(out + ".obj");
			EXPECT_EQ(scene.faces, obj.total - obj.dropped);
			for (const char* type : {"triangle", "line", "point"})
				EXPECT_EQ(scene.byType[type], obj.byType.at(type)) << type;

			std::string command = "export-model " + Quote(file) + " " + Quote(name) + " -f glb -o " + Quote(out + ".glb");
			std::vector<std::string> warnings;
			const std::vector<GltfAnimation> animations = FindModelAnimations(*model, items, file, files, warnings);
			for (const GltfAnimation& animation : animations)
				command += ((animation.anim.type & 1) ? " --anim " : " --vanim ") + Quote(animation.name);
			const CommandResult run = RunCli(command);
			ASSERT_EQ(run.status, 0) << run.err;
			std::vector<Mesh> posed;
			for (const std::vector<Triangle>& mesh : model->MD.meshTris)
				for (Mesh& faces = posed.emplace_back(); const Triangle& t : mesh)
					faces.push_back({std::to_array(t.v[0].posedPos), std::to_array(t.v[1].posedPos), std::to_array(t.v[2].posedPos)});
			const Faces glb = Classify(posed, model->names.meshes);
			EXPECT_EQ(glb.total, obj.total);
			scene = AssimpInfo(out + ".glb");
			EXPECT_EQ(scene.faces, glb.total - glb.dropped);
			EXPECT_EQ(scene.byType["triangle"], glb.byType.at("triangle"));
			EXPECT_EQ(scene.meshes, glb.meshes);
			for (const std::string& bone : model->names.bones)
				EXPECT_TRUE(scene.nodes.count(bone)) << "bone " << bone;
			EXPECT_EQ(scene.animations, static_cast<long long>(animations.size()));
		}
	}
	EXPECT_GE(models, 20);
}

} // namespace
} // namespace zentarra::testing
