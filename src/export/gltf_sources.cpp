#include "export/gltf_sources.h"

#include "anim/chr0.h"
#include "anim/shp0.h"
#include "export/auto_export.h"
#include "texture/texture_items.h"

#include <algorithm>

namespace zentarra {

GltfSourceRead ReadGltfBoneAnimation(ByteView& file, std::size_t offset, std::string_view name,
	const LoadedModel& model, GltfAnimation& out)
{
	AnimState anim;
	const AnimReadResult read = ReadAnimation(file, offset, anim, model.nBones, model.names.bones);
	if (!read.ok)
		return {false, "Error: damaged bone animation \"" + std::string(name) + "\": " + read.message};
	anim.type = 1;
	anim.frame = 0;
	out.name = std::string(name);
	out.anim = std::move(anim);
	std::string warning;
	if (!read.message.empty())
		warning = "Warning: bone animation \"" + std::string(name) + "\": " + read.message;
	return {true, warning};
}

GltfSourceRead ReadGltfVertexAnimation(ByteView& file, std::size_t offset, std::string_view name,
	const LoadedModel& model, GltfAnimation& out)
{
	AnimState anim;
	const AnimReadResult read = ReadVertexAnimation(file, offset, anim, model.MD.nVtx, model.names.positions,
		model.MD.nNrm, model.names.normals);
	if (!read.ok)
		return {false, "Error: damaged vertex animation \"" + std::string(name) + "\": " + read.message};
	anim.type = 2;
	anim.frame = 0;
	out.name = std::string(name);
	out.anim = std::move(anim);
	return {true, {}};
}

bool AnimatesModel(const GltfAnimation& animation)
{
	const AnimState& anim = animation.anim;
	if (anim.type & 1)
		return std::any_of(anim.bones.begin(), anim.bones.end(), [](const BoneAnim& b) { return b.loaded != 0; });
	if (anim.type & 2)
		return std::any_of(anim.vanim.begin(), anim.vanim.end(),
			[](const VAnim& e) { return e.vtxArray >= 0 || e.nrmArray >= 0; });
	return false;
}

std::vector<GltfAnimation> FindModelAnimations(const LoadedModel& model, const OpenArchives& items,
	std::string_view archivePath, ArchiveFiles& files, std::vector<std::string>& warnings)
{
	std::vector<GltfAnimation> found;
	for (const ItemRecord& item : items.items()) {
		if (item.path != archivePath || (item.kind != ItemKind::CHR0 && item.kind != ItemKind::SHP0))
			continue;
		const std::vector<std::uint8_t>* bytes = files.Get(item.path);
		if (!bytes) {
			warnings.push_back("Warning: " + item.name + ": " + std::string(kCantOpenEntryFile));
			continue;
		}
		ByteView view(*bytes);
		GltfAnimation animation;
		const GltfSourceRead read = item.kind == ItemKind::CHR0
			? ReadGltfBoneAnimation(view, item.offset, item.name, model, animation)
			: ReadGltfVertexAnimation(view, item.offset, item.name, model, animation);
		if (!read.ok) {
			warnings.push_back("Warning: " + item.name + " left out: " + read.message);
			continue;
		}
		if (!AnimatesModel(animation))
			continue;
		if (!read.message.empty())
			warnings.push_back(read.message);
		found.push_back(std::move(animation));
	}
	return found;
}

std::vector<GltfTexture> DecodeGltfTextures(const LoadedModel& model, int modelArchive, const OpenArchives& items,
	ArchiveFiles& files, std::vector<std::string>& warnings)
{
	std::vector<GltfTexture> out;
	const BRMDL& md = model.MD;
	if (!md.hasMat)
		return out;
	const int materials = std::min(md.nMat, int(md.texName.size()));
	for (int i = 0; i < materials; ++i) {
		if (md.texName[std::size_t(i)].empty())
			continue;
		const std::size_t m = std::size_t(i);
		TexImage image;
		const MaterialTexture found = OpenMaterialTexture(items, md.texName[m], m < md.palName.size() ? md.palName[m] : "",
			modelArchive, files, nullptr, image);
		if (!found.texture) {
			warnings.push_back("Warning: material " + std::to_string(i + 1) + " (\"" + md.texName[std::size_t(i)]
				+ "\"): texture left out: " + found.reason);
			continue;
		}
		GltfTexture& texture = out.emplace_back();
		texture.material = i;
		texture.name = found.texture->name;
		texture.width = image.width;
		texture.height = image.height;
		texture.rgba = std::move(image.data);
	}
	return out;
}

} // namespace zentarra
