// zentarra-cli export-model in an animation's pose, and export-anim.
#include "export/cli_run.h"

#include <gtest/gtest.h>

#include <map>

namespace zentarra::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDemo = Quote(std::string(ZENTARRA_SOURCE_DIR) + "/samples/demo.brres");

std::string Corpus(const std::string& name)
{
	return kCorpus + "/brres/" + name;
}

TEST(CliExportModel, PosedAtAFrameOfAnAnimationInAnotherArchive)
{
	TempDir dir;
	const std::string walk = Quote(Corpus("human_walk.brres"));
	const std::string clip = Quote(Corpus("human_walk_chr0.brres") + ":human_walk");
	std::map<std::string, std::string> files;
	for (const std::string& pose : {std::string(), " --anim " + clip, " --anim " + clip + " --frame 0", " --anim " + clip + " --frame 30.5"})
		for (const char* format : {"psk", "md5"}) {
			const fs::path out = dir.path / (std::to_string(files.size()) + "." + format);
			const CommandResult run = RunCli("export-model " + walk + " human_walk -f " + format + " -o " + Quote(out.string()) + pose);
			ASSERT_EQ(run.status, 0) << pose << run.err;
			files[format + pose] = ReadText(out);
		}
	EXPECT_EQ(files.at("psk").substr(0, 8), "ACTRHEAD");
	EXPECT_EQ(files.at("md5").substr(0, 14), "MD5Version 10\n");
	for (const char* format : {"psk", "md5"}) {
		const std::string f = format;
		// frame 0 is the default, and the walk's frame 0 is not the bind pose; frame 30.5 differs again
		EXPECT_EQ(files.at(f + " --anim " + clip), files.at(f + " --anim " + clip + " --frame 0"));
		EXPECT_NE(files.at(f), files.at(f + " --anim " + clip));
		EXPECT_NE(files.at(f + " --anim " + clip), files.at(f + " --anim " + clip + " --frame 30.5"));
		EXPECT_EQ(files.at(f + " --anim " + clip + " --frame 30.5").find("nan"), std::string::npos);
	}

	const std::string out = Quote((dir.path / "x.psk").string());
	CommandResult run = RunCli("export-model " + walk + " human_walk -f psk -o " + out + " --anim " + clip + " --frame 71");
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err, "Error: frame 71 is outside the animation's frames 0 to 70\n");
	run = RunCli("export-model " + walk + " human_walk -f psk -o " + out + " --anim nothing");
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err, "Error: no bone animation named \"nothing\"; the file holds no bone animation\n");
	EXPECT_EQ(RunCli("export-model " + walk + " human_walk -f psk -o " + out + " --frame 3").status, 2);
}

TEST(CliExportAnim, PsaAloneOrOnItsModelAndMd5OnItsModel)
{
	TempDir dir;
	const std::string cow = Quote(Corpus("cow.brres"));
	const fs::path alone = dir.path / "walk.psa", onModel = dir.path / "walk-model.psa", md5 = dir.path / "walk.md5anim";
	CommandResult run = RunCli("export-anim " + cow + " walk -o " + Quote(alone.string()));
	ASSERT_EQ(run.status, 0) << run.err;
	run = RunCli("export-anim " + cow + " walk -o " + Quote(onModel.string()) + " --model cow");
	ASSERT_EQ(run.status, 0) << run.err;
	run = RunCli("export-anim " + cow + " 'AnmChr(NW4R)/walk' -f md5 -o " + Quote(md5.string()) + " --model cow");
	ASSERT_EQ(run.status, 0) << run.err;

	const std::string psa = ReadText(alone);
	EXPECT_EQ(psa.substr(0, 8), "ANIMHEAD");
	EXPECT_NE(psa.find("BONENAMES"), std::string::npos);
	EXPECT_NE(psa.find("ANIMKEYS"), std::string::npos);
	EXPECT_FALSE(ReadText(onModel).empty());
	const std::string anim = ReadText(md5);
	EXPECT_EQ(anim.substr(0, 14), "MD5Version 10\n");
	EXPECT_NE(anim.find("numFrames 60\n"), std::string::npos);

	run = RunCli("export-anim " + cow + " walk -f md5 -o " + Quote(md5.string()));
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err, "Error: an MD5 animation needs the model it plays on (--model)\n");
	run = RunCli("export-anim " + cow + " walk -o " + Quote(md5.string()) + " --model /nonexistent/x.brres:cow");
	EXPECT_EQ(run.status, 1);
	EXPECT_EQ(run.err.rfind("Error: no model named \"/nonexistent/x.brres:cow\"", 0), 0u) << run.err;
}

TEST(CliExportAnim, DemoAnimationsPlayOnTheDemoModel)
{
	TempDir dir;
	const fs::path closed = dir.path / "closed.obj", open = dir.path / "open.obj";
	ASSERT_EQ(RunCli("export-model " + kDemo + " crate -o " + Quote(closed.string())).status, 0);
	const CommandResult run =
		RunCli("export-model " + kDemo + " crate -o " + Quote(open.string()) + " --anim crate_open --frame 20");
	ASSERT_EQ(run.status, 0) << run.err;
	EXPECT_NE(ReadText(closed), ReadText(open));
	EXPECT_EQ(RunCli("export-anim " + kDemo + " crate_open -f md5 --model crate -o " +
				  Quote((dir.path / "open.md5anim").string()))
				  .status,
		0);
}

} // namespace
} // namespace zentarra::testing
