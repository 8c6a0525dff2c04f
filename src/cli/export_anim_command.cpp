#include "cli/export_anim_command.h"

#include "anim/anim_loading.h"
#include "anim/chr0.h"
#include "anim/playback.h"
#include "anim/skinning.h"
#include "base/file_io.h"
#include "cli/archive_entries.h"
#include "export/md5.h"
#include "export/obj.h"
#include "export/psk.h"

#include <memory>
#include <span>

namespace zentarra::cli {

namespace {

int Fail(std::string_view message, std::ostream& err)
{
	err << message << '\n';
	return 1;
}

int Write(const std::string& path, std::span<const std::uint8_t> bytes, std::ostream& err)
{
	return WriteFileAtomically(path, bytes) ? 0 : Fail(kCantWriteFile, err);
}

} // namespace

int RunExportAnim(const ExportAnimOptions& options, std::ostream& err)
{
	const OpenedArchive archive = OpenArchive(options.archive);
	if (!archive.error.empty())
		return Fail(archive.error, err);
	const std::vector<Entry> anims = Entries(archive.items, ItemKind::CHR0);
	const FoundEntry anim = FindEntry(anims, options.anim, "bone animation");
	if (!anim.entry)
		return Fail(anim.error, err);
	ByteView animView(archive.bytes);

	// PSA without a model: the animation's own bones, as the batch export has them
	if (options.model.empty()) {
		if (options.format == "md5")
			return Fail("Error: an MD5 animation needs the model it plays on (--model)", err);
		AnimState record;
		int nBones = 0;
		std::vector<std::string> names;
		const AnimReadResult read = ReadAnimationAlone(animView, anim.entry->item.offset, record, nBones, names);
		if (!read.ok)
			return Fail(read.message, err);
		if (!read.message.empty())
			err << read.message << '\n';
		const BinaryExport psa = ExportAnimToPSA(record, nBones, names, anim.entry->item.name);
		return psa.ok ? Write(options.output, psa.bytes, err) : Fail(psa.message, err);
	}

	OpenedArchive other;
	const ResolvedEntry modelEntry = ResolveEntry(archive, options.model, ItemKind::MDL0, "model", other);
	if (!modelEntry.entry)
		return Fail(modelEntry.error, err);
	auto model = std::make_unique<LoadedModel>();
	const ModelReadResult read = ReadModelEntry(*modelEntry.archive, *modelEntry.entry, *model);
	if (!read.ok)
		return Fail(read.message, err);
	if (read.damaged)
		err << DamagedModelWarning(read) << '\n';
	const float radius = CalcRadMax(model->MD); // of the bind pose, as the viewer takes it on loading

	const AnimLoadResult loaded = LoadAnimation(*model, animView, anim.entry->item.offset, anim.entry->item.name, 0);
	if (!loaded.ok)
		return Fail(loaded.message, err);
	if (!loaded.message.empty())
		err << loaded.message << '\n';
	// exported from the stopped state: the skeleton in its bind pose
	StopPlayback(*model);

	if (options.format == "md5") {
		const TextExport md5 = ExportAnimToMD5(model->anim, *model, radius);
		if (!md5.ok)
			return Fail(md5.message, err);
		return Write(options.output, std::span(reinterpret_cast<const std::uint8_t*>(md5.text.data()), md5.text.size()), err);
	}
	const BinaryExport psa = ExportAnimToPSA(model->anim, model->nBones, model->names.bones, model->animname);
	return psa.ok ? Write(options.output, psa.bytes, err) : Fail(psa.message, err);
}

} // namespace zentarra::cli
