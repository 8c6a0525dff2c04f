#include "anim/pose.h"

#include "anim/bone_matrices.h"
#include "anim/math3d.h"
#include "anim/skinning.h"
#include "base/file_io.h"
#include "base/text.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <limits>
#include <span>
#include <system_error>

namespace zentarra {

namespace {

bool InTable(int index, std::size_t size)
{
	return index >= 0 && std::size_t(index) < size;
}

// Bones that have a name, a node index and a count entry; the tables could
// disagree in a damaged model.
int BoneCount(const LoadedModel& model)
{
	std::size_t count = model.nBones > 0 ? std::size_t(model.nBones) : 0;
	count = std::min({count, model.bonemap.size(), model.names.bones.size()});
	return int(count);
}

// The node of a bone, null when the bone or its node is not in the tables.
template <class Model>
auto NodeOfBone(Model& model, int bone) -> decltype(&model.nodelist[0])
{
	if (!InTable(bone, model.bonemap.size()) || bone >= model.nBones)
		return nullptr;
	const int index = model.bonemap[std::size_t(bone)];
	return InTable(index, model.nodelist.size()) ? &model.nodelist[std::size_t(index)] : nullptr;
}

// The bone's tracks and the frame to read them at, or null while no bone
// animation is loaded or it is stopped.
const BoneAnim* AnimatedBone(const AnimState& anim, int bone, float& frame)
{
	if ((anim.type & 1) == 0 || !(anim.frame >= 0.0f) || !InTable(bone, anim.bones.size()))
		return nullptr;
	const BoneAnim& tracks = anim.bones[std::size_t(bone)];
	frame = anim.nFrames >= 0 ? anim.frame : tracks.frame;
	return &tracks;
}

// An empty track keeps the bind value.
float TrackValue(std::span<const Key> keys, float frame, float bind)
{
	return keys.empty() ? bind : InterpolateFrame(keys, frame);
}

// Truncation toward zero that cannot overflow: NaN gives 0, values beyond
// int saturate. Angles and weights come from pose files and archives.
int TruncateToInt(float value)
{
	if (std::isnan(value))
		return 0;
	if (value >= 2147483648.0f)
		return INT_MAX;
	if (value < -2147483648.0f)
		return INT_MIN;
	return static_cast<int>(value);
}

// The weight of a morph target, null when the model has none.
template <class Model>
auto MorphWeight(Model& model, const MorphTarget& target) -> decltype(&model.MD.morph[0][0])
{
	auto& morph = model.MD.morph;
	if (!InTable(target.entry, morph.size()))
		return nullptr;
	auto& weights = morph[std::size_t(target.entry)];
	return InTable(target.target, weights.size()) ? &weights[std::size_t(target.target)] : nullptr;
}

// Reads a pose file's text the way "%s" and "%f" read a stream: both skip
// white space; "%s" takes everything up to the next white space; "%f" takes
// the longest run that is, or begins, a number, and fails unless all of it is
// one ("1e" fails; "1.5x" gives 1.5 and leaves "x" for the next item).
class PoseScanner {
public:
	explicit PoseScanner(std::string_view text) : text_(text) {}

	bool Word(std::string_view& word)
	{
		SkipSpace();
		const std::size_t start = pos_;
		while (pos_ < text_.size() && !IsSpace(text_[pos_]))
			++pos_;
		word = text_.substr(start, pos_ - start);
		return !word.empty();
	}

	bool Float(float& value)
	{
		SkipSpace();
		const std::string_view item = text_.substr(pos_, NumberLength(text_.substr(pos_)));
		pos_ += item.size();
		return ParseFloat(item, value);
	}

private:
	static bool IsSpace(char c)
	{
		return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
	}

	static char Lower(char c)
	{
		return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
	}

	static bool IsDigit(char c)
	{
		return c >= '0' && c <= '9';
	}

	static bool IsHexDigit(char c)
	{
		return IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'f');
	}

	// what may stand between the parentheses of "nan(...)"
	static bool IsNanChar(char c)
	{
		return IsDigit(c) || (Lower(c) >= 'a' && Lower(c) <= 'z') || c == '_';
	}

	void SkipSpace()
	{
		while (pos_ < text_.size() && IsSpace(text_[pos_]))
			++pos_;
	}

	// Letters of `word` matched case-insensitively from s[at].
	static std::size_t MatchLetters(std::string_view s, std::size_t at, std::string_view word)
	{
		std::size_t k = 0;
		while (k < word.size() && at + k < s.size() && Lower(s[at + k]) == word[k])
			++k;
		return k;
	}

	// Length of the number item at the start of s: sign, then "inf[inity]",
	// "nan[(...)]", hexadecimal "0x..." with a "p" exponent, or decimal
	// with an "e" exponent.
	static std::size_t NumberLength(std::string_view s)
	{
		std::size_t i = 0;
		if (i < s.size() && (s[i] == '+' || s[i] == '-'))
			++i;
		if (i < s.size() && Lower(s[i]) == 'i') {
			const std::size_t k = MatchLetters(s, i, "infinity");
			return i + (k == 8 ? 8 : std::min<std::size_t>(k, 3));
		}
		if (i < s.size() && Lower(s[i]) == 'n') {
			const std::size_t k = MatchLetters(s, i, "nan");
			i += k;
			if (k == 3 && i < s.size() && s[i] == '(') {
				std::size_t j = i + 1;
				while (j < s.size() && IsNanChar(s[j]))
					++j;
				if (j < s.size() && s[j] == ')')
					i = j + 1;
			}
			return i;
		}
		const bool hex = i + 1 < s.size() && s[i] == '0' && Lower(s[i + 1]) == 'x';
		if (hex)
			i += 2;
		const auto isMantissaDigit = hex ? IsHexDigit : IsDigit;
		bool digits = false;
		while (i < s.size() && isMantissaDigit(s[i])) {
			++i;
			digits = true;
		}
		if (i < s.size() && s[i] == '.') {
			++i;
			while (i < s.size() && isMantissaDigit(s[i])) {
				++i;
				digits = true;
			}
		}
		if (digits && i < s.size() && Lower(s[i]) == (hex ? 'p' : 'e')) {
			++i;
			if (i < s.size() && (s[i] == '+' || s[i] == '-'))
				++i;
			while (i < s.size() && IsDigit(s[i]))
				++i;
		}
		return i;
	}

	// The item as a float, correctly rounded; out of range gives infinity or
	// zero as strtof does. False unless the whole item is a number.
	static bool ParseFloat(std::string_view item, float& value)
	{
		bool negative = false;
		if (!item.empty() && (item[0] == '+' || item[0] == '-')) {
			negative = item[0] == '-';
			item.remove_prefix(1);
		}
		std::chars_format format = std::chars_format::general;
		if (item.size() >= 2 && item[0] == '0' && Lower(item[1]) == 'x') {
			format = std::chars_format::hex;
			item.remove_prefix(2);
		}
		if (item.empty())
			return false;
		const char* first = item.data();
		const char* last = item.data() + item.size();

		float f = 0;
		std::from_chars_result r = std::from_chars(first, last, f, format);
		if (r.ec == std::errc::result_out_of_range && r.ptr == last) {
			// beyond float: go through double, whose range holds most such values
			double d = 0;
			const std::from_chars_result rd = std::from_chars(first, last, d, format);
			if (rd.ec == std::errc() && rd.ptr == last) {
				f = std::abs(d) > double(FLT_MAX) ? std::numeric_limits<float>::infinity() : float(d);
			} else {
				// beyond double too: a negative exponent or a leading "0." is tiny
				const bool tiny = item.find('-') != std::string_view::npos || item[0] == '0' || item[0] == '.';
				f = tiny ? 0.0f : std::numeric_limits<float>::infinity();
			}
			r.ec = std::errc();
		}
		if (r.ec != std::errc() || r.ptr != last)
			return false;
		value = negative ? -f : f;
		return true;
	}

	std::string_view text_;
	std::size_t pos_ = 0;
};

} // namespace

bool PauseForPoseEdit(AnimState& anim)
{
	const bool wasPlaying = anim.playing != 0;
	anim.playing = 0;
	return wasPlaying;
}

bool PoseBone(LoadedModel& model, int bone)
{
	Node* node = NodeOfBone(model, bone);
	if (!node)
		return false;
	Transfo t;
	std::copy(node->curRot, node->curRot + 3, t.rot);
	std::copy(node->scale, node->scale + 3, t.scale);
	std::copy(node->trans, node->trans + 3, t.trans);

	float frame = 0;
	const BoneAnim* tracks = AnimatedBone(model.anim, bone, frame);
	if (tracks && model.anim.rotOnly == 0) {
		// keep the animation's scale and translation under the hand-set rotation
		for (std::size_t i = 0; i < 3; ++i) {
			t.scale[i] = TrackValue(tracks->scaleKeys[i], frame, node->scale[i]);
			t.trans[i] = TrackValue(tracks->transKeys[i], frame, node->trans[i]);
		}
	}
	CalcNodeMatrix(*node, t);
	return true;
}

void FinishPose(LoadedModel& model)
{
	CalcFinalAndWeightedMatrices(model.nodelist);
	RecalculateVertices(model.MD, model.nodelist);
}

int RotationToTrackPosition(float degrees)
{
	int position = TruncateToInt(degrees);
	if (position > kRotationTrackMax)
		position -= 360;
	else if (position < 0)
		position += 360;
	return position;
}

int ClampTrackPosition(int position, int maximum)
{
	return std::clamp(position, 0, maximum);
}

std::array<int, 3> BoneTrackPositions(const LoadedModel& model, int bone)
{
	std::array<int, 3> positions = {0, 0, 0};
	if (const Node* node = NodeOfBone(model, bone)) {
		for (std::size_t i = 0; i < 3; ++i)
			positions[i] = ClampTrackPosition(RotationToTrackPosition(node->curRot[i]), kRotationTrackMax);
	}
	return positions;
}

PoseEditResult RotateBone(LoadedModel& model, int bone, const std::array<int, 3>& positions)
{
	PoseEditResult result;
	Node* node = NodeOfBone(model, bone);
	if (!node)
		return result;
	result.wasPlaying = PauseForPoseEdit(model.anim);
	for (std::size_t i = 0; i < 3; ++i)
		node->curRot[i] = static_cast<float>(positions[i]);
	PoseBone(model, bone);
	FinishPose(model);
	result.applied = true;
	return result;
}

Vec3 BoneResetRotation(const LoadedModel& model, int bone)
{
	const Node* node = NodeOfBone(model, bone);
	if (!node)
		return {0, 0, 0};
	Vec3 rot = {node->rot[0], node->rot[1], node->rot[2]};
	float frame = 0;
	// rotations are always animated, so rotOnly does not matter here
	if (const BoneAnim* tracks = AnimatedBone(model.anim, bone, frame)) {
		for (std::size_t i = 0; i < 3; ++i)
			rot[i] = TrackValue(tracks->rotKeys[i], frame, node->rot[i]);
	}
	return rot;
}

std::array<int, 3> ResetBoneRotation(LoadedModel& model, int bone)
{
	const Vec3 rot = BoneResetRotation(model, bone);
	std::array<int, 3> positions;
	for (std::size_t i = 0; i < 3; ++i)
		positions[i] = ClampTrackPosition(RotationToTrackPosition(rot[i]), kRotationTrackMax);
	RotateBone(model, bone, positions);
	return positions;
}

MorphTarget DecodeMorphItem(std::uint32_t itemCode)
{
	return MorphTarget{int((itemCode >> 16) & 0xFF), int(itemCode & 0xFFFF)};
}

int WeightToTrackPosition(float weight)
{
	return TruncateToInt(weight * 100.0f);
}

int MorphTrackPosition(const LoadedModel& model, const MorphTarget& target)
{
	const float* weight = MorphWeight(model, target);
	return weight ? ClampTrackPosition(WeightToTrackPosition(*weight), kMorphTrackMax) : 0;
}

std::string MorphPercentText(int position)
{
	return IntToString(position, 3) + "%";
}

PoseEditResult SetMorphWeight(LoadedModel& model, const MorphTarget& target, int position)
{
	PoseEditResult result;
	float* weight = MorphWeight(model, target);
	if (!weight)
		return result;
	result.wasPlaying = PauseForPoseEdit(model.anim);
	*weight = static_cast<float>(position) / 100.0f;
	CalcVertexAnimation(model.MD, model.anim);
	RecalculateVertices(model.MD, model.nodelist);
	result.applied = true;
	return result;
}

int MorphResetPosition(const LoadedModel& model, const MorphTarget& target)
{
	const AnimState& anim = model.anim;
	if (anim.frame == -1.0f || !InTable(target.entry, anim.vanim.size()))
		return 0;
	const VAnim& entry = anim.vanim[std::size_t(target.entry)];
	if (!InTable(target.target, entry.weightKeys.size()))
		return 0;
	const std::vector<Key>& keys = entry.weightKeys[std::size_t(target.target)];
	const float weight = keys.empty() ? 0.0f : InterpolateFrame(keys, anim.frame);
	return ClampTrackPosition(WeightToTrackPosition(weight), kMorphTrackMax);
}

int ResetMorphWeight(LoadedModel& model, const MorphTarget& target)
{
	const int position = MorphResetPosition(model, target);
	SetMorphWeight(model, target, position);
	return position;
}

std::string SavePose(const LoadedModel& model)
{
	std::string text = "POSE\n";
	const int count = BoneCount(model);
	for (int b = 0; b < count; ++b) {
		const Node* node = NodeOfBone(model, b);
		if (!node)
			continue; // no node, no rotation to keep
		text += model.names.bones[std::size_t(b)];
		for (std::size_t i = 0; i < 3; ++i) {
			text += ' ';
			AppendFixed6(text, node->curRot[i]);
		}
		text += '\n';
	}
	return text;
}

bool SavePoseFile(const LoadedModel& model, const std::filesystem::path& path)
{
	const std::string text = SavePose(model);
	return WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

PoseLoadResult LoadPose(LoadedModel& model, std::string_view text)
{
	PoseLoadResult result;
	PoseScanner scan(text);
	std::string_view word;
	if (!scan.Word(word) || word != "POSE") {
		result.message = kNotAPoseFile;
		return result;
	}

	const int count = BoneCount(model);
	for (;;) {
		std::string_view name;
		float rot[3];
		if (!scan.Word(name) || !scan.Float(rot[0]) || !scan.Float(rot[1]) || !scan.Float(rot[2]))
			break;
		for (int b = 0; b < count; ++b) {
			if (model.names.bones[std::size_t(b)] != name)
				continue;
			if (Node* node = NodeOfBone(model, b)) {
				std::copy(rot, rot + 3, node->curRot);
				++result.applied;
			}
			break; // the first bone of that name
		}
	}

	for (int b = 0; b < model.nBones; ++b)
		PoseBone(model, b);
	FinishPose(model);
	result.wasPlaying = PauseForPoseEdit(model.anim);
	result.ok = true;
	return result;
}

PoseLoadResult LoadPoseFile(LoadedModel& model, const std::filesystem::path& path)
{
	const FileBytes file = ReadWholeFile(path);
	if (file.status != ReadStatus::Ok) {
		PoseLoadResult result;
		result.message = kCannotOpenPose;
		return result;
	}
	const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
	return LoadPose(model, text);
}

} // namespace zentarra
