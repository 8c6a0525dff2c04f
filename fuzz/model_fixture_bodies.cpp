#include "fuzz_bodies.h"

#include "anim/anim_loading.h"
#include "anim/chr0.h"
#include "anim/playback.h"
#include "anim/pose.h"
#include "anim/skinning.h"
#include "archive/brres_directory.h"
#include "export/md5.h"
#include "export/psk.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"

#include <memory>
#include <span>
#include <string_view>

namespace zentarra::fuzz {

namespace {

// The demo crate: four bones, one weighted node.
const LoadedModel& DemoCrate()
{
	static const std::unique_ptr<LoadedModel> crate = [] {
		auto model = std::make_unique<LoadedModel>();
		const testing::ModelArchive archive = testing::BuildModelArchive(testing::DemoModel());
		ByteView view(archive.bytes);
		ReadModel(view, archive.offset, "", *model);
		return model;
	}();
	return *crate;
}

volatile std::size_t sink;

// A few steps forward and back, at two speeds.
void PlayAFewSteps(LoadedModel& model)
{
	RunAnimCommand(model, AnimCommand::Play);
	for (int step = 0; step < 3; ++step)
		GoToNextFrame(model, 1, step - 1);
	RunAnimCommand(model, AnimCommand::PreviousFrame);
}

} // namespace

void FuzzAnimation(const std::uint8_t* data, std::size_t size)
{
	const std::span<const std::uint8_t> bytes(data, size);
	OpenArchives items;
	ByteView scan(bytes);
	ReadBRRES(scan, "fuzz.brres", items, nullptr);
	int visited = 0;
	for (const ItemRecord& item : items.items()) {
		if ((item.kind != ItemKind::CHR0 && item.kind != ItemKind::SHP0) || visited++ >= 8)
			continue;
		auto model = std::make_unique<LoadedModel>(DemoCrate());
		const float radius = CalcRadMax(model->MD);
		ByteView view(bytes);
		if (item.kind == ItemKind::SHP0) {
			if (LoadVertexAnimation(*model, view, item.offset).ok)
				PlayAFewSteps(*model);
			continue;
		}
		AnimState alone;
		int nBones = 0;
		std::vector<std::string> names;
		if (ReadAnimationAlone(view, item.offset, alone, nBones, names).ok)
			sink = ExportAnimToPSA(alone, nBones, names, item.name).bytes.size();
		ByteView again(bytes);
		if (!LoadAnimation(*model, again, item.offset, item.name, 0).ok)
			continue;
		PlayAFewSteps(*model);
		ByteView add(bytes);
		LoadAnimation(*model, add, item.offset, item.name, 1);
		PlayAFewSteps(*model);
		RunAnimCommand(*model, AnimCommand::Stop);
		sink = ExportAnimToMD5(model->anim, *model, radius).text.size();
		sink = ExportAnimToPSA(model->anim, model->nBones, model->names.bones, model->animname).bytes.size();
	}
}

void FuzzPose(const std::uint8_t* data, std::size_t size)
{
	auto model = std::make_unique<LoadedModel>(DemoCrate());
	LoadPose(*model, std::string_view(reinterpret_cast<const char*>(data), size));
	SavePose(*model);
}

} // namespace zentarra::fuzz
