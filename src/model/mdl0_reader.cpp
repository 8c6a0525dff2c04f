#include "model/mdl0_reader.h"

#include "anim/skinning.h"
#include "model/bones.h"
#include "model/display_list.h"
#include "model/materials.h"
#include "model/mdl0_sections.h"
#include "model/vertex_arrays.h"

#include <algorithm>
#include <exception>
#include <new>
#include <utility>
#include <vector>

namespace zentarra {

namespace {

using mdl0::R8;

constexpr std::size_t kNotFound = std::size_t(-1);
constexpr std::size_t kArrayHeader = 0x20; // the part of an array header we read

// Section offsets of the header, relative to the sub-file.
constexpr std::size_t kVersionField = 0x08;
constexpr std::size_t kPositionsField = 0x18;
constexpr std::size_t kNormalsField = 0x1C;
constexpr std::size_t kColoursField = 0x20;
constexpr std::size_t kTexCoordsField = 0x24;
constexpr std::size_t kObjectsFieldOld = 0x30; // versions 8 and 9
constexpr std::size_t kObjectsField = 0x38;

// Object header fields.
constexpr std::size_t kSingleBindNode = 0x08;
constexpr std::size_t kArrayIndices = 0x48;     // position, normal, colour 0, colour 1, then 8 texture channels
constexpr std::size_t kDeclarations = 0x68;     // the vertex declaration commands start here
constexpr std::size_t kPrimitivesAfter = 0x40; // from the descriptor command to the zero padding before the list

std::string Quoted(std::string_view name)
{
	return "\"" + std::string(name) + "\"";
}

// Bytes one component of a position, normal or texture-coordinate array takes.
std::size_t ComponentSize(int format)
{
	return format == 2 || format == 3 ? 2 : format == 4 ? 4 : 1;
}

std::size_t ColourSize(int format)
{
	switch (format) {
	case 0:
	case 3:
		return 2;
	case 1:
	case 4:
		return 3;
	default:
		return 4;
	}
}

struct GroupEntry {
	std::string name;
	std::size_t data = 0; // absolute offset of the entry's data
};

class ModelReader {
public:
	ModelReader(ByteView& file, std::size_t offset, LoadedModel& model, std::vector<std::vector<Triangle>>& spare)
		: caller_(file), file_(file.bytes()), s_(offset), model_(model), md_(model.MD), spare_(spare),
		  // Sound arrays never share bytes, and every mesh's descriptor search,
		  // padding and display list are its own; these budgets keep entries
		  // that point at the same data from multiplying the work.
		  arrayBudget_(file.size()), meshBudget_(2 * file.size() + 0x1000)
	{
	}

	ModelReadResult Run()
	{
		if (s_ >= file_.size()) {
			caller_.markDamaged();
			return Failure(std::string(kNoVertices));
		}
		const std::uint32_t version = R32(file_, s_ + kVersionField);

		const std::uint32_t positions = R32(file_, s_ + kPositionsField);
		if (positions == 0)
			return Failure(std::string(kNoVertices));
		ReadPositions(s_ + positions);
		ReadNormals(Section(kNormalsField));
		ReadColours(Section(kColoursField));
		ReadTexCoords(Section(kTexCoordsField));

		const bool old = version == 8 || version == 9;
		if (!ReadMeshes(Section(old ? kObjectsFieldOld : kObjectsField)))
			return result_;
		md_.meshVisible.assign(std::size_t(md_.nMesh), 1);

		std::string damage;
		if (!ReadBones(file_, s_, model_, damage))
			Damage(damage.empty() ? "the skeleton is damaged" : damage);
		CheckSingleBindNodes();
		ResetBones(md_, model_.nodelist);

		damage.clear();
		if (!ReadMaterials(file_, s_, version, md_, damage))
			Damage(damage.empty() ? "the materials are damaged" : damage);

		if (file_.damaged() && !notes_.any())
			Damage("a field lies outside the file");
		result_.damaged = notes_.any();
		if (result_.damaged)
			caller_.markDamaged();
		result_.message = notes_.Text("more");
		result_.ok = true;
		return result_;
	}

private:
	ModelReadResult Failure(std::string message)
	{
		result_.ok = false;
		result_.damaged = notes_.any();
		result_.message = std::move(message);
		return result_;
	}

	void Damage(std::string what) { notes_.Note(std::move(what)); }

	// Absolute offset of a section's group, or kNotFound when the field is 0.
	std::size_t Section(std::size_t field)
	{
		const std::uint32_t offset = R32(file_, s_ + field);
		return offset == 0 ? kNotFound : s_ + offset;
	}

	// Name of entry `i` of the group `what`.
	std::string NameAt(std::size_t at, std::string_view what, std::size_t i)
	{
		ByteView view(file_.bytes()); // a view of its own, so its damage mark is this name's
		view.seek(at);
		std::string name = ScanName(view);
		if (view.damaged())
			Damage("the name of entry " + std::to_string(i) + " of the " + std::string(what) + " group " +
				(file_.contains(at, 1) ? "runs into the end of the file" : "lies outside the file"));
		return name;
	}

	// The entries of the index group at `group`, in stored order; an absent
	// group has none.
	std::vector<GroupEntry> ReadGroup(std::size_t group, std::string_view what)
	{
		std::vector<GroupEntry> entries;
		if (group == kNotFound)
			return entries;
		const std::size_t count = mdl0::GroupEntries(file_, group, std::string(what) + " group", notes_);
		entries.reserve(count);
		for (std::size_t i = 0; i < count; ++i)
			entries.push_back({NameAt(mdl0::EntryNameAt(file_, group, i), what, i), mdl0::EntryData(file_, group, i)});
		return entries;
	}

	// How many of `count` entries of `size` bytes at `start` are read: those
	// the file holds and the array budget allows.
	std::size_t EntriesToRead(std::size_t count, std::size_t size, std::size_t start, const std::string& what)
	{
		const std::size_t fit = file_.remaining(start) / size;
		if (count > fit) {
			Damage(what + " counts " + std::to_string(count) + " entries, but only " + std::to_string(fit) +
				" fit in the file");
			count = fit;
		}
		if (count * size > arrayBudget_) {
			Damage(what + " shares its data with other arrays");
			count = arrayBudget_ / size;
		}
		arrayBudget_ -= count * size;
		return count;
	}

	// False (and damage noted) when the array header at `at` is not all in the file.
	bool HeaderInFile(std::size_t at, const std::string& what)
	{
		if (file_.contains(at, kArrayHeader))
			return true;
		Damage(what + " lies outside the file");
		return false;
	}

	void ReadPositions(std::size_t group)
	{
		const std::vector<GroupEntry> entries = ReadGroup(group, "positions");
		md_.nVtx = int(entries.size());
		md_.vtxCount.assign(entries.size(), 0);
		md_.vtx.assign(entries.size(), {});
		for (std::size_t i = 0; i < entries.size(); ++i) {
			const std::size_t d = entries[i].data;
			const std::string what = "position array " + Quoted(entries[i].name);
			model_.names.positions.push_back(entries[i].name);
			if (!HeaderInFile(d, what))
				continue;
			const int components = R32(file_, d + 0x14) == 1 ? 3 : 2; // +0x14 1 = x, y, z; else x, y
			const int format = R8(file_, d + 0x1B);
			const int shift = R8(file_, d + 0x1C);
			const std::size_t size = std::size_t(components) * ComponentSize(format);
			const std::size_t count = EntriesToRead(R16(file_, d + 0x1E), size, d + 0x40, what);
			std::vector<Vec3>& array = md_.vtx[i];
			array.resize(count);
			file_.seek(d + 0x40);
			ReadCoords(file_, array, components, format, shift);
			md_.vtxCount[i] = int(count);
		}
	}

	void ReadNormals(std::size_t group)
	{
		const std::vector<GroupEntry> entries = ReadGroup(group, "normals");
		md_.nNrm = int(entries.size());
		md_.nrmCount.assign(entries.size(), 0);
		md_.nrm.assign(entries.size(), {});
		for (std::size_t i = 0; i < entries.size(); ++i) {
			const std::size_t d = entries[i].data;
			const std::string what = "normal array " + Quoted(entries[i].name);
			model_.names.normals.push_back(entries[i].name);
			if (!HeaderInFile(d, what))
				continue;
			const int format = R8(file_, d + 0x1B);
			const int shift = R8(file_, d + 0x1C);
			const std::size_t count = EntriesToRead(R16(file_, d + 0x1E), 3 * ComponentSize(format), d + 0x20, what);
			std::vector<Vec3>& array = md_.nrm[i];
			array.resize(count);
			file_.seek(d + 0x20);
			ReadCoords(file_, array, 3, format, shift);
			md_.nrmCount[i] = int(count);
		}
	}

	void ReadColours(std::size_t group)
	{
		const std::vector<GroupEntry> entries = ReadGroup(group, "colours");
		md_.nClr = int(entries.size());
		md_.clrCount.assign(entries.size(), 0);
		md_.clr.assign(entries.size(), {});
		for (std::size_t i = 0; i < entries.size(); ++i) {
			const std::size_t d = entries[i].data;
			const std::string what = "colour array " + Quoted(entries[i].name);
			if (!HeaderInFile(d, what))
				continue;
			const int format = R8(file_, d + 0x1B);
			const std::size_t count = EntriesToRead(R16(file_, d + 0x1E), ColourSize(format), d + 0x20, what);
			md_.clr[i].resize(count);
			file_.seek(d + 0x20);
			ReadColors(file_, md_.clr[i], format);
			md_.clrCount[i] = int(count);
		}
	}

	void ReadTexCoords(std::size_t group)
	{
		const std::vector<GroupEntry> entries = ReadGroup(group, "texture coordinates");
		md_.nUV = int(entries.size());
		md_.uvCount.assign(entries.size(), 0);
		md_.uv.assign(entries.size(), {});
		for (std::size_t i = 0; i < entries.size(); ++i) {
			const std::size_t d = entries[i].data;
			const std::string what = "texture-coordinate array " + Quoted(entries[i].name);
			if (!HeaderInFile(d, what))
				continue;
			const std::size_t start = d + (R8(file_, d + 0x17) == 1 ? 0x40 : 0x20); // +0x17 1 = s and t
			const int format = R8(file_, d + 0x1B);
			const int shift = R8(file_, d + 0x1C);
			const std::size_t count = EntriesToRead(R16(file_, d + 0x1E), 2 * ComponentSize(format), start, what);
			std::vector<Vec2>& array = md_.uv[i];
			array.resize(count);
			file_.seek(start);
			ReadCoords(file_, array, format, shift);
			md_.uvCount[i] = int(count);
		}
	}

	// Position of the first `first`, `second` byte pair at or after `from`.
	std::size_t FindPair(std::size_t from, std::uint8_t first, std::uint8_t second) const
	{
		const std::span<const std::uint8_t> bytes = file_.bytes();
		for (std::size_t at = from; at + 1 < bytes.size(); ++at)
			if (bytes[at] == first && bytes[at + 1] == second)
				return at;
		return kNotFound;
	}

	std::size_t FindNonZero(std::size_t from) const
	{
		const std::span<const std::uint8_t> bytes = file_.bytes();
		for (std::size_t at = from; at < bytes.size(); ++at)
			if (bytes[at] != 0)
				return at;
		return kNotFound;
	}

	// Reads every mesh's header, descriptor and display list. False when a
	// mesh has no descriptor or no display list: the model cannot be read.
	bool ReadMeshes(std::size_t group)
	{
		const std::vector<GroupEntry> entries = ReadGroup(group, "objects");
		const std::size_t count = entries.size();
		md_.nMesh = int(count);
		md_.meshInfo.assign(count, MeshInfo());
		md_.meshTris.assign(count, {});
		for (std::size_t i = 0; i < std::min(count, spare_.size()); ++i) {
			md_.meshTris[i] = std::move(spare_[i]);
			md_.meshTris[i].clear();
		}
		for (const GroupEntry& entry : entries)
			model_.names.meshes.push_back(entry.name);
		std::size_t trianglesRead = 0;
		for (std::size_t i = 0; i < count; ++i) {
			const std::string& name = entries[i].name;
			const std::size_t d = entries[i].data;
			if (meshBudget_ == 0) {
				Damage("the meshes from " + Quoted(name) + " on share their data with earlier meshes; they are left empty");
				break;
			}

			MeshInfo& info = md_.meshInfo[i];
			info.node = int(std::int32_t(R32(file_, d + kSingleBindNode)));
			file_.seek(d + kArrayIndices);
			info.vtxArray = R16next(file_);
			info.nrmArray = R16next(file_);
			info.clrArray = R16next(file_);
			R16next(file_); // colour 1 is not used
			for (int& uv : info.uvArray)
				uv = R16next(file_);

			// the low vertex-descriptor word sits at P+2, the high one at P+8
			const std::size_t search = d + kDeclarations;
			const std::size_t p = FindPair(search, 0x08, 0x50);
			if (p == kNotFound)
				return Fail("Error: the model is damaged: mesh " + Quoted(name) + " has no vertex descriptor");
			NB nb;
			SetNB1(R8(file_, p + 4), nb);
			SetNB2(R8(file_, p + 5), nb);
			SetNB3(R8(file_, p + 10), R8(file_, p + 11), nb);

			// zero padding, then the first command of the list
			const std::size_t first = FindNonZero(p + kPrimitivesAfter);
			if (first == kNotFound)
				return Fail("Error: the model is damaged: mesh " + Quoted(name) + " has no display list");

			ByteView list(file_.bytes()); // a view of its own, so its damage mark is this list's
			list.seek(first + 1);
			if (!ReadPolygonData(list, file_.bytes()[first], md_.meshTris[i], md_, info, nb, kMaxTriangles - trianglesRead))
				return Fail("Error: the model is damaged: it has more than " + std::to_string(kMaxTriangles) +
					" triangles");
			trianglesRead += md_.meshTris[i].size();
			if (list.damaged()) {
				Damage("mesh " + Quoted(name) +
					(list.tell() > list.size()
							? ": the display list runs into the end of the file"
							: ": the display list names array entries or matrix slots that do not exist, or holds "
							  "incomplete primitives"));
			}

			const std::size_t work = std::min(list.tell(), list.size()) - std::min(search, list.size());
			meshBudget_ -= std::min(work, meshBudget_);
		}
		// a borrowed list far larger than its mesh gives the memory back, as do lists no mesh took
		for (std::vector<Triangle>& triangles : md_.meshTris)
			if (triangles.capacity() / 2 > triangles.size())
				triangles.shrink_to_fit();
		spare_.clear();
		return true;
	}

	bool Fail(std::string message)
	{
		Failure(std::move(message));
		return false;
	}

	// Per-vertex nodes are left to skinning; a whole mesh bound to a node that
	// does not exist is worth reporting.
	void CheckSingleBindNodes()
	{
		for (std::size_t i = 0; i < md_.meshInfo.size(); ++i) {
			const int node = md_.meshInfo[i].node;
			if (node != -1 && (node < 0 || node >= int(model_.nodelist.size())))
				Damage("mesh " + Quoted(model_.names.meshes[i]) + " is bound to node " + std::to_string(node) +
					", which does not exist");
		}
	}

	ByteView& caller_;
	ByteView file_; // a view of its own: a mark the caller's view carries from earlier reads is not this model's
	const std::size_t s_; // the sub-file's offset
	LoadedModel& model_;
	BRMDL& md_;
	std::vector<std::vector<Triangle>>& spare_; // triangle lists whose memory the meshes may take
	std::size_t arrayBudget_;
	std::size_t meshBudget_;
	ModelReadResult result_;
	mdl0::DamageNotes notes_; // what was left out or mended; result_.damaged when any
};

void KeepSettings(const AnimState& from, AnimState& to)
{
	to.speed = from.speed;
	to.rotOnly = from.rotOnly;
	to.defaultSpeed = from.defaultSpeed;
}

} // namespace

ModelReadResult ReadModel(ByteView& file, std::size_t offset, std::string_view name, LoadedModel& model)
{
	// The previous model's triangle lists lend their memory to the new one's:
	// writing into pages that are already mapped saves as much time as the
	// decoding takes when a model is read again. What is not taken is freed.
	std::vector<std::vector<Triangle>> spare = std::move(model.MD.meshTris);
	FreeModel(model);
	try {
		// read into a record of its own, so a failed read leaves nothing half-built
		LoadedModel fresh;
		KeepSettings(model.anim, fresh.anim);
		ModelReadResult result = ModelReader(file, offset, fresh, spare).Run();
		fresh.modelname = name;
		if (result.ok)
			model = std::move(fresh);
		return result;
	} catch (const std::bad_alloc&) {
		return {false, false, "Error: not enough memory to read this model"};
	} catch (const std::exception& e) {
		return {false, false, std::string("Error: the model could not be read: ") + e.what()};
	}
}

void FreeBRMDL(BRMDL& model)
{
	// the morph weights belong to the vertex animation, which releases them
	std::vector<std::vector<float>> morph = std::move(model.morph);
	model = BRMDL();
	model.morph = std::move(morph);
}

void FreeModel(LoadedModel& model)
{
	LoadedModel empty;
	KeepSettings(model.anim, empty.anim);
	model = std::move(empty);
}

} // namespace zentarra
