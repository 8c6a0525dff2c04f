// Writes the seed inputs of every fuzz target into a folder of its own:
//   make-fuzz-seeds OUT CORPUS
// OUT/<target>/ gets each archive of CORPUS/brres whole, each of its
// sub-files cut out into an archive of its own, and the test writer's
// synthetic archives; OUT/pose/ gets pose files; OUT/containers/ the
// small archives packed in Yaz0, in U8 and in both. Seeds are made from the
// corpus at build time and never kept in the repository.
#include "archive/brres_directory.h"
#include "base/file_io.h"
#include "support/brres_writer.h"
#include "support/container_writer.h"
#include "support/demo_archive.h"
#include "support/tex0_writer.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using namespace zentarra;
using zentarra::testing::Bytes;

namespace {

const char* FolderOf(ItemKind kind)
{
	switch (kind) {
	case ItemKind::MDL0: return "3DModels(NW4R)";
	case ItemKind::TEX0: return "Textures(NW4R)";
	case ItemKind::PLT0: return "Palettes(NW4R)";
	case ItemKind::CHR0: return "AnmChr(NW4R)";
	case ItemKind::SHP0: return "AnmShp(NW4R)";
	default: return "Other";
	}
}

int written = 0;

void Write(const fs::path& folder, const std::string& name, const Bytes& bytes)
{
	fs::create_directories(folder);
	if (WriteFileAtomically(folder / name, bytes))
		++written;
}

// Each entry of the archive as an archive of its own: the sub-file runs from
// its offset to the next sub-file's (or the end of the file).
void CutEntries(const fs::path& out, const std::string& stem, const Bytes& bytes)
{
	OpenArchives items;
	ByteView view(bytes);
	ReadBRRES(view, stem, items, nullptr);
	std::vector<const ItemRecord*> entries;
	for (const ItemRecord& item : items.items())
		if (item.kind != ItemKind::Archive && item.kind != ItemKind::Folder)
			entries.push_back(&item);
	for (const ItemRecord* entry : entries) {
		std::size_t end = bytes.size();
		for (const ItemRecord* other : entries)
			if (other->offset > entry->offset && other->offset < end)
				end = other->offset;
		if (entry->offset >= end)
			continue;
		const Bytes sub(bytes.begin() + std::ptrdiff_t(entry->offset), bytes.begin() + std::ptrdiff_t(end));
		const Bytes alone = testing::BuildBRRES({{FolderOf(entry->kind), {{entry->name, sub}}}});
		const char* target = entry->kind == ItemKind::MDL0                                   ? "model"
			: entry->kind == ItemKind::TEX0 || entry->kind == ItemKind::PLT0                 ? "texture"
			: entry->kind == ItemKind::CHR0 || entry->kind == ItemKind::SHP0                 ? "animation"
																							 : "archive";
		Write(out / target, stem + "-" + std::string(KindName(entry->kind)) + "-" + entry->name, alone);
	}
}

} // namespace

int main(int argc, char** argv)
{
	if (argc != 3) {
		std::fprintf(stderr, "usage: make-fuzz-seeds OUT CORPUS\n");
		return 2;
	}
	const fs::path out = argv[1];
	const fs::path corpus = argv[2];
	// the containers: each small archive in Yaz0, and together in U8 and Yaz0 of U8
	std::vector<testing::PackedFile> small;
	for (const auto& entry : fs::directory_iterator(corpus / "brres")) {
		const FileBytes file = ReadWholeFile(entry.path());
		if (file.status != ReadStatus::Ok || file.bytes.size() > 64 * 1024)
			continue;
		Write(out / "containers", entry.path().stem().string() + ".szs", testing::EncodeYaz0(file.bytes));
		small.push_back({(small.size() % 2 ? "stage/" : "") + entry.path().filename().string(), file.bytes});
	}
	const Bytes u8 = testing::BuildU8(small);
	Write(out / "containers", "all.arc", u8);
	Write(out / "containers", "all.szs", testing::EncodeYaz0(u8));
	Write(out / "containers", "nested.arc", testing::BuildU8({{"inner.szs", testing::EncodeYaz0(u8)}, {"x.bin", {1, 2}}}));
	for (const auto& entry : fs::directory_iterator(corpus / "brres")) {
		const FileBytes file = ReadWholeFile(entry.path());
		if (file.status != ReadStatus::Ok)
			continue;
		const std::string stem = entry.path().stem().string();
		for (const char* target : {"archive", "model", "texture", "animation"})
			Write(out / target, stem, file.bytes);
		CutEntries(out, stem, file.bytes);
	}

	const Bytes demo = testing::DemoArchive();
	for (const char* target : {"archive", "model", "texture", "animation"})
		Write(out / target, "demo", demo);
	CutEntries(out, "demo", demo);
	Write(out / "texture", "ci4-no-palette",
		testing::BuildBRRES({{"Textures(NW4R)", {{"t", testing::BuildTEX0(8, 8, 8, Bytes(32, 0x5A))}}}}));

	const std::string pose = "POSE\ncrate_root 0.000000 0.000000 0.000000\ncrate_lid -45.500000 10.000000 0.000000\n"
							 "crate_latch 1e3 -2.5 nan\nnobody 1 2 3\n";
	Write(out / "pose", "crate", Bytes(pose.begin(), pose.end()));
	Write(out / "pose", "empty", Bytes{'P', 'O', 'S', 'E'});
	std::printf("%d seed files in %s\n", written, out.c_str());
	return 0;
}
