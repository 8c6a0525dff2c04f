// Every corpus model, exported to OBJ by zentarra-cli, imports in a real
// client: Assimp's command-line tool, which must find every face.
//
// Assimp post-processes what it reads: a triangle whose corners share a
// position becomes a line or a point, and a mesh whose positions are all one
// point is dropped. Real display lists hold such degenerate triangles, so the
// expected counts follow those rules, worked out from the OBJ text itself.
#include "export/cli_run.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <map>
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

} // namespace
} // namespace zentarra::testing
