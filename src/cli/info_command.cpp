#include "cli/info_command.h"

#include "cli/archive_entries.h"
#include "anim/chr0.h"
#include "anim/shp0.h"
#include "texture/tex0.h"

#include <nlohmann/json.hpp>

namespace zentarra::cli {

namespace {

using Json = nlohmann::ordered_json;

struct ModelInfo {
	const Entry* entry = nullptr;
	std::uint32_t version = 0;
	LoadedModel model;
	ModelReadResult read;
};

std::size_t TriangleCount(const BRMDL& md)
{
	std::size_t triangles = 0;
	for (const std::vector<Triangle>& mesh : md.meshTris)
		triangles += mesh.size();
	return triangles;
}

int WeightedNodeCount(const LoadedModel& model)
{
	int weighted = 0;
	for (const Node& node : model.nodelist)
		weighted += node.nWeights > 0 ? 1 : 0;
	return weighted;
}

// Material names for each of the nMat materials, "" where none is stored.
std::vector<std::string> PerMaterial(const std::vector<std::string>& names, int nMat)
{
	std::vector<std::string> list(std::size_t(std::max(nMat, 0)));
	for (std::size_t i = 0; i < list.size() && i < names.size(); ++i)
		list[i] = names[i];
	return list;
}

std::vector<std::string> MeshNames(const LoadedModel& model)
{
	std::vector<std::string> list(std::size_t(std::max(model.MD.nMesh, 0)));
	for (std::size_t i = 0; i < list.size() && i < model.names.meshes.size(); ++i)
		list[i] = model.names.meshes[i];
	return list;
}

Json ModelToJson(const ModelInfo& info)
{
	const BRMDL& md = info.model.MD;
	Json json{
		{"name", info.entry->item.name},
		{"version", info.version},
		{"meshes", md.nMesh},
		{"triangles", TriangleCount(md)},
		{"bones", info.model.nBones},
		{"nodes", info.model.nNodes},
		{"weightedNodes", WeightedNodeCount(info.model)},
		{"materials", md.nMat},
		{"meshNames", MeshNames(info.model)},
		{"textures", PerMaterial(md.texName, md.nMat)},
		{"palettes", PerMaterial(md.palName, md.nMat)},
	};
	if (info.read.damaged) {
		json["damaged"] = true;
		json["warning"] = DamagedModelWarning(info.read);
	}
	return json;
}

void PrintModel(const ModelInfo& info, std::ostream& out)
{
	const LoadedModel& model = info.model;
	const BRMDL& md = model.MD;
	out << QualifiedName(*info.entry) << "  MDL0 version " << info.version << '\n';
	out << "  meshes " << md.nMesh << ", triangles " << TriangleCount(md) << ", bones " << model.nBones << ", nodes "
		<< model.nNodes << " (" << WeightedNodeCount(model) << " weighted), materials " << md.nMat << '\n';
	const std::vector<std::string> meshNames = MeshNames(model);
	for (std::size_t m = 0; m < meshNames.size(); ++m) {
		out << "  mesh " << m << " \"" << meshNames[m] << "\": "
			<< (m < md.meshTris.size() ? md.meshTris[m].size() : 0) << " triangles, material "
			<< (m < md.meshMat.size() ? md.meshMat[m] : 0) + 1LL << '\n';
	}
	const std::vector<std::string> textures = PerMaterial(md.texName, md.nMat);
	const std::vector<std::string> palettes = PerMaterial(md.palName, md.nMat);
	for (std::size_t i = 0; i < textures.size(); ++i)
		out << "  material " << i + 1 << ": texture \"" << textures[i] << "\", palette \"" << palettes[i] << "\"\n";
}

std::string FormatName(std::uint32_t format)
{
	switch (format) {
	case kTexI4: return "I4";
	case kTexI8: return "I8";
	case kTexIA4: return "IA4";
	case kTexIA8: return "IA8";
	case kTexRGB565: return "RGB565";
	case kTexRGB5A3: return "RGB5A3";
	case kTexRGBA8: return "RGBA8";
	case kTexCI4: return "CI4";
	case kTexCI8: return "CI8";
	case kTexCI14x2: return "CI14x2";
	case kTexCMPR: return "CMPR";
	default: return "unknown (" + std::to_string(format) + ")";
	}
}

// Each TEX0 entry with its format and size, read from its header.
Json TextureEntriesToJson(const OpenedArchive& archive)
{
	Json list = Json::array();
	for (const Entry& entry : Entries(archive.items, ItemKind::TEX0)) {
		ByteView view(archive.bytes);
		TexImage header;
		ReadTextureHeader(view, entry.item.offset, header);
		Json json{{"name", entry.item.name}, {"folder", entry.folder}, {"format", FormatName(header.format)},
			{"formatCode", header.format}, {"width", header.width}, {"height", header.height}};
		if (view.damaged())
			json["damaged"] = true;
		list.push_back(std::move(json));
	}
	return list;
}

// Each CHR0 and SHP0 entry with its frame count and number of entries (bones
// or vertex sets), read on its own as the batch export reads it.
Json AnimationsToJson(const OpenedArchive& archive)
{
	Json list = Json::array();
	for (const ItemRecord& item : archive.items.items()) {
		if (item.kind != ItemKind::CHR0 && item.kind != ItemKind::SHP0)
			continue;
		ByteView view(archive.bytes);
		AnimState anim;
		AnimReadResult read;
		int entries = 0;
		if (item.kind == ItemKind::CHR0) {
			std::vector<std::string> names;
			read = ReadAnimationAlone(view, item.offset, anim, entries, names);
		} else {
			read = ReadVertexAnimation(view, item.offset, anim, 0, {}, 0, {});
			entries = int(anim.vanim.size());
		}
		Json json{{"name", item.name}, {"kind", KindName(item.kind)}, {"frames", read.frames}, {"entries", entries}};
		if (!read.ok)
			json["error"] = read.message;
		list.push_back(std::move(json));
	}
	return list;
}

// invalid UTF-8 in archive names is replaced, never thrown on
void PrintJson(const Json& json, std::ostream& out)
{
	out << json.dump(1, ' ', false, Json::error_handler_t::replace) << '\n';
}

int Fail(const InfoOptions& options, const std::string& message, std::ostream& out, std::ostream& err,
	const OpenedArchive* archive = nullptr)
{
	if (options.json) {
		Json document{{"path", options.archive}, {"models", Json::array()}, {"error", message}};
		// the textures do not depend on the models
		if (archive) {
			document["textureEntries"] = TextureEntriesToJson(*archive);
			document["animations"] = AnimationsToJson(*archive);
		}
		PrintJson(document, out);
	} else {
		err << options.archive << ": " << message << '\n';
	}
	return 1;
}

} // namespace

int RunInfo(const InfoOptions& options, std::ostream& out, std::ostream& err)
{
	const OpenedArchive archive = OpenArchive(options.archive);
	if (!archive.error.empty())
		return Fail(options, archive.error, out, err);
	const std::string archiveWarning = archive.scan.damaged
		? "Warning: the file is damaged and is listed only in part: " + archive.scan.damage
		: "";
	if (!archiveWarning.empty() && !options.json)
		err << options.archive << ": " << archiveWarning << '\n';

	// the models asked for, in the order asked, or all in list order
	const std::vector<Entry> entries = ModelEntries(archive.items);
	std::vector<const Entry*> chosen;
	for (const std::string& name : options.models) {
		const FoundEntry found = FindModelEntry(entries, name);
		if (!found.entry)
			return Fail(options, found.error, out, err, &archive);
		chosen.push_back(found.entry);
	}
	if (options.models.empty())
		for (const Entry& entry : entries)
			chosen.push_back(&entry);

	// text goes on past a model that fails; the JSON document reports just the failure
	Json models = Json::array();
	int status = 0;
	for (const Entry* entry : chosen) {
		ModelInfo info;
		info.entry = entry;
		info.version = ModelVersion(archive, *entry);
		info.read = ReadModelEntry(archive, *entry, info.model);
		if (!info.read.ok) {
			if (options.json)
				return Fail(options, info.read.message, out, err, &archive);
			err << options.archive << ": " << QualifiedName(*entry) << ": " << info.read.message << '\n';
			status = 1;
			continue;
		}
		if (options.json) {
			models.push_back(ModelToJson(info));
			continue;
		}
		if (info.read.damaged)
			err << options.archive << ": " << QualifiedName(*entry) << ": " << DamagedModelWarning(info.read) << '\n';
		PrintModel(info, out);
	}

	if (options.json) {
		Json document{{"path", options.archive}, {"models", std::move(models)},
			{"textureEntries", TextureEntriesToJson(archive)}, {"animations", AnimationsToJson(archive)}};
		if (!archiveWarning.empty()) {
			document["damaged"] = true;
			document["warning"] = archiveWarning;
		}
		PrintJson(document, out);
	}
	return status;
}

} // namespace zentarra::cli
