// MD5 mesh and animation text of a small skinned model, against hand-written
// files.
#include "anim/bone_matrices.h"
#include "base/file_io.h"
#include "export/md5.h"
#include "export/skeletal_model.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace zentarra {
namespace {

using test::SkeletalAnimation;
using test::SkeletalModel;

std::string Expected(const char* name)
{
	const FileBytes file = ReadWholeFile(std::string(ZENTARRA_SOURCE_DIR "/tests/export/data/") + name);
	EXPECT_EQ(file.status, ReadStatus::Ok) << name;
	return std::string(file.bytes.begin(), file.bytes.end());
}

TEST(ExportToMD5, SmallSkinnedModel)
{
	const std::string bind = Expected("skeletal.md5mesh");
	EXPECT_EQ(ExportToMD5(SkeletalModel(), true), bind);

	// without the flag the hidden mesh is written too, numbering its vertices from 0 again
	const std::string all = ExportToMD5(SkeletalModel(), false);
	EXPECT_NE(all.find("numMeshes 3\n"), std::string::npos);
	EXPECT_NE(all.find("}\n\nmesh {\n\tshader \"skin_tex.tga\"\n\n\tnumverts 3\n\tvert 0 ( 0.000000 0.000000 ) 0 1\n"),
		std::string::npos)
		<< all;

	// turn the arm back to 0 degrees: the joints move, the weights stay in bind space
	LoadedModel model = SkeletalModel();
	CalcNodeMatrix(model.nodelist[1], Transfo{{1, 1, 1}, {0, 0, 0}, {1, 2, 3}});
	for (int n = 0; n < 3; ++n)
		CalcNodeFinalMatrix(n, model.nodelist);
	const std::string posed = ExportToMD5(model, true);
	EXPECT_NE(posed.find("\t\"arm\" 0 ( 3.000000 1.000000 2.000000 ) ( 0.000000 0.000000 0.000000 )\n"
						 "\t\"hand\" 1 ( 3.000000 1.000000 3.000000 ) ( 0.000000 0.000000 0.000000 )\n"),
		std::string::npos)
		<< posed;
	EXPECT_EQ(posed.substr(posed.find("}\n")), bind.substr(bind.find("}\n")));

	// no bones, no meshes; no material section: every shader "none"
	EXPECT_EQ(ExportToMD5(LoadedModel(), true),
		"MD5Version 10\ncommandline \"\"\n\nnumJoints 0\nnumMeshes 0\n\njoints {\n}\n");
	model.MD.hasMat = 0;
	EXPECT_EQ(ExportToMD5(model, true).find("skin_tex"), std::string::npos);
}

TEST(ExportAnimToMD5, SmallAnimation)
{
	const TextExport result = ExportAnimToMD5(SkeletalAnimation(), SkeletalModel(), 1.5f);
	ASSERT_TRUE(result.ok) << result.message;
	EXPECT_EQ(result.text, Expected("skeletal.md5anim"));
}

TEST(ExportAnimToMD5, BoundsAreTruncatedTowardZero)
{
	const auto bounds = [](float radius) {
		const TextExport result = ExportAnimToMD5(SkeletalAnimation(), SkeletalModel(), radius);
		EXPECT_TRUE(result.ok);
		const std::size_t at = result.text.find("bounds {\n") + 9;
		return result.text.substr(at, result.text.find('\n', at) - at);
	};
	EXPECT_EQ(bounds(0.3f), "\t( 0 0 0 ) ( 6 6 6 )"); // (0 - 0.3) x 2 = -0.6, (3 + 0.3) x 2 = 6.6
	EXPECT_EQ(bounds(std::numeric_limits<float>::infinity()),
		"\t( -2147483648 -2147483648 -2147483648 ) ( 2147483647 2147483647 2147483647 )");
	EXPECT_EQ(bounds(std::numeric_limits<float>::quiet_NaN()), "\t( 0 0 0 ) ( 0 0 0 )");
}

} // namespace
} // namespace zentarra
