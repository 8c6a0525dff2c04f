#include "export/export_all.h"

#include "archive/archive_files.h"
#include "base/file_io.h"
#include "base/text.h"
#include "anim/chr0.h"
#include "export/auto_export.h"
#include "export/gltf.h"
#include "export/gltf_sources.h"
#include "export/md5.h"
#include "export/obj.h"
#include "export/png.h"
#include "export/psk.h"
#include "export/tga.h"
#include "model/mdl0_reader.h"
#include "texture/texture_items.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zentarra {

namespace {

using Outcome = ExportedFile::Outcome;

// Each folder of the rule, outermost first; the last is the folder itself.
std::vector<std::string> FolderLevels(std::string_view archivePath, std::string_view inner, ItemKind kind, bool separate,
	bool perArchive)
{
	const bool hasDirectory = archivePath.find_first_of("/\\") != std::string_view::npos;
	std::string folder = hasDirectory ? GetDirectory(archivePath) : "";
	std::vector<std::string> levels;
	folder += "exported/";
	levels.push_back(folder);
	if (perArchive) {
		// an archive from a container gets a folder of its own name
		folder += GetFileNameFromPath(inner.empty() ? archivePath : inner) + "/";
		levels.push_back(folder);
	}
	if (separate && (kind == ItemKind::TEX0 || kind == ItemKind::CHR0)) {
		folder += kind == ItemKind::TEX0 ? "textures/" : "animations/";
		levels.push_back(folder);
	}
	return levels;
}

// One file of an entry's work, decided apart from the writing.
struct PlannedFile {
	ExportedFile line;                // outcome Written while still to be written
	std::vector<std::string> folders; // created, outermost first, before writing
	std::vector<std::uint8_t> bytes;
};

// A task's files in order. For a model, the first is the model file and the
// rest its textures, written only when the model file was.
struct TaskResult {
	std::vector<PlannedFile> files;
	bool texturesFollowModel = false;
};

struct Context {
	const OpenArchives& items;
	const ExportAllOptions& options;
};

PlannedFile Skip(const ItemRecord& item, ItemKind kind, std::string reason)
{
	PlannedFile file;
	file.line.archive = item.path;
	file.line.entry = item.name;
	file.line.kind = kind;
	file.line.outcome = Outcome::Skipped;
	file.line.reason = std::move(reason);
	return file;
}

PlannedFile Planned(const ItemRecord& item, ItemKind kind, std::vector<std::string> folders, std::string path,
	std::vector<std::uint8_t> bytes)
{
	PlannedFile file;
	file.line.archive = item.path;
	file.line.entry = item.name;
	file.line.kind = kind;
	file.line.path = std::move(path);
	file.line.outcome = Outcome::Written;
	file.folders = std::move(folders);
	file.bytes = std::move(bytes);
	return file;
}

// Whether a file that already exists makes the work pointless: without
// overwriting it stays, and nothing removes files while the batch runs.
bool AlreadyThere(const Context& context, const std::string& path)
{
	return KeepExistingFile(path, context.options.overwrite ? 1 : 0);
}

TaskResult ExportTexture(const Context& context, const ItemRecord& item, ArchiveFiles& files)
{
	TaskResult result;
	std::vector<std::string> folders =
		FolderLevels(item.path, item.inner, ItemKind::TEX0, context.options.separate, context.options.perArchive);
	const bool png = context.options.textures == 1;
	const std::string path = AutoExportPath(folders.back(), item.name, png ? ".png" : ".tga").string();
	if (AlreadyThere(context, path)) {
		result.files.push_back(Planned(item, ItemKind::TEX0, std::move(folders), path, {}));
		return result;
	}

	// a colour-indexed texture needs the palette of its own name: no other
	// palette is at hand in a batch
	TexImage image;
	const TextureOpenResult opened = OpenTextureItem(context.items, item, files, nullptr, image);
	if (!opened.ok) {
		result.files.push_back(Skip(item, ItemKind::TEX0, opened.message));
		return result;
	}
	std::vector<std::uint8_t> bytes;
	const bool encoded = png ? WritePNG(bytes, image.width, image.height, image.data)
							 : WriteTGA(bytes, image.width, image.height, image.data);
	if (!encoded)
		result.files.push_back(Skip(item, ItemKind::TEX0, "the texture has no image to write"));
	else
		result.files.push_back(Planned(item, ItemKind::TEX0, std::move(folders), path, std::move(bytes)));
	return result;
}

const char* ModelExtension(int choice)
{
	switch (choice) {
	case 1: return ".md5mesh";
	case 2: return ".psk";
	case 4: return ".glb";
	case 5: return ".gltf";
	default: return ".obj";
	}
}

// The model file's bytes; empty with `error` set when it cannot be made.
std::vector<std::uint8_t> ModelFile(int choice, const LoadedModel& model, const std::string& name, std::string& error)
{
	if (choice == 2) {
		BinaryExport psk = ExportToPSK(model, false);
		if (!psk.ok)
			error = psk.message;
		return std::move(psk.bytes);
	}
	const std::string text = choice == 1 ? ExportToMD5(model, false) : ExportToOBJ(model.MD, model.names, name, false);
	return std::vector<std::uint8_t>(text.begin(), text.end());
}

TaskResult ExportModel(const Context& context, const ItemRecord& item, ArchiveFiles& files)
{
	TaskResult result;
	result.texturesFollowModel = true;
	const std::vector<std::uint8_t>* bytes = files.Get(item.path);
	if (!bytes) {
		result.files.push_back(Skip(item, ItemKind::MDL0, std::string(kCantOpenEntryFile)));
		return result;
	}
	auto model = std::make_unique<LoadedModel>();
	ByteView view(*bytes);
	const ModelReadResult read = ReadModel(view, item.offset, item.name, *model);
	if (!read.ok) {
		result.files.push_back(Skip(item, ItemKind::MDL0, read.message));
		return result;
	}

	std::vector<std::string> folders =
		FolderLevels(item.path, item.inner, ItemKind::MDL0, context.options.separate, context.options.perArchive);
	const std::string path = folders.back() + item.name + ModelExtension(context.options.models);
	if (AlreadyThere(context, path)) {
		result.files.push_back(Planned(item, ItemKind::MDL0, std::move(folders), path, {}));
		return result;
	}
	if (context.options.models == 4 || context.options.models == 5) {
		// the textures go inside the file or beside it, and so do the animations
		std::vector<std::string> warnings;
		const std::vector<GltfAnimation> animations = FindModelAnimations(*model, context.items, item.path, files, warnings);
		const std::vector<GltfTexture> textures = DecodeGltfTextures(*model, item.archive, context.items, files, warnings);
		GltfOptions options;
		options.binary = context.options.models == 4;
		options.baseName = item.name;
		GltfExport gltf = ExportToGLTF(*model, textures, animations, options);
		if (!gltf.ok) {
			result.files.push_back(Skip(item, ItemKind::MDL0, gltf.message));
			return result;
		}
		result.files.push_back(Planned(item, ItemKind::MDL0, folders, path, std::move(gltf.bytes)));
		for (GltfFile& side : gltf.sideFiles)
			result.files.push_back(Planned(item, ItemKind::MDL0, folders, folders.back() + side.name, std::move(side.bytes)));
		return result;
	}
	std::string error;
	std::vector<std::uint8_t> file = ModelFile(context.options.models, *model, item.name, error);
	if (!error.empty()) {
		result.files.push_back(Skip(item, ItemKind::MDL0, error));
		return result;
	}
	result.files.push_back(Planned(item, ItemKind::MDL0, folders, path, std::move(file)));

	if (context.options.textures != 3)
		return result;
	std::string textureFolder = folders.back();
	if (context.options.separate) {
		textureFolder += "textures/";
		folders.push_back(textureFolder);
	}
	for (TextureExport& texture : PlanAutoExport(model->MD, item.archive, context.items, files, textureFolder)) {
		ItemRecord named = item;
		named.name = texture.texture;
		if (texture.outcome == TextureExport::Outcome::Skipped)
			result.files.push_back(Skip(named, ItemKind::TEX0, texture.reason));
		else
			result.files.push_back(Planned(named, ItemKind::TEX0, folders, texture.path, std::move(texture.bytes)));
	}
	return result;
}

// A bone animation on its own, with the bones and names of its entries.
TaskResult ExportAnimation(const Context& context, const ItemRecord& item, ArchiveFiles& files)
{
	TaskResult result;
	const std::vector<std::uint8_t>* bytes = files.Get(item.path);
	if (!bytes) {
		result.files.push_back(Skip(item, ItemKind::CHR0, std::string(kCantOpenEntryFile)));
		return result;
	}
	std::vector<std::string> folders =
		FolderLevels(item.path, item.inner, ItemKind::CHR0, context.options.separate, context.options.perArchive);
	const std::string path = folders.back() + item.name + ".psa";
	if (AlreadyThere(context, path)) {
		result.files.push_back(Planned(item, ItemKind::CHR0, std::move(folders), path, {}));
		return result;
	}
	AnimState anim;
	int nBones = 0;
	std::vector<std::string> names;
	ByteView view(*bytes);
	const AnimReadResult read = ReadAnimationAlone(view, item.offset, anim, nBones, names);
	if (!read.ok) {
		result.files.push_back(Skip(item, ItemKind::CHR0, read.message));
		return result;
	}
	BinaryExport psa = ExportAnimToPSA(anim, nBones, names, item.name);
	if (!psa.ok)
		result.files.push_back(Skip(item, ItemKind::CHR0, psa.message));
	else
		result.files.push_back(Planned(item, ItemKind::CHR0, std::move(folders), path, std::move(psa.bytes)));
	return result;
}

TaskResult RunTask(const Context& context, const ItemRecord& item, ArchiveFiles& files)
{
	try {
		switch (item.kind) {
		case ItemKind::TEX0: return ExportTexture(context, item, files);
		case ItemKind::MDL0: return ExportModel(context, item, files);
		default: return ExportAnimation(context, item, files);
		}
	} catch (const std::bad_alloc&) {
		TaskResult result;
		result.files.push_back(Skip(item, item.kind, "out of memory"));
		return result;
	} catch (const std::exception& error) {
		// a worker thread must not let anything escape: it would end the program
		TaskResult result;
		result.files.push_back(Skip(item, item.kind, error.what()));
		return result;
	}
}

// Creates the folders and writes the file, or finds it there already.
void Commit(PlannedFile& file, bool overwrite)
{
	ExportedFile& line = file.line;
	if (line.outcome != Outcome::Written)
		return;
	for (const std::string& folder : file.folders) {
		std::error_code error;
		std::filesystem::create_directory(folder, error);
		if (error && !std::filesystem::is_directory(folder)) {
			line.outcome = Outcome::Failed;
			line.reason = "can't create the folder " + folder;
			return;
		}
	}
	if (KeepExistingFile(line.path, overwrite ? 1 : 0)) {
		line.outcome = Outcome::KeptExisting;
	} else if (!WriteFileAtomically(line.path, file.bytes)) {
		line.outcome = Outcome::Failed;
		line.reason = std::string(kCantWriteFile);
	}
	file.bytes = {};
}

void Record(ExportAllReport& report, const ExportedFile& line,
	const std::function<void(const ExportedFile&)>& progress)
{
	switch (line.outcome) {
	case Outcome::Written: ++report.written; break;
	case Outcome::KeptExisting: ++report.kept; break;
	case Outcome::Skipped: ++report.skipped; break;
	case Outcome::Failed: ++report.failed; break;
	}
	report.files.push_back(line);
	if (progress)
		progress(line);
}

void CommitTask(TaskResult& result, bool overwrite, ExportAllReport& report,
	const std::function<void(const ExportedFile&)>& progress)
{
	for (std::size_t i = 0; i < result.files.size(); ++i) {
		Commit(result.files[i], overwrite);
		Record(report, result.files[i].line, progress);
		// a model kept or not written takes its textures with it
		if (i == 0 && result.texturesFollowModel && result.files[0].line.outcome != Outcome::Written)
			break;
	}
}

// The entries to visit: all textures, then all models, then all animations,
// each in list order.
std::vector<const ItemRecord*> Tasks(const OpenArchives& items, const ExportAllOptions& options)
{
	std::vector<const ItemRecord*> tasks;
	const auto add = [&](ItemKind kind) {
		for (const ItemRecord& item : items.items())
			if (item.kind == kind)
				tasks.push_back(&item);
	};
	if (options.textures == 1 || options.textures == 2)
		add(ItemKind::TEX0);
	if (options.models != 0)
		add(ItemKind::MDL0);
	if (options.animations == 1)
		add(ItemKind::CHR0);
	return tasks;
}

// Workers take the tasks in order, at most `window` ahead of the writing,
// and leave their results for the calling thread, which writes them in order.
class TaskPool {
public:
	TaskPool(const Context& context, const std::vector<const ItemRecord*>& tasks, unsigned jobs)
		: context_(context), tasks_(tasks), results_(tasks.size()), window_(std::size_t(jobs) * 2 + 2)
	{
		for (unsigned j = 0; j < jobs; ++j)
			workers_.emplace_back([this] { Work(); });
	}
	~TaskPool()
	{
		{
			std::lock_guard lock(mutex_);
			stopping_ = true;
		}
		changed_.notify_all();
		for (std::thread& worker : workers_)
			worker.join();
	}

	// Waits for task i's result and hands it over.
	TaskResult Take(std::size_t i)
	{
		std::unique_lock lock(mutex_);
		changed_.wait(lock, [&] { return results_[i].has_value(); });
		TaskResult result = std::move(*results_[i]);
		results_[i].reset();
		taken_ = i + 1;
		lock.unlock();
		changed_.notify_all();
		return result;
	}

private:
	void Work()
	{
		SharedArchiveFiles* shared = &shared_;
		ArchiveFiles files(4, shared);
		for (;;) {
			std::size_t i;
			{
				std::unique_lock lock(mutex_);
				changed_.wait(lock, [&] { return stopping_ || next_ >= tasks_.size() || next_ < taken_ + window_; });
				if (stopping_ || next_ >= tasks_.size())
					return;
				i = next_++;
			}
			TaskResult result = RunTask(context_, *tasks_[i], files);
			{
				std::lock_guard lock(mutex_);
				results_[i] = std::move(result);
			}
			changed_.notify_all();
		}
	}

	const Context& context_;
	const std::vector<const ItemRecord*>& tasks_;
	SharedArchiveFiles shared_;
	std::mutex mutex_;
	std::condition_variable changed_;
	std::vector<std::optional<TaskResult>> results_;
	std::size_t window_;
	std::size_t next_ = 0;
	std::size_t taken_ = 0;
	bool stopping_ = false;
	std::vector<std::thread> workers_; // last: started once everything else is ready
};

} // namespace

std::string ExportFolder(std::string_view archivePath, ItemKind kind, bool separate, bool perArchive)
{
	return FolderLevels(archivePath, {}, kind, separate, perArchive).back();
}

ExportAllReport ExportAll(const OpenArchives& items, const ExportAllOptions& options,
	const std::function<void(const ExportedFile&)>& progress)
{
	const Context context{items, options};
	const std::vector<const ItemRecord*> tasks = Tasks(items, options);
	ExportAllReport report;
	const auto cancelled = [&](std::size_t done) {
		report.cancelled = options.cancel && done < tasks.size() && options.cancel->load();
		return report.cancelled;
	};
	if (options.jobs <= 1 || tasks.size() <= 1) {
		ArchiveFiles files;
		for (std::size_t i = 0; i < tasks.size() && !cancelled(i); ++i) {
			TaskResult result = RunTask(context, *tasks[i], files);
			CommitTask(result, options.overwrite, report, progress);
		}
		return report;
	}
	TaskPool pool(context, tasks, std::min<unsigned>(options.jobs, unsigned(tasks.size())));
	for (std::size_t i = 0; i < tasks.size() && !cancelled(i); ++i) {
		TaskResult result = pool.Take(i);
		CommitTask(result, options.overwrite, report, progress);
	}
	return report;
}

int CountExportAllEntries(const OpenArchives& items, const ExportAllOptions& options)
{
	return int(Tasks(items, options).size());
}

ExportAllReport ExportAll(const OpenArchives& items, const ExportAllOptions& options, LoadedModel& shown,
	const std::function<void(const ExportedFile&)>& progress)
{
	if (options.models != 0)
		FreeModel(shown);
	return ExportAll(items, options, progress);
}

} // namespace zentarra
