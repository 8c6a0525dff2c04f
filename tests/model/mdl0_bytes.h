// Reading and patching fields of MDL0 sub-files the test-only writer made,
// to damage them in place, and reading their bones and materials alone.
#pragma once

#include "model/bones.h"
#include "model/materials.h"
#include "support/mdl0_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace zentarra::testing {

inline constexpr std::size_t kDefinitionsSlot = 0x10; // header slots of the groups, version 11
inline constexpr std::size_t kBonesSlot = 0x14;
inline constexpr std::size_t kPositionsSlot = 0x18;

inline std::uint32_t Get32(const Bytes& b, std::size_t at)
{
	ByteView view(b);
	return R32(view, at);
}

inline void Put32(Bytes& b, std::size_t at, std::uint32_t value)
{
	for (std::size_t k = 0; k < 4; ++k)
		b.at(at + k) = std::uint8_t(value >> (24 - 8 * k));
}

// The field holding entry i's data offset, in the group at header `slot` of the MDL0 at `mdl0`.
inline std::size_t DataField(const Bytes& b, std::size_t mdl0, std::size_t slot, std::size_t i)
{
	return mdl0 + Get32(b, mdl0 + slot) + 0x24 + 16 * i;
}

inline std::size_t DataAt(const Bytes& b, std::size_t mdl0, std::size_t slot, std::size_t i)
{
	return mdl0 + Get32(b, mdl0 + slot) + Get32(b, DataField(b, mdl0, slot, i));
}

// Whatever the file held: every node index is inside the table and every parent chain ends.
inline void ExpectConsistentNodes(const LoadedModel& model)
{
	ASSERT_TRUE(model.nodelist.size() == std::size_t(model.nNodes) && model.bonemap.size() == std::size_t(model.nBones));
	for (const int node : model.bonemap)
		ASSERT_TRUE(node >= 0 && node < model.nNodes);
	for (const Node& node : model.nodelist) {
		ASSERT_TRUE(node.wNode.size() == std::size_t(node.nWeights) && node.weight.size() == node.wNode.size());
		ASSERT_TRUE(node.bone >= -1 && node.bone < model.nBones);
		for (const int blended : node.wNode)
			ASSERT_TRUE(blended >= 0 && blended < model.nNodes);
		int steps = 0;
		for (int p = node.parent; p != -1; p = model.nodelist[std::size_t(p)].parent)
			ASSERT_TRUE(p >= 0 && p < model.nNodes && ++steps <= model.nNodes) << "parent chain loops";
	}
}

// Whatever the file held, every per-mesh and per-material table fits the counts.
inline void ExpectConsistentMaterials(const BRMDL& model)
{
	const std::size_t n = std::size_t(model.nMat);
	ASSERT_TRUE(model.meshMat.size() == std::size_t(model.nMesh) && model.meshCull.size() == model.meshMat.size());
	ASSERT_TRUE(model.texName.size() == n && model.palName.size() == n && model.matMirror.size() == n);
	for (const int material : model.meshMat)
		ASSERT_TRUE(material >= 0 && (material == 0 || material < model.nMat));
}

// What a reader made of a file, whether it found it whole, and its damage report.
template <class Model>
struct SectionRead {
	Model model;
	bool whole = false;
	std::string damage;
};
using Bones = SectionRead<LoadedModel>;
using Materials = SectionRead<BRMDL>;

inline Bones ReadBonesOf(const ModelArchive& archive)
{
	Bones read;
	ByteView file(archive.bytes);
	read.whole = ReadBones(file, archive.offset, read.model, read.damage);
	EXPECT_EQ(read.whole, !file.damaged()) << "damage is marked on the file exactly when reported";
	ExpectConsistentNodes(read.model);
	return read;
}

// Each mesh holds one triangle whose corners have these coordinates.
inline constexpr float kUv[3][2] = {{0.5f, 0.25f}, {-3.0f, 2.0f}, {1.0f, 0.125f}};

inline Materials ReadMaterialsOf(const ModelArchive& archive, int nMesh)
{
	Materials read;
	read.model.nMesh = nMesh;
	read.model.meshTris.resize(std::size_t(nMesh), std::vector<Triangle>(1));
	for (std::vector<Triangle>& triangles : read.model.meshTris)
		for (int c = 0; c < 3; ++c)
			triangles[0].v[c].uv[0] = kUv[c][0], triangles[0].v[c].uv[1] = kUv[c][1];
	ByteView file(archive.bytes);
	read.whole = ReadMaterials(file, archive.offset, 11, read.model, read.damage);
	EXPECT_EQ(read.whole, !file.damaged()) << "damage is marked on the file exactly when reported";
	ExpectConsistentMaterials(read.model);
	return read;
}

} // namespace zentarra::testing
