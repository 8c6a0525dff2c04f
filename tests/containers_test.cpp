// Archives inside their game containers: the Yaz0 decoder and the U8 reader
// on hostile input, and every corpus archive packed in U8, in Yaz0 and in
// Yaz0 of U8, listed, exported and unpacked as the loose files are.
#include "archive/containers.h"
#include "base/file_io.h"
#include "export/cli_run.h"
#include "support/container_writer.h"
#include "support/corpus.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace zentarra {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::Quote;
using testing::RunCli;

// A Yaz0 header stating `size`, then `stream`.
Bytes Yaz0(std::uint32_t size, const Bytes& stream = {})
{
	testing::ByteSink bytes;
	bytes.text("Yaz0");
	bytes.be32s({size, 0, 0});
	bytes.append(stream);
	return bytes.bytes;
}

TEST(Yaz0, EdgesOfTheFormat)
{
	// a run: "ab" then a reference of distance 2 repeating it; the last group partial
	EXPECT_EQ(DecodeYaz0(Yaz0(12, {0xC0, 'a', 'b', 0x80 | 0x00, 0x01})).bytes,
		(Bytes{'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}));
	EXPECT_EQ(DecodeYaz0(Yaz0(0)).error, "");

	const std::pair<Bytes, const char*> hostile[] = {
		{Yaz0(8, {0x00, 0x10, 0x00}), "back-reference"},
		{Yaz0(4, {0x80, 'a', 0x20, 0x00}), "past the stated size"},
		{Yaz0(0x20000001, Bytes(4000000)), "512 MiB"},
		{Yaz0(100000, Bytes(10, 0xFF)), "could encode"},
		{Yaz0(9, {0xFF, 'a', 'b', 'c'}), "the stream ends"},
		{{'Y', 'a', 'z', '0', 0}, "cut short"},
	};
	for (const auto& [bytes, error] : hostile)
		EXPECT_NE(DecodeYaz0(bytes).error.find(error), std::string::npos) << DecodeYaz0(bytes).error;
}

TEST(U8, ListsFoldersAndRefusesBrokenTables)
{
	const Bytes packed = testing::BuildU8({{"a/b/one.brres", {1}}, {"two.bin", {2, 2}}, {"a/three", {3, 3, 3}}});
	const U8Listing listing = ListU8(packed);
	EXPECT_EQ(listing.error, "");
	std::vector<std::string> paths;
	for (const auto& file : listing.files)
		paths.push_back(file.path);
	EXPECT_EQ(paths, (std::vector<std::string>{"a/b/one.brres", "a/three", "two.bin"}));
	EXPECT_EQ(packed[listing.files.at(1).offset + 2], 3);

	const std::size_t node = 0x20; // node k at 0x20 + 12 k: root, a, b, one.brres, three, two.bin
	const std::tuple<std::size_t, std::uint32_t, const char*> broken[] = {
		{node + 8, 0x10000, "runs past the file"},
		{node + 12 + 8, 99, "outside its parent's nodes"}, // folder a ends past the root
		{node + 24 + 8, 2, "outside its parent's nodes"},  // folder b ends before itself
		{node + 36, 0x00FFFFFF, "outside the name table"},
		{node + 36 + 8, 0x7FFFFFFF, "outside the archive"},
		{4, 0xFFFFFFF0, "outside the file"},
	};
	for (const auto& [at, value, error] : broken) {
		testing::ByteSink bytes{packed};
		bytes.patch32(at, value);
		EXPECT_NE(ListU8(bytes.bytes).error.find(error), std::string::npos) << ListU8(bytes.bytes).error;
	}
}

// Containers inside containers, four deep at most; damage inside one is
// reported with its path and the rest still read.
TEST(Containers, NestedAndDamagedOnesInside)
{
	using testing::BuildU8;
	using testing::EncodeYaz0;
	const Bytes bres = {'b', 'r', 'e', 's', 0xFE, 0xFF};
	Bytes cut = EncodeYaz0(Bytes(40, 'x')), deep = BuildU8({{"x.brres", bres}});
	cut.resize(cut.size() - 1);
	testing::ByteSink broken{BuildU8({{"y.brres", bres}})};
	broken.patch32(0x28, 0x10000); // the root's nodes run past the file
	for (int depth = 0; depth < 2; ++depth)
		deep = BuildU8({{"in.arc", deep}});
	const Bytes outer = BuildU8({{"a.szs", EncodeYaz0(BuildU8({{"b/c.brres", bres}}))}, {"cut.szs", cut},
		{"deep.arc", deep}, {"deeper.arc", BuildU8({{"in.arc", deep}})}, {"broken.arc", broken.bytes}});
	const ExpandedFile expanded = ExpandFile(outer);
	std::vector<std::string> found;
	for (const ArchiveSegment& segment : expanded.segments)
		found.push_back(segment.inner);
	EXPECT_EQ(found, (std::vector<std::string>{"a.szs/b/c.brres", "deep.arc/in.arc/in.arc/x.brres"}));
	EXPECT_EQ(expanded.warnings, (std::vector<std::string>{"\"cut.szs\" is damaged: " + DecodeYaz0(cut).error,
		"\"deeper.arc/in.arc/in.arc/in.arc\" is left out: containers nest deeper than 4",
		"the U8 archive \"broken.arc\" is damaged: " + ListU8(broken.bytes).error}));
	EXPECT_EQ(ExpandFile(broken.bytes).warnings.at(0).rfind("the U8 archive is damaged: ", 0), 0u);
	EXPECT_EQ(ExpandFile(cut).warnings.at(0).rfind("the Yaz0 stream is damaged: ", 0), 0u);
	std::vector<std::string> warnings;
	UnpackContainer(EncodeYaz0(outer), "all.szs", warnings);
	UnpackContainer(cut, "cut", warnings);
	UnpackContainer(broken.bytes, "broken", warnings);
	EXPECT_EQ(warnings.size(), 3u);
}

// `list`, an archive a block, in any order, without the archive lines' names,
// which say where each came from.
std::multiset<std::string> ListedEntries(const std::string& arguments)
{
	std::multiset<std::string> archives;
	std::string block;
	std::istringstream out(RunCli("list " + arguments).out);
	for (std::string line; std::getline(out, line);) {
		const std::size_t at = line.find("(archive at");
		if (at != std::string::npos && !block.empty())
			archives.insert(block);
		block = at != std::string::npos ? line.substr(at) : block + "\n" + line;
	}
	archives.insert(block);
	return archives;
}

TEST(Containers, CorpusArchivesListExportAndUnpackAsLooseFiles)
{
	testing::TempDir dir;
	for (const char* folder : {"loose", "yaz0"})
		fs::create_directories(dir.path / folder);
	std::vector<testing::PackedFile> packed;
	std::string loose, compressed;
	for (const nlohmann::json& archive : testing::CorpusInventory()) {
		const std::string name = fs::path(archive["file"].get<std::string>()).filename().string();
		const Bytes bytes = ReadWholeFile(testing::kCorpusDir + "/" + archive["file"].get<std::string>()).bytes;
		ASSERT_TRUE(WriteFileAtomically(dir.path / "loose" / name, bytes));
		ASSERT_TRUE(WriteFileAtomically(dir.path / "yaz0" / name, testing::EncodeYaz0(bytes)));
		loose += " " + Quote((dir.path / "loose" / name).string());
		compressed += " " + Quote((dir.path / "yaz0" / name).string());
		packed.push_back({std::string(packed.size() % 2 ? "stage/" : "") + name, bytes});
	}
	packed.push_back({"readme.txt", {'h', 'i'}}); // no archive: left out
	const fs::path arc = dir.path / "all.arc", szs = dir.path / "szs" / "all.szs";
	fs::create_directories(szs.parent_path());
	ASSERT_TRUE(WriteFileAtomically(arc, testing::BuildU8(packed)));
	ASSERT_TRUE(WriteFileAtomically(szs, testing::EncodeYaz0(testing::BuildU8(packed))));

	const std::multiset<std::string> listed = ListedEntries(loose);
	for (const std::string& container : {compressed, Quote(arc.string()), Quote(szs.string())})
		EXPECT_TRUE(ListedEntries(container) == listed) << container;
	const nlohmann::json list = nlohmann::json::parse(RunCli("list --json " + Quote(szs.string())).out);
	const nlohmann::json& item = list.at("files").at(0).at("items").at(0); // at(): a missing entry fails, never crashes
	EXPECT_EQ(item.value("container", ""), szs.string());
	EXPECT_EQ(item.value("inner", ""), packed[0].path);
	EXPECT_EQ(item["name"], szs.string() + "/" + packed[0].path);

	const std::string options = " --textures tga --models obj --anims psa --per-archive";
	RunCli("export-all" + loose + options); // some entries are skipped: the status says so
	const std::map<std::string, std::string> expected = testing::FilesBelow(dir.path / "loose" / "exported");
	EXPECT_GT(expected.size(), 100u);
	RunCli("export-all " + Quote(szs.string()) + options);
	EXPECT_TRUE(testing::FilesBelow(dir.path / "szs" / "exported") == expected);
	// one archive inside the container, by its shown name
	const std::string obj = (dir.path / "k.obj").string(), looseObj = (dir.path / "loose.obj").string();
	const std::string kuribo = (dir.path / "loose" / "kuribo_with_txt.brres").string();
	const testing::CommandResult model =
		RunCli("export-model " + Quote(szs.string() + "/stage/kuribo_with_txt.brres") + " kuribo -o " + Quote(obj));
	ASSERT_EQ(model.status, 0) << model.err;
	ASSERT_EQ(RunCli("export-model " + Quote(kuribo) + " kuribo -o " + Quote(looseObj)).status, 0);
	EXPECT_EQ(ReadWholeFile(obj).bytes, ReadWholeFile(looseObj).bytes);
	// unpack gives back the files as packed
	ASSERT_EQ(RunCli("unpack " + Quote(szs.string()) + " -o " + Quote((dir.path / "unpacked").string())).status, 0);
	for (const testing::PackedFile& file : packed)
		EXPECT_EQ(ReadWholeFile(dir.path / "unpacked" / file.path).bytes, file.bytes) << file.path;
	EXPECT_EQ(RunCli("unpack " + Quote(kuribo) + " -o " + Quote((dir.path / "x").string())).status, 1);
	// names that would leave the output folder are refused, the others written
	ASSERT_TRUE(WriteFileAtomically(arc, testing::BuildU8({{"../outside", {1}}, {"fine/inside", {2}}})));
	const testing::CommandResult unpack =
		RunCli("unpack " + Quote(arc.string()) + " -o " + Quote((dir.path / "out").string()));
	EXPECT_EQ(unpack.status, 1);
	EXPECT_NE(unpack.err.find("outside"), std::string::npos) << unpack.err;
	EXPECT_FALSE(fs::exists(dir.path / "outside"));
	EXPECT_TRUE(fs::exists(dir.path / "out" / "fine" / "inside"));
}

} // namespace
} // namespace zentarra
