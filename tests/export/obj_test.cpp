// OBJ and MTL text of hand-built models, vertex numbering, and "%f" text.
#include "base/text.h"
#include "export/obj.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <unistd.h>

namespace zentarra {
namespace {

namespace fs = std::filesystem;

Vertex Corner(int pos, int nrm, int uv, int node, Vec3 posed, Vec3 normal, Vec2 texCoord)
{
	Vertex v;
	v.posIndex = pos;
	v.nrmIndex = nrm;
	v.uvIndex = uv;
	v.node = node;
	for (int i = 0; i < 3; ++i) {
		v.posedPos[i] = posed[std::size_t(i)];
		v.posedNrm[i] = normal[std::size_t(i)];
		v.pos[i] = 99; // bind values must not be what is written
		v.nrm[i] = 99;
	}
	v.uv[0] = texCoord[0];
	v.uv[1] = texCoord[1];
	return v;
}

Triangle Tri(const Vertex& a, const Vertex& b, const Vertex& c)
{
	return Triangle{{a, b, c}};
}

struct Fixture {
	BRMDL model;
	ModelNames names;
};

// Four meshes: two triangles sharing an edge; a hidden one; one without
// triangles; one whose corners share a position index but not a uv index.
// Material 1 is textured, material 2 is not.
Fixture SmallModel()
{
	Fixture f;
	BRMDL& md = f.model;
	md.nMesh = 4;
	md.meshVisible = {1, 0, 1, 1};
	md.meshMat = {0, 1, 0, 1};
	md.hasMat = 1;
	md.nMat = 2;
	md.texName = {"skin", ""};
	md.palName = {"", ""};
	f.names.meshes = {"body", "hidden", "empty", "tail"};

	const Vec3 up{0, 0, 1};
	const Vertex a = Corner(0, 0, 0, 0, {0, 0, 0}, up, {0, 0});
	const Vertex b = Corner(1, 0, 1, 0, {1, 0, 0}, up, {1, 0});
	const Vertex c = Corner(2, 0, 2, 0, {0, 1, 0}, up, {0, 1});
	const Vertex d = Corner(3, 0, 3, 0, {1, 1, 0}, up, {1, 0.25f});
	// equal indices to b: its values are never looked at, b's are written
	const Vertex bAgain = Corner(1, 0, 1, 0, {9, 9, 9}, {9, 9, 9}, {9, 9});
	md.meshTris.push_back({Tri(a, b, c), Tri(bAgain, d, c)});

	md.meshTris.push_back({Tri(Corner(0, 0, 0, 1, {5, 5, 5}, up, {0, 0}), Corner(1, 0, 0, 1, {6, 6, 6}, up, {0, 0}),
		Corner(2, 0, 0, 1, {7, 7, 7}, up, {0, 0}))});

	md.meshTris.push_back({});

	// no normals in this mesh: index -2 and a zero normal
	const Vec3 none{0, 0, 0};
	md.meshTris.push_back({Tri(Corner(0, -2, 0, 0, {0.5f, -0.25f, 2}, none, {0.5f, 0.5f}),
		Corner(0, -2, 1, 0, {0.5f, -0.25f, 2}, none, {0.125f, 1}),
		Corner(4, -2, 2, 0, {-1e-7f, 123456.789f, -0.0f}, none, {-1, 2}))});
	return f;
}

TEST(ExportToOBJ, SmallModelSkippingHiddenMeshes)
{
	const Fixture f = SmallModel();
	const std::string expected =
		"mtllib small.mtl\n"
		"\n"
		// body: four vertices, the shared edge written once
		"v 0.000000 0.000000 0.000000\n"
		"v 1.000000 0.000000 0.000000\n"
		"v 0.000000 1.000000 0.000000\n"
		"v 1.000000 1.000000 0.000000\n"
		"\n"
		"vt 0.000000 1.000000\n"
		"vt 1.000000 1.000000\n"
		"vt 0.000000 0.000000\n"
		"vt 1.000000 0.750000\n"
		"\n"
		"vn 0.000000 0.000000 1.000000\n"
		"vn 0.000000 0.000000 1.000000\n"
		"vn 0.000000 0.000000 1.000000\n"
		"vn 0.000000 0.000000 1.000000\n"
		"\n"
		"g body\n"
		"s 1\n"
		"usemtl mat1\n"
		"f 1/1/1 2/2/2 3/3/3\n"
		"f 2/2/2 4/4/4 3/3/3\n"
		"\n"
		// empty: the blank lines of its three lists, its group, no face
		"\n"
		"\n"
		"\n"
		"g empty\n"
		"s 1\n"
		"usemtl mat1\n"
		"\n"
		// tail: same position index, other uv index, so two equal v lines
		"v 0.500000 -0.250000 2.000000\n"
		"v 0.500000 -0.250000 2.000000\n"
		"v -0.000000 123456.789062 -0.000000\n"
		"\n"
		"vt 0.500000 0.500000\n"
		"vt 0.125000 0.000000\n"
		"vt -1.000000 -1.000000\n"
		"\n"
		"vn 0.000000 0.000000 0.000000\n"
		"vn 0.000000 0.000000 0.000000\n"
		"vn 0.000000 0.000000 0.000000\n"
		"\n"
		"g tail\n"
		"s 1\n"
		"usemtl mat2\n"
		"f 5/5/5 6/6/6 7/7/7\n"
		"\n";
	EXPECT_EQ(ExportToOBJ(f.model, f.names, "small", true), expected);
}

TEST(ExportToOBJ, HiddenMeshesAreWrittenWithoutTheFlag)
{
	const Fixture f = SmallModel();
	const std::string text = ExportToOBJ(f.model, f.names, "small", false);
	EXPECT_NE(text.find("\n\nv 5.000000 5.000000 5.000000\nv 6.000000 6.000000 6.000000\n"), std::string::npos);
	EXPECT_NE(text.find("\ng hidden\ns 1\nusemtl mat2\nf 5/5/5 6/6/6 7/7/7\n\n"), std::string::npos);
	// the tail now starts behind the hidden mesh's three vertices
	EXPECT_NE(text.find("\ng tail\ns 1\nusemtl mat2\nf 8/8/8 9/9/9 10/10/10\n\n"), std::string::npos) << text;

	// a mesh marked hidden but exported anyway is the same text as a visible one
	Fixture shown = SmallModel();
	shown.model.meshVisible = {1, 1, 1, 1};
	EXPECT_EQ(ExportToOBJ(shown.model, shown.names, "small", true), text);
}

TEST(ExportToOBJ, ModelWithoutMeshesOrMaterials)
{
	BRMDL empty;
	EXPECT_EQ(ExportToOBJ(empty, {}, "nothing", true), "mtllib nothing.mtl\n\n");

	// no material section: each group still names mat1
	Fixture f = SmallModel();
	f.model.nMesh = 1;
	f.model.hasMat = 0;
	f.model.nMat = 0;
	f.model.texName.clear();
	f.model.meshMat = {0};
	EXPECT_NE(ExportToOBJ(f.model, f.names, "m", true).find("\ng body\ns 1\nusemtl mat1\n"), std::string::npos);
	EXPECT_EQ(MtlText(f.model), "");
}

// The numbering the first-match rule gives, found the slow way.
std::vector<UniqueVertex> NumberByLinearSearch(const std::vector<Triangle>& triangles)
{
	std::vector<UniqueVertex> records(triangles.size() * 3);
	std::int32_t counter = 0;
	for (std::size_t k = 0; k < records.size(); ++k) {
		const Vertex& corner = triangles[k / 3].v[k % 3];
		bool found = false;
		for (std::size_t j = 0; j < k && !found; ++j) {
			if (records[j].duplicateOf == -1 && CompareVertices(triangles[j / 3].v[j % 3], corner)) {
				records[k] = {records[j].vertexNumber, 0};
				found = true;
			}
		}
		if (!found)
			records[k] = {-1, counter++};
	}
	return records;
}

std::vector<UniqueVertex> NumberWithTable(const std::vector<Triangle>& triangles, CornerTable& table, int& newCount)
{
	std::vector<UniqueVertex> records(triangles.size() * 3);
	table.Reset(records.size());
	std::int32_t counter = 0;
	newCount = 0;
	for (std::size_t k = 0; k < records.size(); ++k)
		newCount += LookForVertex2(triangles[k / 3].v[k % 3], records, k, table, counter) ? 1 : 0;
	EXPECT_EQ(newCount, counter);
	return records;
}

bool SameNumbering(const std::vector<UniqueVertex>& a, const std::vector<UniqueVertex>& b)
{
	if (a.size() != b.size())
		return false;
	for (std::size_t k = 0; k < a.size(); ++k)
		if (a[k].duplicateOf != b[k].duplicateOf || (a[k].duplicateOf == -1 && a[k].vertexNumber != b[k].vertexNumber))
			return false;
	return true;
}

TEST(LookForVertex2, MatchesTheFirstEqualCornerRule)
{
	// random meshes with few distinct indices, so equal corners are common;
	// negative indices (absent attributes) included. One table serves every
	// mesh, as in the export, and grows from small sizes.
	std::mt19937 random(7);
	CornerTable table;
	for (int round = 0; round < 200; ++round) {
		const int spread = 1 + round % 9;
		std::uniform_int_distribution<int> index(-2, spread);
		std::uniform_int_distribution<int> count(0, round < 100 ? 12 : 400);
		std::vector<Triangle> triangles(std::size_t(count(random)));
		for (Triangle& t : triangles)
			for (Vertex& v : t.v)
				v = Corner(index(random), index(random), index(random), index(random) & 1, {}, {}, {});
		int newCount = 0;
		const std::vector<UniqueVertex> fast = NumberWithTable(triangles, table, newCount);
		ASSERT_TRUE(SameNumbering(fast, NumberByLinearSearch(triangles))) << "round " << round;
	}
}

TEST(LookForVertex2, AllDistinctCornersNumberInOrder)
{
	// more distinct corners than the table is first sized for
	std::vector<Triangle> triangles(5000);
	int pos = 0;
	for (Triangle& t : triangles)
		for (Vertex& v : t.v)
			v = Corner(pos++, -2, -1, 0, {}, {}, {});
	CornerTable table;
	int newCount = 0;
	const std::vector<UniqueVertex> records = NumberWithTable(triangles, table, newCount);
	EXPECT_EQ(newCount, 15000);
	for (std::size_t k = 0; k < records.size(); ++k) {
		ASSERT_EQ(records[k].duplicateOf, -1);
		ASSERT_EQ(records[k].vertexNumber, std::int32_t(k));
	}
}

TEST(CompareVertices, IndicesDecideValuesDoNot)
{
	const Vertex a = Corner(1, 2, 3, 4, {0, 0, 0}, {0, 0, 1}, {0, 0});
	EXPECT_TRUE(CompareVertices(a, Corner(1, 2, 3, 4, {7, 7, 7}, {1, 0, 0}, {5, 5})));
	EXPECT_FALSE(CompareVertices(a, Corner(0, 2, 3, 4, {0, 0, 0}, {0, 0, 1}, {0, 0})));
	EXPECT_FALSE(CompareVertices(a, Corner(1, 0, 3, 4, {0, 0, 0}, {0, 0, 1}, {0, 0})));
	EXPECT_FALSE(CompareVertices(a, Corner(1, 2, 0, 4, {0, 0, 0}, {0, 0, 1}, {0, 0})));
	EXPECT_FALSE(CompareVertices(a, Corner(1, 2, 3, 0, {0, 0, 0}, {0, 0, 1}, {0, 0})));
}

const char* const kMaterialBlock = "\tNs 10\n\tNi 1.0\n\td 1.0\n\tTf 1 1 1\n\tillum 2\n\t"
								   "Ka 0.5 0.5 0.5\n\tKd 0.9 0.9 0.9\n\tKs 0.0 0.0 0.0\n\tmap_Kd ";

TEST(MtlText, OneBlockPerMaterialEmptyTextureKeepsTheExtension)
{
	const Fixture f = SmallModel();
	const std::string expected = std::string("newmtl mat1\n") + kMaterialBlock + "skin.tga\n\n" + "newmtl mat2\n" +
		kMaterialBlock + ".tga\n\n";
	EXPECT_EQ(MtlText(f.model), expected);
}

TEST(MtlPathFor, LastThreeCharactersBecomeMtl)
{
	EXPECT_EQ(MtlPathFor("out/kuribo.obj"), fs::path("out/kuribo.mtl"));
	EXPECT_EQ(MtlPathFor("/tmp/a.b/x.OBJ"), fs::path("/tmp/a.b/x.mtl"));
	EXPECT_EQ(MtlPathFor("model.txt"), fs::path("model.mtl"));
}

class TempDir {
public:
	TempDir()
	{
		std::string pattern = (fs::temp_directory_path() / "zentarra-obj-XXXXXX").string();
		path = ::mkdtemp(pattern.data()) ? pattern : "";
	}
	~TempDir()
	{
		std::error_code ignored;
		if (!path.empty())
			fs::remove_all(path, ignored);
	}
	fs::path path;
};

std::string ReadText(const fs::path& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

TEST(WriteMTL, WritesBesideTheObjOrFails)
{
	TempDir dir;
	ASSERT_FALSE(dir.path.empty());
	const Fixture f = SmallModel();
	const fs::path obj = dir.path / "small.obj";
	ASSERT_TRUE(WriteMTL(obj, f.model));
	EXPECT_EQ(ReadText(dir.path / "small.mtl"), MtlText(f.model));
	// nothing else is left behind, no temporary file in particular
	EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

	EXPECT_FALSE(WriteMTL(dir.path / "missing" / "small.obj", f.model));
}

std::string Printf(double value)
{
	char text[400];
	std::snprintf(text, sizeof text, "%f", value);
	return text;
}

std::string Fixed6(double value)
{
	std::string out = "x";
	AppendFixed6(out, value);
	return out.substr(1); // appends, never replaces
}

TEST(AppendFixed6, SameTextAsPrintf)
{
	const double nan = std::numeric_limits<double>::quiet_NaN();
	const double inf = std::numeric_limits<double>::infinity();
	const double values[] = {
		0.0, -0.0, 1.0, -1.0, 0.1, 1.0 / 3.0, -2.0 / 3.0,
		-1e-9, -4.9e-7, 4.9e-7, 5e-7, -5e-7, 5.000001e-7, 1.5e-6, 2.5e-6, // round to or just away from zero
		0.0078125, 0.0234375, 0.5e-6 + 1e-6, 0.9999995, -0.9999995, 999999.9999995, // ties and near-ties
		double(123456.789f), double(FLT_MAX), double(-FLT_MAX), double(FLT_MIN), double(FLT_TRUE_MIN),
		1e15 + 0.5, 9007199254740993.0, 1e22, 1e300, -1e300, DBL_MAX, -DBL_MAX, DBL_MIN, 4.9e-324,
		inf, -inf, nan, std::copysign(nan, -1.0)};
	for (const double value : values)
		EXPECT_EQ(Fixed6(value), Printf(value)) << std::hexfloat << value;

	// the cases that matter most in the files, spelled out
	EXPECT_EQ(Fixed6(-0.0), "-0.000000");
	EXPECT_EQ(Fixed6(-1e-9), "-0.000000");
	EXPECT_EQ(Fixed6(0.0078125), "0.007812"); // exact tie: to even
	EXPECT_EQ(Fixed6(0.0234375), "0.023438");
	EXPECT_EQ(Fixed6(double(123456.789f)), "123456.789062");
	EXPECT_EQ(Fixed6(inf), "inf");
	EXPECT_EQ(Fixed6(-inf), "-inf");
	EXPECT_EQ(Fixed6(std::copysign(nan, -1.0)), "-nan");
	EXPECT_EQ(Fixed6(DBL_MAX).size(), 309u + 7u);
}

TEST(AppendFixed6, RandomFloatsMatchPrintf)
{
	// every bit pattern class: tiny, huge, negative, with the float's own digits
	std::mt19937 random(11);
	for (int i = 0; i < 20000; ++i) {
		const float value = std::bit_cast<float>(std::uint32_t(random()));
		ASSERT_EQ(Fixed6(double(value)), Printf(double(value))) << std::hexfloat << value;
	}
}

} // namespace
} // namespace zentarra
