// MD5 mesh and animation text of a small skinned model, against hand-written
// files, and the animations that are refused.
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

std::size_t Count(const std::string& text, const std::string& what)
{
	std::size_t count = 0;
	for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
		++count;
	return count;
}

TEST(ExportToMD5, SmallSkinnedModel)
{
	EXPECT_EQ(ExportToMD5(SkeletalModel(), true), Expected("skeletal.md5mesh"));

	// without the flag the hidden mesh is written too, numbering its vertices from 0 again
	const std::string all = ExportToMD5(SkeletalModel(), false);
	EXPECT_NE(all.find("numMeshes 3\n"), std::string::npos);
	EXPECT_NE(all.find("\tshader \"skin_tex.tga\"\n\n\tnumverts 3\n\tvert 0 ( 0.000000 0.000000 ) 0 1\n"
						"\tvert 1 ( 1.000000 0.000000 ) 1 1\n\tvert 2 ( 0.250000 0.750000 ) 2 1\n"),
		std::string::npos)
		<< all;
	EXPECT_EQ(Count(all, "\tvert 0 "), 3u);
	EXPECT_EQ(Count(all, "\nmesh {\n"), 3u);
}

TEST(ExportToMD5, JointsFollowThePoseWeightsStayInBindSpace)
{
	LoadedModel model = SkeletalModel();
	// turn the arm back to 0 degrees, as a pose or an animation frame would
	Transfo straight;
	straight.trans[0] = 1;
	straight.trans[1] = 2;
	straight.trans[2] = 3;
	CalcNodeMatrix(model.nodelist[1], straight);
	for (int n = 0; n < 3; ++n)
		CalcNodeFinalMatrix(n, model.nodelist);
	CalcNodeMultiMatrix(3, model.nodelist);

	const std::string posed = ExportToMD5(model, true);
	const std::string bind = Expected("skeletal.md5mesh");
	EXPECT_NE(posed.find("\t\"arm\" 0 ( 3.000000 1.000000 2.000000 ) ( 0.000000 0.000000 0.000000 )\n"
						 "\t\"hand\" 1 ( 3.000000 1.000000 3.000000 ) ( 0.000000 0.000000 0.000000 )\n"),
		std::string::npos)
		<< posed;
	// everything behind the joints is the same as in the bind pose
	EXPECT_EQ(posed.substr(posed.find("}\n")), bind.substr(bind.find("}\n")));
}

TEST(ExportToMD5, NoBonesNoMeshes)
{
	EXPECT_EQ(ExportToMD5(LoadedModel(), true),
		"MD5Version 10\ncommandline \"\"\n\nnumJoints 0\nnumMeshes 0\n\njoints {\n}\n");

	// no material section: every shader is "none" whatever the names say
	LoadedModel model = SkeletalModel();
	model.MD.hasMat = 0;
	const std::string text = ExportToMD5(model, true);
	EXPECT_EQ(Count(text, "\tshader \"none\"\n"), 2u);
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
	EXPECT_EQ(bounds(-10.0f), "\t( 20 20 20 ) ( -14 -14 -14 )");
	const float inf = std::numeric_limits<float>::infinity();
	EXPECT_EQ(bounds(inf), "\t( -2147483648 -2147483648 -2147483648 ) ( 2147483647 2147483647 2147483647 )");
	EXPECT_EQ(bounds(std::numeric_limits<float>::quiet_NaN()), "\t( 0 0 0 ) ( 0 0 0 )");
}

TEST(ExportAnimToMD5, MixedOrEmptyAnimationsAreRefused)
{
	AnimState anim = SkeletalAnimation();
	anim.nFrames = -1; // a second animation was added onto the first
	TextExport result = ExportAnimToMD5(anim, SkeletalModel(), 1);
	EXPECT_FALSE(result.ok);
	EXPECT_EQ(result.message, kMixedAnimations);
	EXPECT_EQ(result.text, "");

	anim.nFrames = 0;
	result = ExportAnimToMD5(anim, SkeletalModel(), 1);
	EXPECT_FALSE(result.ok);
	EXPECT_EQ(result.message, kNoFrames);
}

} // namespace
} // namespace zentarra
