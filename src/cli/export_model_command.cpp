#include "cli/export_model_command.h"

#include "base/file_io.h"
#include "cli/archive_entries.h"
#include "export/auto_export.h"
#include "export/gltf.h"
#include "export/gltf_sources.h"
#include "export/md5.h"
#include "export/obj.h"
#include "export/psk.h"

#include <filesystem>
#include <span>
#include <sstream>

namespace zentarra::cli {

namespace {

std::span<const std::uint8_t> Bytes(const std::string& text)
{
	return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

int Fail(std::string_view message, std::ostream& err)
{
	err << message << '\n';
	return 1;
}

bool IsGltf(const std::string& format)
{
	return format == "glb" || format == "gltf";
}

// Reads each animation named for the model, CHR0s then SHP0s; the error, or "".
std::string ReadGltfAnimations(const OpenedArchive& archive, const LoadedModel& model,
	const ExportModelOptions& options, std::vector<GltfAnimation>& out, std::ostream& err)
{
	for (const bool bones : {true, false}) {
		for (const std::string& name : bones ? options.anims : options.vanims) {
			OpenedArchive other;
			const ResolvedEntry found = ResolveEntry(archive, name, bones ? ItemKind::CHR0 : ItemKind::SHP0,
				bones ? "bone animation" : "vertex animation", other);
			if (!found.entry)
				return found.error;
			ByteView view(found.archive->bytes);
			GltfAnimation& animation = out.emplace_back();
			const GltfSourceRead read = bones
				? ReadGltfBoneAnimation(view, found.entry->item.offset, found.entry->item.name, model, animation)
				: ReadGltfVertexAnimation(view, found.entry->item.offset, found.entry->item.name, model, animation);
			if (!read.ok)
				return read.message;
			if (!read.message.empty())
				err << read.message << '\n';
		}
	}
	return "";
}

int ExportGltfModel(const ExportModelOptions& options, OpenedArchive& archive, const Entry& entry,
	const LoadedModel& model, std::ostream& err)
{
	std::vector<GltfAnimation> animations;
	if (const std::string error = ReadGltfAnimations(archive, model, options, animations, err); !error.empty())
		return Fail(error, err);
	GltfOptions gltf;
	gltf.binary = options.format == "glb";
	gltf.baseName = std::filesystem::path(options.output).stem().string();
	gltf.fps = options.fps;
	if (options.posed) {
		const int frames = animations.empty() ? 0 : animations.front().anim.nFrames;
		if (!(options.frame >= 0 && options.frame < float(frames))) {
			std::ostringstream message;
			message << "Error: frame " << options.frame << " is outside the animation's frames 0 to " << frames - 1;
			return Fail(message.str(), err);
		}
		gltf.poseFrame = options.frame;
	}

	ArchiveFiles files;
	files.Put(options.archive, std::move(archive.bytes));
	std::vector<std::string> warnings;
	const std::vector<GltfTexture> textures = DecodeGltfTextures(model, entry.item.archive, archive.items, files, warnings);
	const GltfExport exported = ExportToGLTF(model, textures, animations, gltf);
	for (const std::string& warning : warnings)
		err << warning << '\n';
	if (!exported.ok)
		return Fail(exported.message, err);
	for (const std::string& warning : exported.warnings)
		err << warning << '\n';
	if (!WriteGltfFiles(options.output, exported))
		return Fail(kCantWriteFile, err);
	return 0;
}

} // namespace

int RunExportModel(const ExportModelOptions& options, std::ostream& out, std::ostream& err)
{
	OpenedArchive archive = OpenArchive(options.archive);
	if (!archive.error.empty())
		return Fail(archive.error, err);
	const std::vector<Entry> entries = ModelEntries(archive.items);
	const FoundEntry found = FindModelEntry(entries, options.model);
	if (!found.entry)
		return Fail(found.error, err);

	auto model = std::make_unique<LoadedModel>();
	const ModelReadResult read = ReadModelEntry(archive, *found.entry, *model);
	if (!read.ok)
		return Fail(read.message, err);
	if (read.damaged)
		err << DamagedModelWarning(read) << '\n';
	if (IsGltf(options.format))
		return ExportGltfModel(options, archive, *found.entry, *model, err);
	if (!options.vanims.empty())
		return Fail("Error: vertex animations can only be exported with -f glb or gltf", err);
	if (options.anims.size() > 1)
		return Fail("Error: only one bone animation can pose a model in this format", err);
	if (!options.anims.empty())
		if (const std::string error = PoseAtFrame(*model, archive, options.anims.front(), options.frame, err);
			!error.empty())
			return Fail(error, err);

	if (options.format == "psk") {
		const BinaryExport psk = ExportToPSK(*model, false);
		if (!psk.ok)
			return Fail(psk.message, err);
		if (!WriteFileAtomically(options.output, psk.bytes))
			return Fail(kCantWriteFile, err);
	} else if (options.format == "md5") {
		if (!WriteFileAtomically(options.output, Bytes(ExportToMD5(*model, false))))
			return Fail(kCantWriteFile, err);
	} else {
		// the library line names the entry, as the batch export names its files
		const ObjText obj = FormatOBJ(model->MD, model->names, found.entry->item.name, false);
		if (!WriteFileAtomically(options.output, obj.Bytes()))
			return Fail(kCantWriteFile, err);
		if (!WriteMTL(options.output, model->MD))
			return Fail(kCantWriteMtl, err);
	}
	if (!options.textures)
		return 0;

	// the model file's folder with its separator, "" for the current one
	std::string folder = std::filesystem::path(options.output).parent_path().string();
	if (!folder.empty() && folder.back() != '/')
		folder += '/';
	const int modelArchive = found.entry->item.archive;
	ArchiveFiles files;
	files.Put(archive.path, std::move(archive.bytes));
	int status = 0;
	for (const TextureExport& line : AutoExport(model->MD, modelArchive, archive.items, files, folder, 1)) {
		const std::string material = "material " + std::to_string(line.material + 1) + " (\"" + line.texture + "\")";
		switch (line.outcome) {
		case TextureExport::Outcome::Written:
		case TextureExport::Outcome::KeptExisting:
			out << line.path << '\n';
			break;
		case TextureExport::Outcome::Skipped:
			err << "Warning: " << material << ": texture not written: " << line.reason << '\n';
			break;
		case TextureExport::Outcome::Failed:
			err << material << ": " << line.path << ": " << line.reason << '\n';
			status = 1;
			break;
		}
	}
	return status;
}

} // namespace zentarra::cli
