#include "fuzz_bodies.h"

#include "anim/pose.h"
#include "model/mdl0_reader.h"
#include "support/demo_archive.h"

#include <memory>
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
		ReadModel(view, archive.offset, *model);
		return model;
	}();
	return *crate;
}

} // namespace

void FuzzPose(const std::uint8_t* data, std::size_t size)
{
	auto model = std::make_unique<LoadedModel>(DemoCrate());
	LoadPose(*model, std::string_view(reinterpret_cast<const char*>(data), size));
	SavePose(*model);
}

} // namespace zentarra::fuzz
