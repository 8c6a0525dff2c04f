// Small hand-made models for the viewer's tests (triangles given by their
// posed corners, straight into the model record) and scripted dialogs.
#pragma once

#include "model/model.h"
#include "view/front.h"

#include <algorithm>
#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace zentarra::testing {

using Rgba = std::array<float, 4>;

inline Vertex MakeVertex(float x, float y, float z, Rgba color = {1, 1, 1, 1}, std::array<float, 3> normal = {0, 0, 1})
{
	Vertex v;
	const float p[3] = {x, y, z};
	for (int i = 0; i < 3; ++i) {
		v.pos[i] = v.posedPos[i] = p[i];
		v.nrm[i] = v.posedNrm[i] = normal[i];
	}
	std::copy(color.begin(), color.end(), v.color);
	return v;
}

// A triangle in the model's XY plane facing +Z (counter-clockwise seen from +Z).
inline Triangle Facing(float size, Rgba color = {1, 1, 1, 1}, std::array<float, 3> normal = {0, 0, 1})
{
	return {{MakeVertex(-size, -size, 0, color, normal), MakeVertex(size, -size, 0, color, normal),
		MakeVertex(0, size, 0, color, normal)}};
}

inline void AddMesh(LoadedModel& model, std::vector<Triangle> triangles, int cull = 2, std::string name = "mesh")
{
	BRMDL& MD = model.MD;
	MD.meshTris.push_back(std::move(triangles));
	MD.meshVisible.push_back(1);
	MD.meshCull.push_back(cull);
	MD.meshMat.push_back(0);
	MD.meshInfo.emplace_back();
	MD.nMesh = int(MD.meshTris.size());
	model.names.meshes.push_back(std::move(name));
}

// Answers the viewer's dialogs from queues and keeps every message shown.
struct ScriptedDialogs : ViewerFront {
	std::vector<MessageBox> messages;
	std::deque<std::vector<std::string>> openAnswers;
	std::deque<std::optional<std::string>> saveAnswers;
	std::vector<int> titles;

	void ShowMessage(const MessageBox& message) override { messages.push_back(message); }
	std::vector<std::string> AskOpenFiles(const OpenFileRequest&) override { return Take(openAnswers); }
	std::optional<std::string> AskSaveFile(const SaveFileRequest&) override { return Take(saveAnswers); }
	void SetTitle(int state) override { titles.push_back(state); }
	std::string LastText() const { return messages.empty() ? "" : messages.back().text; }

	// the first answer left, or a cancel when the script ran out
	template <typename T>
	static T Take(std::deque<T>& answers)
	{
		if (answers.empty())
			return {};
		T answer = answers.front();
		answers.pop_front();
		return answer;
	}
};

} // namespace zentarra::testing
