// Small hand-made models for the viewer's tests: triangles given by their
// posed corners, straight into the model record.
#pragma once

#include "model/model.h"
#include "view/front.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <optional>
#include <string>
#include <vector>

namespace zentarra::testing {

inline Vertex MakeVertex(float x, float y, float z, std::array<float, 4> color = {1, 1, 1, 1},
	std::array<float, 3> normal = {0, 0, 1}, int node = 0)
{
	Vertex v;
	const float p[3] = {x, y, z};
	for (int i = 0; i < 3; ++i) {
		v.pos[i] = v.posedPos[i] = p[i];
		v.nrm[i] = v.posedNrm[i] = normal[i];
	}
	for (int i = 0; i < 4; ++i)
		v.color[i] = color[i];
	v.node = node;
	return v;
}

// A triangle in the model's XY plane facing +Z (counter-clockwise seen from +Z).
inline Triangle Facing(float size, std::array<float, 4> color = {1, 1, 1, 1}, std::array<float, 3> normal = {0, 0, 1},
	int node = 0)
{
	return {{MakeVertex(-size, -size, 0, color, normal, node), MakeVertex(size, -size, 0, color, normal, node),
		MakeVertex(0, size, 0, color, normal, node)}};
}

// The same triangle turned away (clockwise from +Z).
inline Triangle Away(float size, std::array<float, 4> color = {1, 1, 1, 1})
{
	Triangle t = Facing(size, color);
	std::swap(t.v[1], t.v[2]);
	return t;
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
	std::vector<std::vector<std::string>> openAnswers; // taken front first
	std::vector<std::optional<std::string>> saveAnswers;
	std::vector<OpenFileRequest> openRequests;
	std::vector<SaveFileRequest> saveRequests;
	std::vector<int> titles;

	void ShowMessage(const MessageBox& message) override { messages.push_back(message); }
	std::vector<std::string> AskOpenFiles(const OpenFileRequest& request) override
	{
		openRequests.push_back(request);
		if (openAnswers.empty())
			return {};
		std::vector<std::string> answer = openAnswers.front();
		openAnswers.erase(openAnswers.begin());
		return answer;
	}
	std::optional<std::string> AskSaveFile(const SaveFileRequest& request) override
	{
		saveRequests.push_back(request);
		if (saveAnswers.empty())
			return std::nullopt;
		std::optional<std::string> answer = saveAnswers.front();
		saveAnswers.erase(saveAnswers.begin());
		return answer;
	}
	void SetTitle(int state) override { titles.push_back(state); }
	std::string LastText() const { return messages.empty() ? "" : messages.back().text; }
};

inline std::string ReadWholeText(const std::filesystem::path& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

inline std::vector<std::uint8_t> TextBytes(std::string_view text)
{
	return {text.begin(), text.end()};
}

} // namespace zentarra::testing
