#include "export/obj.h"

#include "base/file_io.h"
#include "base/text.h"

#include <algorithm>
#include <bit>
#include <charconv>

namespace zentarra {

namespace {

constexpr std::size_t kMinSlots = 16;

// Rough text sizes, for reserving: a vertex's three lines, a face line.
constexpr std::size_t kVertexText = 100;
constexpr std::size_t kFaceText = 64;

const std::vector<Triangle>& MeshTriangles(const BRMDL& model, std::size_t m)
{
	static const std::vector<Triangle> none;
	return m < model.meshTris.size() ? model.meshTris[m] : none;
}

bool IsHidden(const BRMDL& model, std::size_t m)
{
	return m < model.meshVisible.size() && model.meshVisible[m] == 0;
}

// Room for `extra` more bytes, growing geometrically so that many small
// meshes do not reallocate the whole text each time.
void Reserve(std::string& out, std::size_t extra)
{
	const std::size_t need = out.size() + extra;
	if (need > out.capacity())
		out.reserve(std::max(need, out.capacity() * 2));
}

void AppendInt(std::string& out, long long value)
{
	char text[24];
	const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
	out.append(text, end.ptr);
}

// Floats go through printf's double promotion, as "%f" receives them.
void AppendFloats(std::string& out, std::string_view tag, std::span<const float> values)
{
	out += tag;
	for (const float value : values) {
		out += ' ';
		AppendFixed6(out, double(value));
	}
	out += '\n';
}

std::uint64_t HashIndices(std::int32_t posIndex, std::int32_t nrmIndex, std::int32_t uvIndex, std::int32_t node)
{
	const std::uint64_t low = std::uint32_t(posIndex) | std::uint64_t(std::uint32_t(nrmIndex)) << 32;
	const std::uint64_t high = std::uint32_t(uvIndex) | std::uint64_t(std::uint32_t(node)) << 32;
	std::uint64_t h = low * 0x9E3779B97F4A7C15ull ^ std::rotl(high * 0xC2B2AE3D27D4EB4Full, 31);
	h ^= h >> 29;
	h *= 0xBF58476D1CE4E5B9ull;
	return h ^ h >> 32;
}

// The mesh's face lines: each corner's number three times, as position,
// texture coordinate and normal.
void AppendFaces(std::string& out, std::span<const UniqueVertex> records, long long base)
{
	char number[24];
	for (std::size_t k = 0; k + 2 < records.size(); k += 3) {
		out += 'f';
		for (std::size_t c = 0; c < 3; ++c) {
			const UniqueVertex& record = records[k + c];
			const std::int32_t vertex = record.duplicateOf != -1 ? record.duplicateOf : record.vertexNumber;
			const std::to_chars_result end = std::to_chars(number, number + sizeof number, base + 1 + vertex);
			const std::string_view text(number, std::size_t(end.ptr - number));
			out += ' ';
			out += text;
			out += '/';
			out += text;
			out += '/';
			out += text;
		}
		out += '\n';
	}
}

} // namespace

bool CompareVertices(const Vertex& a, const Vertex& b)
{
	return a.posIndex == b.posIndex && a.nrmIndex == b.nrmIndex && a.uvIndex == b.uvIndex && a.node == b.node;
}

void CornerTable::Reset(std::size_t corners)
{
	// a quarter of the corners: meshes share most of theirs; it grows at half full
	const std::size_t wanted = std::bit_ceil(std::max(kMinSlots, corners / 4));
	slots.assign(wanted, Slot{0, 0, 0, 0, -1});
	used = 0;
}

void CornerTable::Grow()
{
	std::vector<Slot> old = std::move(slots);
	slots.assign(std::max(kMinSlots, old.size() * 2), Slot{0, 0, 0, 0, -1});
	const std::size_t mask = slots.size() - 1;
	for (const Slot& slot : old) {
		if (slot.number < 0)
			continue;
		std::size_t at = HashIndices(slot.posIndex, slot.nrmIndex, slot.uvIndex, slot.node) & mask;
		while (slots[at].number >= 0)
			at = (at + 1) & mask;
		slots[at] = slot;
	}
}

std::int32_t CornerTable::FindOrAdd(const Vertex& corner, std::int32_t number)
{
	if ((used + 1) * 2 > slots.size())
		Grow();
	const std::size_t mask = slots.size() - 1;
	std::size_t at = HashIndices(corner.posIndex, corner.nrmIndex, corner.uvIndex, corner.node) & mask;
	for (;; at = (at + 1) & mask) {
		Slot& slot = slots[at];
		if (slot.number < 0) {
			slot = Slot{corner.posIndex, corner.nrmIndex, corner.uvIndex, corner.node, number};
			++used;
			return -1;
		}
		if (slot.posIndex == corner.posIndex && slot.nrmIndex == corner.nrmIndex && slot.uvIndex == corner.uvIndex &&
			slot.node == corner.node)
			return slot.number;
	}
}

bool LookForVertex2(const Vertex& corner, std::span<UniqueVertex> records, std::size_t k, CornerTable& seen,
	std::int32_t& counter)
{
	const std::int32_t earlier = seen.FindOrAdd(corner, counter);
	if (earlier >= 0) {
		records[k] = UniqueVertex{earlier, 0};
		return false;
	}
	records[k] = UniqueVertex{-1, counter};
	++counter;
	return true;
}

std::string ExportToOBJ(const BRMDL& model, const ModelNames& names, std::string_view modelName, bool skipHidden)
{
	std::string out;
	out += "mtllib ";
	out += modelName;
	out += ".mtl\n\n";

	long long base = 0; // vertices written by the meshes before
	std::vector<UniqueVertex> records;
	CornerTable seen;
	for (std::size_t m = 0; m < std::size_t(std::max(model.nMesh, 0)); ++m) {
		if (skipHidden && IsHidden(model, m))
			continue;
		const std::vector<Triangle>& triangles = MeshTriangles(model, m);

		// number the corners in triangle order, corners 0, 1, 2 of each
		records.assign(triangles.size() * 3, UniqueVertex{});
		seen.Reset(records.size());
		std::int32_t counter = 0;
		for (std::size_t t = 0; t < triangles.size(); ++t)
			for (std::size_t c = 0; c < 3; ++c)
				LookForVertex2(triangles[t].v[c], records, t * 3 + c, seen, counter);

		Reserve(out, std::size_t(counter) * kVertexText + triangles.size() * kFaceText + 64);
		for (std::size_t k = 0; k < records.size(); ++k)
			if (records[k].duplicateOf == -1)
				AppendFloats(out, "v", triangles[k / 3].v[k % 3].posedPos);
		out += '\n';
		for (std::size_t k = 0; k < records.size(); ++k) {
			if (records[k].duplicateOf != -1)
				continue;
			const float* uv = triangles[k / 3].v[k % 3].uv;
			const float flipped[2] = {uv[0], 1.0f - uv[1]};
			AppendFloats(out, "vt", flipped);
		}
		out += '\n';
		for (std::size_t k = 0; k < records.size(); ++k)
			if (records[k].duplicateOf == -1)
				AppendFloats(out, "vn", triangles[k / 3].v[k % 3].posedNrm);

		out += "\ng ";
		if (m < names.meshes.size())
			out += names.meshes[m];
		out += "\ns 1\nusemtl mat";
		AppendInt(out, (m < model.meshMat.size() ? model.meshMat[m] : 0) + 1LL);
		out += '\n';
		AppendFaces(out, records, base);
		out += '\n';
		base += counter;
	}
	return out;
}

std::string MtlText(const BRMDL& model)
{
	std::string out;
	const std::size_t materials = std::size_t(std::max(model.nMat, 0));
	out.reserve(materials * 160);
	for (std::size_t i = 0; i < materials; ++i) {
		out += "newmtl mat";
		AppendInt(out, (long long)(i) + 1);
		out += "\n\tNs 10\n\tNi 1.0\n\td 1.0\n\tTf 1 1 1\n\tillum 2\n\t"
			   "Ka 0.5 0.5 0.5\n\tKd 0.9 0.9 0.9\n\tKs 0.0 0.0 0.0\n\tmap_Kd ";
		if (i < model.texName.size())
			out += model.texName[i];
		out += ".tga\n\n";
	}
	return out;
}

std::filesystem::path MtlPathFor(const std::filesystem::path& objPath)
{
	std::filesystem::path::string_type text = objPath.native();
	text.resize(text.size() >= 3 ? text.size() - 3 : 0);
	text += "mtl";
	return std::filesystem::path(std::move(text));
}

bool WriteMTL(const std::filesystem::path& objPath, const BRMDL& model)
{
	const std::string text = MtlText(model);
	return WriteFileAtomically(MtlPathFor(objPath),
		std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

} // namespace zentarra
