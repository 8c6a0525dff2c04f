#include "export/obj.h"

#include "base/file_io.h"
#include "base/text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

namespace zentarra {

namespace {

constexpr std::size_t kMinSlots = 16;

const std::vector<Triangle>& MeshTriangles(const BRMDL& model, std::size_t m)
{
	static const std::vector<Triangle> none;
	return m < model.meshTris.size() ? model.meshTris[m] : none;
}

bool IsHidden(const BRMDL& model, std::size_t m)
{
	return m < model.meshVisible.size() && model.meshVisible[m] == 0;
}

void AppendInt(std::string& out, long long value)
{
	char text[24];
	const std::to_chars_result end = std::to_chars(text, text + sizeof text, value);
	out.append(text, end.ptr);
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

namespace {

// Room for one "%f" number of magnitude at most `largest`, with its sign and
// the space before it: a carry of the rounding may add an integer digit.
std::size_t FixedWidth(float largest)
{
	std::size_t digits = 2;
	if (!(largest < 1e38f)) // the largest float has 39 integer digits; NaN and infinity print shorter
		digits = 40;
	else
		for (float limit = 10.0f; limit <= largest && digits < 40; limit *= 10.0f)
			++digits;
	return 2 + digits + 7;
}

std::size_t DecimalDigits(unsigned long long v)
{
	std::size_t digits = 1;
	for (; v >= 10; v /= 10)
		++digits;
	return digits;
}

void Put(char*& at, std::string_view text)
{
	std::memcpy(at, text.data(), text.size());
	at += text.size();
}

// Floats go through printf's double promotion, as "%f" receives them.
void PutFloats(char*& at, std::string_view tag, std::span<const float> values)
{
	Put(at, tag);
	for (const float value : values) {
		*at++ = ' ';
		at = PutFixed6(at, value);
	}
	*at++ = '\n';
}

void PutFaces(char*& at, std::span<const UniqueVertex> records, long long base)
{
	for (std::size_t k = 0; k + 2 < records.size(); k += 3) {
		*at++ = 'f';
		for (std::size_t c = 0; c < 3; ++c) {
			const UniqueVertex& record = records[k + c];
			const std::int32_t vertex = record.duplicateOf != -1 ? record.duplicateOf : record.vertexNumber;
			char number[24];
			const std::string_view text(number, std::size_t(std::to_chars(number, number + sizeof number, base + 1 + vertex).ptr - number));
			*at++ = ' ';
			Put(at, text);
			*at++ = '/';
			Put(at, text);
			*at++ = '/';
			Put(at, text);
		}
		*at++ = '\n';
	}
}

} // namespace

ObjText FormatOBJ(const BRMDL& model, const ModelNames& names, std::string_view modelName, bool skipHidden)
{
	// number the corners of every mesh written first, in triangle order,
	// corners 0, 1, 2 of each, so the text's length is bounded before it is made
	struct Mesh {
		std::size_t m, first; // first record
		std::int32_t vertices;
	};
	std::vector<Mesh> meshes;
	std::size_t corners = 0;
	for (std::size_t m = 0; m < std::size_t(std::max(model.nMesh, 0)); ++m)
		if (!(skipHidden && IsHidden(model, m)))
			corners += MeshTriangles(model, m).size() * 3;
	std::vector<UniqueVertex> records(corners);
	// each vertex's position, texture coordinate (flipped) and normal, gathered
	// while numbering so the text is made from them without another walk over
	// the triangles
	std::vector<std::array<float, 8>> vertices;
	vertices.reserve(corners / 4);
	CornerTable seen;
	std::size_t bound = 16 + modelName.size();
	long long base = 0;
	for (std::size_t m = 0, first = 0; m < std::size_t(std::max(model.nMesh, 0)); ++m) {
		if (skipHidden && IsHidden(model, m))
			continue;
		const std::vector<Triangle>& triangles = MeshTriangles(model, m);
		const std::span<UniqueVertex> mesh(records.data() + first, triangles.size() * 3);
		seen.Reset(mesh.size());
		std::int32_t counter = 0;
		float largest = 1.0f;
		for (std::size_t t = 0; t < triangles.size(); ++t)
			for (std::size_t c = 0; c < 3; ++c)
				if (LookForVertex2(triangles[t].v[c], mesh, t * 3 + c, seen, counter)) {
					const Vertex& v = triangles[t].v[c];
					vertices.push_back({v.posedPos[0], v.posedPos[1], v.posedPos[2], v.uv[0], 1.0f - v.uv[1],
						v.posedNrm[0], v.posedNrm[1], v.posedNrm[2]});
					for (const float value : vertices.back())
						largest = std::max(largest, std::fabs(value));
				}
		meshes.push_back(Mesh{m, first, counter});
		first += mesh.size();
		base += counter;
		const std::size_t number = 3 + 3 * DecimalDigits((unsigned long long)(base)); // " n/n/n"
		bound += std::size_t(counter) * (8 * FixedWidth(largest) + 9) + triangles.size() * (2 + 3 * number) + 64 +
			(m < names.meshes.size() ? names.meshes[m].size() : 0);
	}

	ObjText out{std::unique_ptr<char[]>(new char[bound]), 0};
	char* at = out.text.get();
	Put(at, "mtllib ");
	Put(at, modelName);
	Put(at, ".mtl\n\n");
	base = 0; // vertices written by the meshes before
	for (const Mesh& mesh : meshes) {
		const std::vector<Triangle>& triangles = MeshTriangles(model, mesh.m);
		const std::span<const UniqueVertex> numbered(records.data() + mesh.first, triangles.size() * 3);
		const std::span<const std::array<float, 8>> own(vertices.data() + base, std::size_t(mesh.vertices));
		for (const std::array<float, 8>& v : own)
			PutFloats(at, "v", std::span(v).subspan<0, 3>());
		*at++ = '\n';
		for (const std::array<float, 8>& v : own)
			PutFloats(at, "vt", std::span(v).subspan<3, 2>());
		*at++ = '\n';
		for (const std::array<float, 8>& v : own)
			PutFloats(at, "vn", std::span(v).subspan<5, 3>());

		Put(at, "\ng ");
		if (mesh.m < names.meshes.size())
			Put(at, names.meshes[mesh.m]);
		Put(at, "\ns 1\nusemtl mat");
		at = std::to_chars(at, at + 24, (mesh.m < model.meshMat.size() ? model.meshMat[mesh.m] : 0) + 1LL).ptr;
		*at++ = '\n';
		PutFaces(at, numbered, base);
		*at++ = '\n';
		base += mesh.vertices;
	}
	out.size = std::size_t(at - out.text.get());
	assert(out.size <= bound);
	return out;
}

std::string ExportToOBJ(const BRMDL& model, const ModelNames& names, std::string_view modelName, bool skipHidden)
{
	const ObjText text = FormatOBJ(model, names, modelName, skipHidden);
	return std::string(text.text.get(), text.size);
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
