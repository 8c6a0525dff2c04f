#include "support/anim_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace zentarra::testing {

namespace {

constexpr std::size_t kGroupAt = 0x2C;

std::uint32_t Bits(float value) { return std::bit_cast<std::uint32_t>(value); }

// The index group at kGroupAt, then per entry its name and data, as offsets from the group.
void WriteGroup(ByteSink& out, const std::vector<std::size_t>& names, const std::vector<std::size_t>& data)
{
	std::vector<std::array<std::uint32_t, 2>> entries;
	for (std::size_t i = 0; i < names.size(); ++i)
		entries.push_back({std::uint32_t(names[i] - kGroupAt), std::uint32_t(data[i] - kGroupAt)});
	out.group(entries);
}

// Names in order; returns where each landed.
std::vector<std::size_t> WriteNames(ByteSink& out, const std::vector<std::string>& names)
{
	std::vector<std::size_t> at;
	for (const std::string& name : names)
		at.push_back(out.name(name));
	return at;
}

// A key block: formats 1-3 open with the key count and padding; then the floats (step and base of
// the scaled formats, the values of format 6) and the keys.
Chr0Field Block(std::uint32_t format, std::size_t count, const std::vector<float>& floats, const Bytes& keys)
{
	ByteSink block;
	if (format <= 3) {
		block.be16(std::uint16_t(count));
		block.append(Bytes(6, 0));
	}
	for (float value : floats)
		block.be32(Bits(value));
	block.append(keys);
	return {.format = format, .block = block.bytes};
}

} // namespace

Chr0Field Fixed(float value) { return {.value = value}; }

Chr0Field Keys4(float step, float base, const std::vector<std::pair<int, int>>& frameIndex)
{
	ByteSink keys;
	for (const auto& [frame, index] : frameIndex)
		keys.be32(std::uint32_t(frame) << 24 | std::uint32_t(index) << 12 | 0x5A5);
	return Block(1, frameIndex.size(), {step, base}, keys.bytes);
}

Chr0Field Keys6(float step, float base, const std::vector<std::pair<int, int>>& frameWordIndex)
{
	ByteSink keys;
	for (const auto& [frameWord, index] : frameWordIndex)
		for (int word : {frameWord, index, 0x7FFF})
			keys.be16(std::uint16_t(word));
	return Block(2, frameWordIndex.size(), {step, base}, keys.bytes);
}

Chr0Field Keys12(const std::vector<std::pair<float, float>>& frameValue)
{
	ByteSink keys;
	for (const auto& [frame, value] : frameValue)
		for (float word : {frame, value, 99.0f})
			keys.be32(Bits(word));
	return Block(3, frameValue.size(), {}, keys.bytes);
}

Chr0Field BytesPerFrame(float step, float base, const std::vector<std::uint8_t>& bytes)
{
	return Block(4, 0, {step, base}, bytes);
}

Chr0Field FloatsPerFrame(const std::vector<float>& values) { return Block(6, 0, values, {}); }

Chr0Entry AutoEntry(std::string name, std::vector<Chr0Field> scale, std::vector<Chr0Field> rot,
	std::vector<Chr0Field> trans)
{
	// per axis its fixed bit, or the group's key format
	const auto group = [](const std::vector<Chr0Field>& fields, int fixedBit, int formatBit) {
		std::uint32_t code = 0;
		for (std::size_t axis = 0; axis < fields.size(); ++axis)
			code |= fields[axis].format ? fields[axis].format << formatBit : 1u << (fixedBit + int(axis));
		return code;
	};
	std::uint32_t code = scale.empty() ? 0x8 : 0; // scale one
	if (scale.size() == 1) // uniform, fixed on all three axes or keyed
		code |= 0x10 | (scale[0].format ? scale[0].format << 25 : 0xE000);
	else
		code |= group(scale, 13, 25);
	if (!rot.empty())
		code |= 0x800000 | group(rot, 16, 27);
	if (!trans.empty())
		code |= 0x1000000 | group(trans, 19, 30);
	Chr0Entry entry{std::move(name), code, std::move(scale)};
	entry.fields.insert(entry.fields.end(), rot.begin(), rot.end());
	entry.fields.insert(entry.fields.end(), trans.begin(), trans.end());
	return entry;
}

Bytes BuildCHR0(const Chr0Anim& anim)
{
	const std::size_t count = anim.entries.size();
	std::vector<std::size_t> entryAt;
	std::size_t at = kGroupAt + GroupSize(count);
	for (const Chr0Entry& entry : anim.entries) {
		entryAt.push_back(at);
		at += 8 + 4 * entry.fields.size();
	}

	// the key blocks behind the entries, so the fields know where they point
	ByteSink blocks;
	std::vector<std::vector<std::uint32_t>> words(count);
	for (std::size_t i = 0; i < count; ++i) {
		for (const Chr0Field& field : anim.entries[i].fields) {
			std::uint32_t word = Bits(field.value);
			if (field.format) {
				word = std::uint32_t(at + blocks.size() - entryAt[i]);
				blocks.append(field.block);
				blocks.alignTo(4);
			}
			words[i].push_back(field.offset.value_or(word));
		}
	}
	ByteSink names;
	names.bytes.resize(at + blocks.size()); // names are placed behind everything
	std::vector<std::string> nameList = {anim.name};
	for (const Chr0Entry& entry : anim.entries)
		nameList.push_back(entry.name);
	const std::vector<std::size_t> nameAt = WriteNames(names, nameList);

	ByteSink out;
	out.text("CHR0");
	// size, version, archive offset, the group, user data, name, 0
	out.be32s({std::uint32_t(names.size()), 5, 0, kGroupAt, 0, std::uint32_t(nameAt[0]), 0});
	out.be16s({std::uint16_t(anim.frames), std::uint16_t(count)});
	out.be32s({1, 0}); // loops, scaling rule
	WriteGroup(out, {nameAt.begin() + 1, nameAt.end()}, entryAt);
	for (std::size_t i = 0; i < count; ++i) {
		out.be32s({std::uint32_t(nameAt[i + 1] - entryAt[i]), anim.entries[i].code});
		for (std::uint32_t word : words[i])
			out.be32(word);
	}
	out.append(blocks.bytes);
	out.append(Bytes(names.bytes.begin() + std::ptrdiff_t(out.size()), names.bytes.end()));
	return out.bytes;
}

Bytes BuildSHP0(const Shp0Anim& anim)
{
	std::vector<std::string> sets; // the name table
	const auto indexOf = [&](const std::string& name) {
		if (std::find(sets.begin(), sets.end(), name) == sets.end())
			sets.push_back(name);
		return std::uint16_t(std::find(sets.begin(), sets.end(), name) - sets.begin());
	};
	const std::size_t count = anim.entries.size();
	std::vector<std::size_t> entryAt;
	std::size_t at = kGroupAt + GroupSize(count);
	for (const Shp0Entry& entry : anim.entries) {
		entryAt.push_back(at);
		at += 20 + 4 * entry.targets.size() + (2 * entry.targets.size() + 3) / 4 * 4;
	}

	ByteSink body; // entries, key blocks and the name table, from `at` back to the group
	body.bytes.resize(kGroupAt + GroupSize(count));
	ByteSink blocks;
	for (std::size_t i = 0; i < count; ++i) {
		const Shp0Entry& entry = anim.entries[i];
		const std::size_t targets = entry.targets.size();
		body.be32s({7, 0}); // flags, name offset
		body.be16s({indexOf(entry.base), std::uint16_t(targets)});
		body.be32s({entry.mask, std::uint32_t(20 + 4 * targets)});
		for (std::size_t t = 0; t < targets; ++t) {
			const Shp0Target& target = entry.targets[t];
			if (entry.mask >> (t % 32) & 1) {
				body.be32(Bits(target.weight));
				continue;
			}
			body.be32(std::uint32_t(at + blocks.size() - body.size()));
			blocks.be16(std::uint16_t(target.keys.size()));
			blocks.append(Bytes(6, 0));
			for (const Key& key : target.keys)
				for (float value : {key.frame, key.value, 0.0f})
					blocks.be32(Bits(value));
		}
		for (const Shp0Target& target : entry.targets)
			body.be16(indexOf(target.name));
		body.alignTo(4);
	}
	body.append(blocks.bytes);
	const std::size_t table = body.size();
	body.append(Bytes(4 * sets.size(), 0));
	std::vector<std::string> nameList = sets;
	nameList.push_back(anim.name);
	for (const Shp0Entry& entry : anim.entries)
		nameList.push_back(entry.name);
	const std::vector<std::size_t> nameAt = WriteNames(body, nameList);
	for (std::size_t i = 0; i < sets.size(); ++i)
		body.patch32(table + 4 * i, std::uint32_t(nameAt[i] - table));

	ByteSink out;
	out.text("SHP0");
	// size, version, archive offset, the group, the name table, user data, name, 0
	out.be32s({std::uint32_t(body.size()), 4, 0, kGroupAt, std::uint32_t(table), 0, std::uint32_t(nameAt[sets.size()]), 0});
	out.be16s({std::uint16_t(anim.frames), std::uint16_t(sets.size())});
	out.be32(1); // loops
	WriteGroup(out, {nameAt.begin() + std::ptrdiff_t(sets.size()) + 1, nameAt.end()}, entryAt);
	out.append(Bytes(body.bytes.begin() + std::ptrdiff_t(out.size()), body.bytes.end()));
	return out.bytes;
}

AnimArchive BuildAnimArchive(const Mdl0Model& model, const std::vector<Chr0Anim>& chr0s,
	const std::vector<Shp0Anim>& shp0s)
{
	std::vector<Folder> folders = {{"3DModels(NW4R)", {{model.name, BuildMDL0(model)}}},
		{"AnmChr(NW4R)", {}}, {"AnmShp(NW4R)", {}}};
	for (const Chr0Anim& anim : chr0s)
		folders[1].entries.push_back({anim.name, BuildCHR0(anim)});
	for (const Shp0Anim& anim : shp0s)
		folders[2].entries.push_back({anim.name, BuildSHP0(anim)});
	const Layout layout = LayoutOf(folders);
	return {BuildBRRES(folders), layout.subFiles[0][0], layout.subFiles[1], layout.subFiles[2]};
}

Chr0Anim DemoCHR0()
{
	constexpr int kFrames = 40;
	std::vector<float> sway;
	std::vector<std::uint8_t> jiggle;
	for (int f = 0; f < kFrames; ++f) {
		const double phase = 2 * 3.141592653589793 * f / kFrames;
		sway.push_back(float(5 * std::sin(phase)));
		jiggle.push_back(std::uint8_t(64 + std::lround(63 * std::sin(3 * phase))));
	}
	Chr0Anim anim{.name = "crate_open", .frames = kFrames};
	anim.entries = {
		AutoEntry("crate_root", {}, {Fixed(0), FloatsPerFrame(sway), Fixed(0)},
			{Fixed(0), Keys12({{0, 0}, {20, 0.25f}, {39, 0}}), Fixed(0)}),
		// 1 + index / 1000; the middle key sits at frame 20.5
		AutoEntry("crate_body", {Keys6(0.001f, 1, {{0, 0}, {20 << 5 | 16, 50}, {39 << 5, 0}})}, {}, {}),
		// index x -0.05 degrees: 2000 is -100
		AutoEntry("crate_lid", {}, {Keys4(-0.05f, 0, {{0, 0}, {15, 2000}, {30, 2000}, {39, 0}}), Fixed(0), Fixed(0)},
			{Fixed(0), Fixed(2), Fixed(-1)}),
		// byte 64 is 0 degrees
		AutoEntry("crate_latch", {}, {Fixed(0), Fixed(0), BytesPerFrame(0.2f, -12.8f, jiggle)},
			{Fixed(0), Fixed(0), Fixed(2)}),
	};
	return anim;
}

Bytes BuildDemoCHR0() { return BuildCHR0(DemoCHR0()); }

void AddDemoMorphTargets(Mdl0Model& model)
{
	VertexArray bulge = *std::find_if(model.positions.begin(), model.positions.end(),
		[](const VertexArray& array) { return array.name == "crate_lid_pos"; });
	bulge.name = "crate_lid_pos_bulge";
	bulge.values.at(4 * 3 + 1) += 0.5f; // entry 4, the top centre
	model.positions.push_back(bulge);
}

Shp0Anim DemoSHP0()
{
	return {.name = "crate_bulge", .frames = 30,
		.entries = {{.name = "crate_lid", .base = "crate_lid_pos",
			.targets = {{.name = "crate_lid_pos_bulge", .keys = {{0, 0}, {15, 1}, {29, 0}}}}}}};
}

Bytes BuildDemoSHP0() { return BuildSHP0(DemoSHP0()); }

} // namespace zentarra::testing
