#include "anim/shp0.h"

#include "anim/chr0.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace zentarra {

namespace {

constexpr std::size_t kGroupField = 0x10;     // header: offset of the index group
constexpr std::size_t kNameTableField = 0x14; // header: offset of the name table
constexpr std::size_t kFramesBeforeGroup = 8; // G-8 frame count, G-6 name count
constexpr std::size_t kFirstEntry = 0x18;
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kEntryHeader = 20; // flags, unused word, base, T, mask, table offset
constexpr std::size_t kBlockHeader = 8;  // K and six bytes
constexpr std::size_t kKeySize = 12;

std::string Hex(std::size_t value)
{
	char text[24];
	std::snprintf(text, sizeof text, "0x%zx", value);
	return text;
}

// The first of the first `count` names equal to `name`, or -1.
int FindArray(const std::string& name, int count, const std::vector<std::string>& names)
{
	const std::size_t n = std::min(names.size(), count > 0 ? std::size_t(count) : 0);
	for (std::size_t i = 0; i < n; ++i)
		if (names[i] == name)
			return int(i);
	return -1;
}

class Shp0Decoder {
public:
	Shp0Decoder(ByteView& file, int nVtx, const std::vector<std::string>& positionNames, int nNrm,
		const std::vector<std::string>& normalNames)
		: file_(file), nVtx_(nVtx), positionNames_(positionNames), nNrm_(nNrm), normalNames_(normalNames),
		  // targets and keys over the whole read: entries may share their data
		  budget_(std::min(kMaxAnimationKeys, std::max<std::size_t>(std::size_t(1) << 20, 8 * file.size())))
	{
	}

	bool Run(std::size_t s, int& frames, std::vector<VAnim>& out)
	{
		if (!file_.contains(s, kNameTableField + 4))
			return Fail("the SHP0 header lies outside the file (" + Hex(s) + ")");
		const std::uint32_t groupOffset = R32(file_, s + kGroupField);
		const std::size_t l = s + R32(file_, s + kNameTableField);
		const std::size_t g = s + groupOffset;
		if (groupOffset < kFramesBeforeGroup || !file_.contains(g, kFirstEntry))
			return Fail("the SHP0 index group lies outside the file (" + Hex(g) + ")");
		const int frameCount = R16(file_, g - kFramesBeforeGroup);
		const std::size_t nameCount = R16(file_, g - kFramesBeforeGroup + 2);
		const std::size_t count = R32(file_, g + 4);
		const std::size_t fit = file_.remaining(g + kFirstEntry) / kEntrySize;
		if (count > fit)
			return Fail("the SHP0 counts " + std::to_string(count) + " entries, but only " + std::to_string(fit) +
				" fit in the file");
		if (!ReadNames(l, nameCount))
			return false;

		std::vector<VAnim> entries(count);
		for (std::size_t i = 0; i < count; ++i) {
			const std::size_t d = g + R32(file_, g + kFirstEntry + kEntrySize * i + 12);
			if (!ReadEntry(d, entries[i]))
				return Fail("entry " + std::to_string(i) + ": " + failure_);
		}
		frames = frameCount;
		out = std::move(entries);
		return true;
	}

	const std::string& message() const { return message_; }

private:
	bool Fail(std::string message)
	{
		file_.markDamaged();
		message_ = std::move(message);
		return false;
	}

	bool EntryFail(std::string message)
	{
		failure_ = std::move(message);
		return false;
	}

	bool ReadNames(std::size_t l, std::size_t count)
	{
		if (count == 0)
			return true;
		const std::size_t fit = file_.remaining(l) / 4;
		if (count > fit)
			return Fail("the SHP0 name table counts " + std::to_string(count) + " names, but only " +
				std::to_string(fit) + " fit in the file");
		names_.reserve(count);
		for (std::size_t i = 0; i < count; ++i) {
			ByteView view(file_.bytes()); // its own damage mark: this name's
			view.seek(l + R32(file_, l + 4 * i));
			names_.push_back(ScanName(view));
			if (view.damaged())
				return Fail("name " + std::to_string(i) + " of the SHP0 runs outside the file");
		}
		return true;
	}

	// The name at `index` of the name table at `at`, false when it has none.
	bool NameIndex(std::size_t index, std::size_t at, const std::string*& name)
	{
		if (index >= names_.size())
			return EntryFail("name index " + std::to_string(index) + " at " + Hex(at) + " is outside the name table of " +
				std::to_string(names_.size()));
		name = &names_[index];
		return true;
	}

	bool ReadEntry(std::size_t d, VAnim& entry)
	{
		if (!file_.contains(d, kEntryHeader))
			return EntryFail("its data lies outside the file (" + Hex(d) + ")");
		entry.shpFlags = R32(file_, d);
		const std::string* base = nullptr;
		if (!NameIndex(R16(file_, d + 8), d + 8, base))
			return false;
		const std::size_t targets = R16(file_, d + 10);
		const std::uint32_t mask = R32(file_, d + 12);
		const std::size_t table = d + R32(file_, d + 16);
		if (!file_.contains(d + kEntryHeader, 4 * targets))
			return EntryFail("its " + std::to_string(targets) + " target fields run outside the file");
		if (!file_.contains(table, 2 * targets))
			return EntryFail("its target name table lies outside the file (" + Hex(table) + ")");
		if (targets > budget_)
			return EntryFail("the entries hold more targets than the file could");
		budget_ -= targets;

		entry.vtxArray = FindArray(*base, nVtx_, positionNames_);
		entry.nrmArray = FindArray(*base, nNrm_, normalNames_);
		entry.nTargets = int(targets);
		entry.vtxTarget.assign(targets, -1);
		entry.nrmTarget.assign(targets, -1);
		entry.weightKeys.assign(targets, {});
		for (std::size_t t = 0; t < targets; ++t) {
			const std::string* name = nullptr;
			if (!NameIndex(R16(file_, table + 2 * t), table + 2 * t, name))
				return false;
			entry.vtxTarget[t] = FindArray(*name, nVtx_, positionNames_);
			entry.nrmTarget[t] = FindArray(*name, nNrm_, normalNames_);
		}
		for (std::size_t t = 0; t < targets; ++t) {
			const std::size_t p = d + kEntryHeader + 4 * t;
			if (mask >> (t % 32) & 1) {
				entry.weightKeys[t] = {Key{0.0f, RFloat(file_, p)}};
				continue;
			}
			if (!ReadKeys(p + R32(file_, p), entry.weightKeys[t]))
				return EntryFail("target " + std::to_string(t) + ": " + failure_);
		}
		return true;
	}

	bool ReadKeys(std::size_t block, std::vector<Key>& keys)
	{
		if (!file_.contains(block, kBlockHeader))
			return EntryFail("its key block lies outside the file (" + Hex(block) + ")");
		const std::size_t count = R16(file_, block);
		if (count > file_.remaining(block + kBlockHeader) / kKeySize)
			return EntryFail("its key block at " + Hex(block) + " holds " + std::to_string(count) +
				" keys, more than fit in the file");
		if (count > budget_)
			return EntryFail("the key blocks hold more keys than the file could");
		budget_ -= count;
		keys.resize(count);
		file_.seek(block + kBlockHeader);
		for (Key& key : keys) {
			key.frame = RFloatnext(file_);
			key.value = RFloatnext(file_);
			RFloatnext(file_); // slope
		}
		return true;
	}

	ByteView& file_;
	int nVtx_;
	const std::vector<std::string>& positionNames_;
	int nNrm_;
	const std::vector<std::string>& normalNames_;
	std::size_t budget_;
	std::vector<std::string> names_;
	std::string failure_;
	std::string message_;
};

} // namespace

AnimReadResult ReadVertexAnimation(ByteView& file, std::size_t offset, AnimState& anim, int nVtx,
	const std::vector<std::string>& positionNames, int nNrm, const std::vector<std::string>& normalNames)
{
	AnimReadResult result;
	Shp0Decoder decoder(file, nVtx, positionNames, nNrm, normalNames);
	int frames = 0;
	std::vector<VAnim> entries;
	if (!decoder.Run(offset, frames, entries)) {
		result.message = decoder.message();
		return result;
	}
	anim.nFrames = frames;
	anim.vanim = std::move(entries);
	result.ok = true;
	result.frames = frames;
	return result;
}

void FreeVAnim(AnimState& anim, BRMDL& model)
{
	model.morph = {};
	anim.vanim = {};
}

} // namespace zentarra
