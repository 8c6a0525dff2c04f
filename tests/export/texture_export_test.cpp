// A model's textures as TGA beside it.
#include "archive/brres_directory.h"
#include "export/auto_export.h"
#include "export/cli_run.h"
#include "export/tga.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"
#include "support/mdl0_writer.h"
#include "support/tex0_writer.h"
#include "texture/texture_items.h"

#include <gtest/gtest.h>

namespace zentarra {
namespace {

using testing::Bytes;
using testing::ReadText;
using testing::TempDir;

struct Archive {
	OpenArchives items;
	ArchiveFiles files;
	int archiveId = 0;
	std::size_t modelOffset = 0;
	LoadedModel model;

	explicit Archive(Bytes bytes)
	{
		ByteView view(bytes);
		ReadBRRES(view, "test.brres", items, nullptr);
		for (const ItemRecord& item : items.items())
			if (item.kind == ItemKind::MDL0) {
				modelOffset = item.offset;
				archiveId = item.archive;
			}
		ByteView modelView(bytes);
		EXPECT_TRUE(ReadModel(modelView, modelOffset, model).ok);
		files.Put("test.brres", std::move(bytes));
	}
};

std::vector<std::string> Outcomes(const std::vector<TextureExport>& report)
{
	std::vector<std::string> lines;
	for (const TextureExport& line : report) {
		const char* outcome[] = {"written", "kept", "skipped", "failed"};
		lines.push_back(std::to_string(line.material) + " " + line.texture + " " + outcome[int(line.outcome)]);
	}
	return lines;
}

TEST(ModelTextureExport, DemoModelWritesOneTgaPerMaterialAndKeepsOldFiles)
{
	Archive demo(testing::DemoArchive());
	TempDir dir;
	const std::string folder = dir.path.string() + "/";
	const auto report = AutoExport(demo.model.MD, demo.archiveId, demo.items, demo.files, folder, 0);
	EXPECT_EQ(Outcomes(report), (std::vector<std::string>{"0 crate_wood written", "1 crate_band written",
									"2 crate_label written", "3 crate_shadow written"}));

	// the colour-indexed band went through its palette: the TGA is the decoded image
	TexImage band;
	ASSERT_TRUE(DecodeTextureItem(*demo.items.FindItem("crate_band", ItemKind::TEX0, 0), demo.files, band).ok);
	LoadPaletteItem(*demo.items.FindItem("crate_band", ItemKind::PLT0, 0), demo.files, band);
	ASSERT_TRUE(DecodeTextureItem(*demo.items.FindItem("crate_band", ItemKind::TEX0, 0), demo.files, band).ok);
	Bytes expected;
	ASSERT_TRUE(WriteTGA(expected, band.width, band.height, band.data));
	EXPECT_EQ(ReadText(dir.path / "crate_band.tga"), std::string(expected.begin(), expected.end()));

	// without overwriting an existing file stays as it is
	std::filesystem::resize_file(dir.path / "crate_wood.tga", 5);
	const auto again = AutoExport(demo.model.MD, demo.archiveId, demo.items, demo.files, folder, 0);
	EXPECT_EQ(Outcomes(again)[0], "0 crate_wood kept");
	EXPECT_EQ(std::filesystem::file_size(dir.path / "crate_wood.tga"), 5u);
	AutoExport(demo.model.MD, demo.archiveId, demo.items, demo.files, folder, 1);
	EXPECT_EQ(std::filesystem::file_size(dir.path / "crate_wood.tga"), 18u + 64 * 64 * 3);
}

// Three meshes, five materials naming t0..t4; t1 is missing, t3's palette too.
Bytes FiveMaterialArchive(bool withMaterials = true)
{
	using namespace testing;
	Mdl0Model model;
	model.positions.push_back({.name = "pos", .values = {0, 0, 0, 1, 0, 0, 0, 1, 0}});
	model.bones.push_back({.name = "root", .node = 0});
	DrawList draw{"DrawOpa", {}};
	for (int m = 0; m < 3; ++m) {
		model.meshes.push_back({.name = "mesh" + std::to_string(m), .primitives = {Triangles({0, 1, 2})}});
		draw.calls.push_back({.material = m, .mesh = m});
	}
	for (int i = 0; i < 5 && withMaterials; ++i)
		model.materials.push_back({.name = "mat" + std::to_string(i),
			.layers = {{.texture = "t" + std::to_string(i), .palette = i >= 2 ? "p" + std::to_string(i) : ""}}});
	if (withMaterials)
		model.drawLists = {draw};

	const Bytes grey = BuildTEX0(1, 8, 4, Bytes(32, 128));
	const Bytes indexed = BuildTEX0(9, 8, 4, Bytes(32, 1));
	return BuildBRRES({{"3DModels(NW4R)", {{"model", BuildMDL0(model)}}},
		{"Textures(NW4R)", {{"t0", grey}, {"t2", indexed}, {"t3", indexed}, {"t4", grey}}},
		{"Palettes(NW4R)", {{"p2", BuildPLT0(1, {0, 0xFFFF})}, {"p4", BuildPLT0(1, {0})}}}});
}

TEST(ModelTextureExport, OnlyMaterialsBelowTheMeshCountAndMissingOnesSkipped)
{
	Archive archive(FiveMaterialArchive());
	TempDir dir;
	const auto report =
		AutoExport(archive.model.MD, archive.archiveId, archive.items, archive.files, dir.path.string() + "/", 1);
	EXPECT_EQ(Outcomes(report),
		(std::vector<std::string>{"0 t0 written", "1 t1 skipped", "2 t2 written"})); // t3, t4: materials 3 and 4
	EXPECT_NE(report[1].reason.find("no texture \"t1\""), std::string::npos);
	// t2 took its white palette entry 1
	const std::string t2 = ReadText(dir.path / "t2.tga");
	ASSERT_EQ(t2.size(), 18u + 8 * 4 * 3);
	EXPECT_EQ(std::uint8_t(t2[18]), 255);

	Archive bare(FiveMaterialArchive(false));
	EXPECT_TRUE(AutoExport(bare.model.MD, bare.archiveId, bare.items, bare.files, dir.path.string() + "/", 1).empty());
}

} // namespace
} // namespace zentarra
