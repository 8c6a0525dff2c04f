#include "anim/chr0.h"

#include "support/anim_writer.h"
#include "support/corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace zentarra {
namespace {

using namespace zentarra::testing;
using Pairs = std::vector<std::pair<float, float>>;

struct Read {
	AnimReadResult result;
	AnimState anim;
	int n = -1;
	std::vector<std::string> names;
};

// Reads the CHR0 behind some junk, so offsets must be taken from the sub-file.
Read ReadAlone(const Bytes& chr0)
{
	Bytes file(8 + chr0.size(), 0xEE);
	std::copy(chr0.begin(), chr0.end(), file.begin() + 8);
	ByteView view(file);
	Read read;
	read.anim.nFrames = 12345; // to see that a failure leaves it
	read.result = ReadAnimationAlone(view, 8, read.anim, read.n, read.names);
	return read;
}

Read ReadEntries(std::vector<Chr0Entry> entries, int frames = 10)
{
	return ReadAlone(BuildCHR0({.frames = frames, .entries = std::move(entries)}));
}

void ExpectKeys(const std::vector<Key>& keys, const Pairs& expected)
{
	ASSERT_EQ(keys.size(), expected.size());
	for (std::size_t i = 0; i < keys.size(); ++i) {
		EXPECT_EQ(keys[i].frame, expected[i].first) << "key " << i;
		EXPECT_EQ(keys[i].value, expected[i].second) << "key " << i;
	}
}

// Scale, rotation and translation of the bone, each track one key.
void ExpectPose(const BoneAnim& bone, Vec3 scale, Vec3 rot, Vec3 trans)
{
	for (int a = 0; a < 3; ++a) {
		ExpectKeys(bone.scaleKeys[a], {{0, scale[a]}});
		ExpectKeys(bone.rotKeys[a], {{0, rot[a]}});
		ExpectKeys(bone.transKeys[a], {{0, trans[a]}});
	}
}

TEST(ReadAnimData, EveryKeyFormatInFieldOrder)
{
	std::vector<std::uint8_t> bytes;
	std::vector<float> floats;
	Pairs fromBytes, fromFloats;
	for (int f = 0; f < 40; ++f) {
		bytes.push_back(std::uint8_t(3 * f));
		floats.push_back(float(f) * 1.5f - 7);
		fromBytes.emplace_back(float(f), float(3 * f) * 0.5f - 2);
		fromFloats.emplace_back(float(f), float(f) * 1.5f - 7);
	}
	const Read read = ReadEntries({AutoEntry("b", {Keys12({{0.5f, 2}, {3.25f, -1}}), Fixed(7), Keys12({{1, 1}})},
									   {Keys4(0.5f, 1, {{5, 0xABC}, {7, 0}}), Fixed(3), Fixed(4)},
									   {Fixed(1), Keys6(0.25f, -1, {{0x0043, 10}, {0x0100, 2}}), Fixed(2)}),
		AutoEntry("c", {}, {BytesPerFrame(0.5f, -2, bytes), Fixed(1), Fixed(2)}, {}),
		AutoEntry("d", {}, {Fixed(6), FloatsPerFrame(floats), Fixed(8)}, {})}, 40);
	ASSERT_TRUE(read.result.ok) << read.result.message;
	ASSERT_EQ(read.n, 3);
	EXPECT_EQ(read.anim.nFrames, 40);
	const BoneAnim& bone = read.anim.bones[0];
	ExpectKeys(bone.scaleKeys[0], {{0.5f, 2}, {3.25f, -1}}); // slopes skipped
	ExpectKeys(bone.scaleKeys[1], {{0, 7}});
	ExpectKeys(bone.scaleKeys[2], {{1, 1}});
	ExpectKeys(bone.rotKeys[0], {{5, 1375}, {7, 1}}); // 0xABC x 0.5 + 1
	ExpectKeys(bone.rotKeys[2], {{0, 4}});
	ExpectKeys(bone.transKeys[1], {{2, 1.5f}, {8, -0.5f}}); // 0x0043 is frame 2.09375
	ExpectKeys(bone.transKeys[2], {{0, 2}});
	ExpectKeys(read.anim.bones[1].rotKeys[0], fromBytes);
	ExpectKeys(read.anim.bones[1].rotKeys[1], {{0, 1}});
	ExpectKeys(read.anim.bones[2].rotKeys[1], fromFloats);
	ExpectKeys(read.anim.bones[2].rotKeys[2], {{0, 8}});
	EXPECT_EQ(read.result.constantTracks, 0);
}

TEST(Chr0Code, ScaleBitsDecideHowManyFieldsAreRead)
{
	const std::uint32_t trans = kChrTranslation | ChrTransFixed(0) | ChrTransFixed(1) | ChrTransFixed(2);
	const Read read = ReadEntries({
		{"one", kChrScaleOne, {}}, // no field at all
		{"oneAndUniform", kChrScaleOne | kChrScaleUniform | trans, {Fixed(1), Fixed(2), Fixed(3)}},
		{"uniformFixed", kChrScaleUniform | ChrScaleFixed(1) | trans, {Fixed(2.5f), Fixed(4), Fixed(5), Fixed(6)}},
		AutoEntry("uniformKeyed", {Keys12({{0, 1}, {9, 3}})}, {}, {Fixed(7), Fixed(8), Fixed(9)}),
	});
	ASSERT_TRUE(read.result.ok) << read.result.message;
	ASSERT_EQ(read.names, (std::vector<std::string>{"one", "oneAndUniform", "uniformFixed", "uniformKeyed"}));
	ExpectPose(read.anim.bones[0], {1, 1, 1}, {0, 0, 0}, {0, 0, 0});
	ExpectPose(read.anim.bones[1], {1, 1, 1}, {0, 0, 0}, {1, 2, 3});
	ExpectPose(read.anim.bones[2], {2.5f, 2.5f, 2.5f}, {0, 0, 0}, {4, 5, 6});
	const BoneAnim& keyed = read.anim.bones[3];
	for (int a = 0; a < 3; ++a)
		ExpectKeys(keyed.scaleKeys[a], {{0, 1}, {9, 3}});
	EXPECT_NE(keyed.scaleKeys[0].data(), keyed.scaleKeys[1].data()); // three arrays, not one shared
	ExpectKeys(keyed.transKeys[2], {{0, 9}});
}

TEST(Chr0Code, FormatsWithoutDecodingAreHeldNeutralAndReported)
{
	for (std::uint32_t rotFormat : {0u, 5u, 7u}) {
		SCOPED_TRACE(rotFormat);
		// every keyed field points far outside the file: it must not be followed
		const Chr0Field junk = {.offset = 0x7FFFFFF0};
		const std::uint32_t code = kChrRotation | ChrRotFormat(rotFormat) | kChrTranslation | ChrTransFixed(1);
		const Read read = ReadEntries({{"b", code, {junk, junk, junk, junk, junk, junk, junk, Fixed(8), junk}}});
		ASSERT_TRUE(read.result.ok) << read.result.message;
		ExpectPose(read.anim.bones[0], {1, 1, 1}, {0, 0, 0}, {0, 8, 0});
		EXPECT_EQ(read.result.constantTracks, 8);
		EXPECT_NE(read.result.message.find("scale X"), std::string::npos) << read.result.message;
	}
	const Read empty = ReadEntries({AutoEntry("b", {}, {Keys4(1, 0, {}), Fixed(0), Fixed(0)}, {})});
	ASSERT_TRUE(empty.result.ok);
	ExpectKeys(empty.anim.bones[0].rotKeys[0], {{0, 0}});
	EXPECT_EQ(empty.result.constantTracks, 1);
}

// root: rotation X keyed; arm: constant.
Chr0Anim FirstAnim()
{
	return {.frames = 20, .entries = {AutoEntry("root", {}, {Keys12({{0, 0}, {19, 90}}), Fixed(0), Fixed(0)}, {}),
							  AutoEntry("arm", {}, {}, {Fixed(1), Fixed(2), Fixed(3)})}};
}

AnimReadResult ReadOnto(const Bytes& bytes, AnimState& anim, const std::vector<std::string>& bones)
{
	ByteView view(bytes);
	return ReadAnimation(view, 0, anim, int(bones.size()), bones);
}

TEST(ReadAnimation, MatchesBonesByExactNameOnceAndAddsOnlyOntoConstantBones)
{
	const std::vector<std::string> bones = {"root", "Arm", "arm", "leg"};
	Chr0Anim chr0 = FirstAnim();
	chr0.entries.push_back(AutoEntry("ARM", {}, {}, {})); // no such bone
	chr0.entries.push_back(AutoEntry("root", {}, {}, {Fixed(5), Fixed(5), Fixed(5)})); // root is animated: ignored
	chr0.entries.push_back(AutoEntry("arm", {}, {Keys12({{0, 1}, {5, 2}}), Fixed(0), Fixed(0)}, {})); // arm was constant
	AnimState anim;
	ASSERT_TRUE(ReadOnto(BuildCHR0(chr0), anim, bones).ok);
	EXPECT_EQ(anim.nFrames, 20);
	EXPECT_EQ(anim.type, 0u); // the loader sets it
	ASSERT_EQ(anim.bones.size(), 4u);
	EXPECT_EQ(anim.bones[0].loaded, 1);
	ExpectKeys(anim.bones[0].rotKeys[0], {{0, 0}, {19, 90}});
	ExpectKeys(anim.bones[0].transKeys[0], {{0, 0}});
	EXPECT_EQ(anim.bones[1].loaded, 0);
	ExpectKeys(anim.bones[2].rotKeys[0], {{0, 1}, {5, 2}});
	ExpectKeys(anim.bones[2].transKeys[0], {{0, 0}});
	EXPECT_EQ(anim.bones[2].nFrames, 20);
	EXPECT_EQ(anim.bones[3].loaded, 0);

	// a second animation added: only bones the first left constant take its tracks
	AnimState added;
	ASSERT_TRUE(ReadOnto(BuildCHR0(FirstAnim()), added, {"root", "arm"}).ok);
	added.type = 1;
	const Chr0Anim second = {.frames = 7, .entries = {AutoEntry("root", {}, {}, {}),
											 AutoEntry("arm", {}, {Fixed(0), Keys4(1, 0, {{0, 1}, {6, 2}}), Fixed(0)}, {})}};
	ASSERT_TRUE(ReadOnto(BuildCHR0(second), added, {"root", "arm"}).ok);
	EXPECT_EQ(added.nFrames, -1);
	EXPECT_EQ(added.bones[0].nFrames, 20);
	ExpectKeys(added.bones[0].rotKeys[0], {{0, 0}, {19, 90}});
	EXPECT_EQ(added.bones[1].nFrames, 7);
	ExpectKeys(added.bones[1].rotKeys[1], {{0, 1}, {6, 2}});
	ExpectKeys(added.bones[1].transKeys[0], {{0, 0}});
}

TEST(ReadAnimation, DamagedFilesAreRefusedWhole)
{
	const Bytes good = BuildCHR0(FirstAnim());
	std::vector<Bytes> damaged(5, good);
	Patch16(damaged[0], 0x22, 0x7FFF);             // entry count
	Patch16(damaged[1], 0x10, 0x7FFF);             // index group offset
	Patch16(damaged[2], 0x2C + 0x18 + 12, 0x7FFF); // first entry's data
	Chr0Anim lying = FirstAnim();
	lying.entries[0].fields[0].block[0] = 0x40; // key count 0x4002
	damaged[3] = BuildCHR0(lying);
	lying = FirstAnim();
	lying.entries[0].fields[0].offset = 0xFFFFFF00;
	damaged[4] = BuildCHR0(lying);
	for (const Bytes& bytes : damaged) {
		AnimState anim;
		ASSERT_TRUE(ReadOnto(good, anim, {"root", "arm"}).ok);
		anim.type = 1;
		const AnimReadResult result = ReadOnto(bytes, anim, {"root", "arm"});
		EXPECT_FALSE(result.ok);
		EXPECT_FALSE(result.message.empty());
		EXPECT_EQ(anim.nFrames, 20);
		ExpectKeys(anim.bones[0].rotKeys[0], {{0, 0}, {19, 90}});
	}

	// every cut either reads the whole file or changes nothing
	const Read whole = ReadAlone(good);
	for (std::size_t n = 0; n < good.size(); ++n) {
		const Read cut = ReadAlone(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)));
		if (cut.result.ok) {
			EXPECT_EQ(cut.names, whole.names);
			ExpectKeys(cut.anim.bones[0].rotKeys[0], {{0, 0}, {19, 90}});
		} else {
			EXPECT_EQ(cut.anim.nFrames, 12345) << n;
			EXPECT_EQ(cut.n, -1);
		}
	}

	// 12 entries whose 36 rotation fields all point at one block of 65535 floats
	Chr0Anim shared{.frames = 65535};
	for (std::uint32_t i = 0; i < 12; ++i) {
		const Chr0Field field = {.format = 6, .offset = 20 * (12 - i)};
		shared.entries.push_back(AutoEntry("b" + std::to_string(i), {}, {field, field, field}, {}));
	}
	shared.entries[0].fields[0] = FloatsPerFrame(std::vector<float>(65535, 1.0f));
	const Read read = ReadAlone(BuildCHR0(shared));
	EXPECT_FALSE(read.result.ok);
	EXPECT_NE(read.result.message.find("more keys"), std::string::npos) << read.result.message;
}

TEST(ReadAnimationCorpus, EveryChr0ReadsAsTheInventorySays)
{
	const int animations = ForEachCorpusEntry("CHR0", [](const std::string&, const Bytes& bytes, const nlohmann::json& entry) {
		ByteView view(bytes);
		AnimState anim;
		int n = 0;
		std::vector<std::string> names;
		const AnimReadResult result = ReadAnimationAlone(view, entry["offset"].get<std::size_t>(), anim, n, names);
		ASSERT_TRUE(result.ok) << result.message;
		EXPECT_EQ(result.constantTracks, 0) << result.message;
		EXPECT_FALSE(view.damaged());
		EXPECT_EQ(anim.nFrames, entry["frames"].get<int>());
		EXPECT_EQ(n, entry["entries"].get<int>());
		for (const BoneAnim& bone : anim.bones)
			for (int a = 0; a < 3; ++a)
				EXPECT_TRUE(!bone.scaleKeys[a].empty() && !bone.rotKeys[a].empty() && !bone.transKeys[a].empty());
	});
	EXPECT_EQ(animations, 16);
}

} // namespace
} // namespace zentarra
