// Key tracks as text, shared by the animation tests.
#pragma once

#include "model/model.h"

#include <charconv>
#include <string>
#include <vector>

namespace zentarra::test {

// The shortest text that reads back as the same float.
inline std::string Text(float value)
{
	char chars[32];
	return std::string(chars, std::to_chars(chars, chars + sizeof chars, value).ptr);
}

// "frame:value ..." in the shortest text that reads back as the same floats.
inline std::string Track(const std::vector<Key>& keys)
{
	std::string text;
	for (const Key& key : keys)
		text += (text.empty() ? "" : " ") + Text(key.frame) + ":" + Text(key.value);
	return text;
}

// The nine tracks, scale X-Z, rotation X-Z, translation X-Z, joined by "|".
inline std::string Tracks(const BoneAnim& bone)
{
	std::string text;
	for (const std::vector<Key>* group : {bone.scaleKeys, bone.rotKeys, bone.transKeys})
		for (int a = 0; a < 3; ++a)
			text += Track(group[a]) + "|";
	text.pop_back();
	return text;
}

} // namespace zentarra::test
