#include "anim/chr0.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string_view>
#include <utility>

namespace zentarra {

namespace {

constexpr std::size_t kGroupField = 0x10;  // header: offset of the index group
constexpr std::size_t kFramesBeforeGroup = 12; // G-12 frame count, G-10 entry count
constexpr std::size_t kFirstEntry = 0x18; // group header and root record come first
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kEntryHeader = 8;   // D+4 code, fields from D+8

// Code bits.
constexpr std::uint32_t kScaleMask = 0x18;
constexpr std::uint32_t kScaleUniform = 0x10; // with bit 3 clear
constexpr std::uint32_t kUniformFixed = 0xE000;
constexpr std::uint32_t kScaleFixed[3] = {0x2000, 0x4000, 0x8000};
constexpr std::uint32_t kRotFixed[3] = {0x10000, 0x20000, 0x40000};
constexpr std::uint32_t kTransFixed[3] = {0x80000, 0x100000, 0x200000};
constexpr std::uint32_t kRotPresent = 0x800000;
constexpr std::uint32_t kTransPresent = 0x1000000;

constexpr int kNoDecoding = -1;

// A scale or translation code (2 bits) or a rotation code (3 bits) as a key
// format, or kNoDecoding.
int FormatOfCode(std::uint32_t code, bool rotation)
{
	switch (code) {
	case 1:
		return kKeys4;
	case 2:
		return kKeys6;
	case 3:
		return kKeys12;
	case 4:
		return rotation ? kBytePerFrame : kNoDecoding;
	case 6:
		return rotation ? kFloatPerFrame : kNoDecoding;
	default:
		return kNoDecoding;
	}
}

// Keys a track would hold at most, over the whole read: blocks may be shared
// by many fields, and this keeps a small file from asking for gigabytes.
std::size_t KeyBudget(const ByteView& file)
{
	return std::min(kMaxAnimationKeys, std::max<std::size_t>(std::size_t(1) << 20, 8 * file.size()));
}

std::vector<Key>* TrackKeys(BoneAnim& bone, int track)
{
	if (track >= 1 && track <= 3)
		return &bone.scaleKeys[track - 1];
	if (track >= 4 && track <= 6)
		return &bone.rotKeys[track - 4];
	if (track >= 7 && track <= 9)
		return &bone.transKeys[track - 7];
	return nullptr;
}

// Track 0 fills all three scale tracks with their own copy.
void StoreTrack(BoneAnim& bone, int track, std::vector<Key> keys)
{
	if (track == kUniformScaleTrack) {
		bone.scaleKeys[0] = keys;
		bone.scaleKeys[1] = keys;
		bone.scaleKeys[2] = std::move(keys);
		return;
	}
	if (std::vector<Key>* target = TrackKeys(bone, track))
		*target = std::move(keys);
}

void StoreConstant(BoneAnim& bone, int track, float value)
{
	StoreTrack(bone, track, {Key{0.0f, value}});
}

float NeutralValue(int track)
{
	return track <= 3 ? 1.0f : 0.0f;
}

std::string_view TrackName(int track)
{
	static constexpr std::string_view kNames[10] = {"uniform scale", "scale X", "scale Y", "scale Z", "rotation X",
		"rotation Y", "rotation Z", "translation X", "translation Y", "translation Z"};
	return track >= 0 && track <= 9 ? kNames[track] : "track";
}

std::string Hex(std::size_t value)
{
	char text[24];
	std::snprintf(text, sizeof text, "0x%zx", value);
	return text;
}

// The bytes one key takes in a counted block.
std::size_t KeySize(int format)
{
	return format == kKeys4 ? 4 : format == kKeys6 ? 6 : 12;
}

// A decoded CHR0 before it is attached to anything.
struct Chr0Entry {
	std::string name;
	BoneAnim bone;
};

struct Chr0Contents {
	int frames = 0;
	std::vector<Chr0Entry> entries;
};

class Chr0Decoder {
public:
	explicit Chr0Decoder(ByteView& file) : file_(file), budget_(KeyBudget(file)) {}

	// Decodes the whole CHR0; false with result.message set when it is damaged.
	bool Run(std::size_t s, Chr0Contents& out, AnimReadResult& result)
	{
		if (!file_.contains(s, kGroupField + 4))
			return Fail(result, "the CHR0 header lies outside the file (" + Hex(s) + ")");
		const std::uint32_t groupOffset = R32(file_, s + kGroupField);
		const std::size_t g = s + groupOffset;
		if (groupOffset < kFramesBeforeGroup || !file_.contains(g, kFirstEntry))
			return Fail(result, "the CHR0 index group lies outside the file (" + Hex(g) + ")");
		const int frames = R16(file_, g - kFramesBeforeGroup);
		const std::size_t count = R16(file_, g - kFramesBeforeGroup + 2);
		const std::size_t fit = file_.remaining(g + kFirstEntry) / kEntrySize;
		if (count > fit)
			return Fail(result, "the CHR0 counts " + std::to_string(count) + " bone entries, but only " +
				std::to_string(fit) + " fit in the file");

		frames_ = frames;
		Chr0Contents contents;
		contents.frames = frames;
		contents.entries.resize(count);
		for (std::size_t i = 0; i < count; ++i) {
			const std::size_t record = g + kFirstEntry + kEntrySize * i;
			Chr0Entry& entry = contents.entries[i];
			const std::size_t nameAt = g + R32(file_, record + 8);
			ByteView nameView(file_.bytes()); // its own damage mark: this name's
			nameView.seek(nameAt);
			entry.name = ScanName(nameView);
			if (nameView.damaged())
				return Fail(result, "the name of bone entry " + std::to_string(i) + " runs outside the file");
			what_ = "bone entry \"" + entry.name + "\"";
			if (!DecodeEntry(g + R32(file_, record + 12), entry.bone))
				return Fail(result, what_ + ": " + failure_);
		}
		result.ok = true;
		result.frames = frames;
		result.constantTracks = constantTracks_;
		result.message = NotesText();
		out = std::move(contents);
		return true;
	}

private:
	bool Fail(AnimReadResult& result, std::string message)
	{
		file_.markDamaged();
		result = AnimReadResult{};
		result.message = std::move(message);
		return false;
	}

	bool EntryFail(std::string message)
	{
		failure_ = std::move(message);
		return false;
	}

	void Note(std::string note)
	{
		++constantTracks_;
		if (notes_.size() < 4)
			notes_.push_back(std::move(note));
	}

	std::string NotesText() const
	{
		std::string text;
		for (const std::string& note : notes_)
			text += (text.empty() ? "" : "; ") + note;
		if (constantTracks_ > int(notes_.size()))
			text += "; and " + std::to_string(constantTracks_ - int(notes_.size())) + " more tracks held constant";
		return text;
	}

	// One field at p: a fixed value, or the offset from d of a key block in
	// `format` (kNoDecoding: not read, held at the neutral value).
	bool ReadField(std::size_t d, std::size_t& p, BoneAnim& bone, int track, bool fixed, int format)
	{
		if (!file_.contains(p, 4))
			return EntryFail("its fields run outside the file (" + Hex(p) + ")");
		const std::uint32_t word = R32(file_, p);
		p += 4;
		if (fixed) {
			StoreConstant(bone, track, std::bit_cast<float>(word));
			return true;
		}
		if (format == kNoDecoding) {
			StoreConstant(bone, track, NeutralValue(track));
			Note(what_ + ": " + std::string(TrackName(track)) + " has a key format we cannot read; held at " +
				(NeutralValue(track) == 1.0f ? "1" : "0"));
			return true;
		}

		const std::size_t block = d + word;
		const bool perFrame = format == kBytePerFrame || format == kFloatPerFrame;
		if (!file_.contains(block, 2))
			return EntryFail(std::string(TrackName(track)) + ": the key block lies outside the file (" + Hex(block) + ")");
		const std::size_t keys = (perFrame ? std::size_t(frames_) : R16(file_, block)) *
			(track == kUniformScaleTrack ? 3 : 1);
		if (keys > budget_)
			return EntryFail(std::string(TrackName(track)) + ": the key blocks hold more keys than the file could (" +
				Hex(block) + ")");
		budget_ -= keys;

		file_.seek(block);
		const bool read = perFrame ? ReadAnimDataSF(file_, bone, track, format, frames_)
			: ReadAnimData(file_, bone, track, format);
		if (!read)
			return EntryFail(std::string(TrackName(track)) + ": the key block at " + Hex(block) +
				" does not fit in the file");
		const std::vector<Key>* stored = TrackKeys(bone, track == kUniformScaleTrack ? 1 : track);
		if (stored->empty()) {
			// a track must hold a key; an empty block says nothing about the pose
			StoreConstant(bone, track, NeutralValue(track));
			Note(what_ + ": " + std::string(TrackName(track)) + " has no keys; held at " +
				(NeutralValue(track) == 1.0f ? "1" : "0"));
		}
		return true;
	}

	bool DecodeEntry(std::size_t d, BoneAnim& bone)
	{
		if (!file_.contains(d, kEntryHeader))
			return EntryFail("its data lies outside the file (" + Hex(d) + ")");
		const std::uint32_t code = R32(file_, d + 4);
		std::size_t p = d + kEntryHeader;

		const int scaleFormat = FormatOfCode(code >> 25 & 3, false);
		if ((code & kScaleMask) == kScaleUniform) {
			if (!ReadField(d, p, bone, kUniformScaleTrack, (code & kUniformFixed) != 0, scaleFormat))
				return false;
		} else if (code & kScaleMask) {
			for (int axis = 0; axis < 3; ++axis)
				StoreConstant(bone, 1 + axis, 1.0f);
		} else {
			for (int axis = 0; axis < 3; ++axis)
				if (!ReadField(d, p, bone, 1 + axis, (code & kScaleFixed[axis]) != 0, scaleFormat))
					return false;
		}

		const int rotFormat = FormatOfCode(code >> 27 & 7, true);
		for (int axis = 0; axis < 3; ++axis) {
			if (!(code & kRotPresent))
				StoreConstant(bone, 4 + axis, 0.0f);
			else if (!ReadField(d, p, bone, 4 + axis, (code & kRotFixed[axis]) != 0, rotFormat))
				return false;
		}

		const int transFormat = FormatOfCode(code >> 30 & 3, false);
		for (int axis = 0; axis < 3; ++axis) {
			if (!(code & kTransPresent))
				StoreConstant(bone, 7 + axis, 0.0f);
			else if (!ReadField(d, p, bone, 7 + axis, (code & kTransFixed[axis]) != 0, transFormat))
				return false;
		}
		return true;
	}

	ByteView& file_;
	std::size_t budget_;
	int frames_ = 0;
	std::string what_;
	std::string failure_;
	std::vector<std::string> notes_;
	int constantTracks_ = 0;
};

bool AllConstant(const BoneAnim& bone)
{
	for (int axis = 0; axis < 3; ++axis) {
		if (bone.scaleKeys[axis].size() != 1 || bone.rotKeys[axis].size() != 1 || bone.transKeys[axis].size() != 1)
			return false;
	}
	return true;
}

void MoveTracks(BoneAnim& to, BoneAnim& from)
{
	for (int axis = 0; axis < 3; ++axis) {
		to.scaleKeys[axis] = std::move(from.scaleKeys[axis]);
		to.rotKeys[axis] = std::move(from.rotKeys[axis]);
		to.transKeys[axis] = std::move(from.transKeys[axis]);
	}
}

} // namespace

bool ReadAnimData(ByteView& file, BoneAnim& bone, int track, int format)
{
	if (track < 0 || track > 9 || format < kKeys4 || format > kKeys12)
		return false;
	const std::size_t at = file.tell();
	const std::size_t header = format == kKeys12 ? 8 : 16;
	if (!file.contains(at, header)) {
		file.markDamaged();
		return false;
	}
	const std::size_t count = R16(file, at);
	const std::size_t size = KeySize(format);
	if (count > file.remaining(at + header) / size) {
		file.markDamaged();
		return false;
	}
	float step = 0.0f, base = 0.0f;
	if (format != kKeys12) {
		step = RFloat(file, at + 8);
		base = RFloatnext(file);
	}

	std::vector<Key> keys(count);
	file.seek(at + header);
	for (Key& key : keys) {
		switch (format) {
		case kKeys4: {
			// frame:8, value index:12, slope:12
			const std::uint32_t w = R32next(file);
			key.frame = float(w >> 24);
			key.value = float(w >> 12 & 0xFFF) * step + base;
			break;
		}
		case kKeys6: {
			// the frame word keeps 5 fraction bits, dropped here; the slope word is skipped
			key.frame = float(R16next(file) >> 5);
			key.value = float(R16next(file)) * step + base;
			R16next(file);
			break;
		}
		default:
			key.frame = RFloatnext(file);
			key.value = RFloatnext(file);
			RFloatnext(file); // slope
			break;
		}
	}
	StoreTrack(bone, track, std::move(keys));
	return true;
}

bool ReadAnimDataSF(ByteView& file, BoneAnim& bone, int track, int format, int frames)
{
	if (track < 4 || track > 6 || (format != kBytePerFrame && format != kFloatPerFrame) || frames < 0)
		return false;
	const std::size_t at = file.tell();
	const std::size_t count = std::size_t(frames);
	const std::size_t need = format == kBytePerFrame ? 8 + count : 4 * count;
	if (!file.contains(at, need)) {
		file.markDamaged();
		return false;
	}
	std::vector<Key> keys(count);
	if (format == kBytePerFrame) {
		const float step = RFloat(file, at);
		const float base = RFloatnext(file);
		for (std::size_t i = 0; i < count; ++i)
			keys[i] = {float(i), float(R8next(file)) * step + base};
	} else {
		file.seek(at);
		for (std::size_t i = 0; i < count; ++i)
			keys[i] = {float(i), RFloatnext(file)};
	}
	StoreTrack(bone, track, std::move(keys));
	return true;
}

AnimReadResult ReadAnimation(ByteView& file, std::size_t offset, AnimState& anim, int nBones,
	const std::vector<std::string>& boneNames)
{
	AnimReadResult result;
	Chr0Contents chr0;
	if (!Chr0Decoder(file).Run(offset, chr0, result))
		return result;

	// nothing below can fail: the CHR0 is whole
	const std::size_t bones = nBones > 0 ? std::size_t(nBones) : 0;
	if (!(anim.type & 1)) {
		anim.nFrames = chr0.frames;
		anim.bones.assign(bones, BoneAnim{});
	} else {
		anim.nFrames = -1;
		anim.bones.resize(bones); // a record per bone, whatever the last read left
	}
	const std::size_t named = std::min(bones, boneNames.size());
	for (Chr0Entry& entry : chr0.entries) {
		const auto match = std::find(boneNames.begin(), boneNames.begin() + std::ptrdiff_t(named), entry.name);
		if (match == boneNames.begin() + std::ptrdiff_t(named))
			continue;
		BoneAnim& bone = anim.bones[std::size_t(match - boneNames.begin())];
		if (bone.loaded) {
			if (!AllConstant(bone))
				continue; // an animated bone keeps its animation
			FreeBoneAnim(bone);
		}
		bone.nFrames = chr0.frames;
		MoveTracks(bone, entry.bone);
		bone.loaded = 1;
	}
	return result;
}

AnimReadResult ReadAnimationAlone(ByteView& file, std::size_t offset, AnimState& anim, int& nBones,
	std::vector<std::string>& names)
{
	AnimReadResult result;
	Chr0Contents chr0;
	if (!Chr0Decoder(file).Run(offset, chr0, result))
		return result;
	anim.nFrames = chr0.frames;
	anim.bones.clear();
	names.clear();
	anim.bones.reserve(chr0.entries.size());
	names.reserve(chr0.entries.size());
	for (Chr0Entry& entry : chr0.entries) {
		anim.bones.push_back(std::move(entry.bone));
		names.push_back(std::move(entry.name));
	}
	nBones = int(chr0.entries.size());
	return result;
}

void FreeBoneAnim(BoneAnim& bone)
{
	for (int axis = 0; axis < 3; ++axis) {
		bone.scaleKeys[axis] = {};
		bone.rotKeys[axis] = {};
		bone.transKeys[axis] = {};
	}
}

void FreeAnim(AnimState& anim, int nBones)
{
	const std::size_t count = std::min(anim.bones.size(), nBones > 0 ? std::size_t(nBones) : 0);
	for (std::size_t i = 0; i < count; ++i)
		FreeBoneAnim(anim.bones[i]);
	anim.bones = {};
}

} // namespace zentarra
