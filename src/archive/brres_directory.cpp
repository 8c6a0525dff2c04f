#include "archive/brres_directory.h"

#include "base/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zentarra {

namespace {

constexpr std::size_t kEntrySize = 16;       // one index-group entry
constexpr std::size_t kGroupHeaderSize = 24; // size, count, reference entry
constexpr std::size_t kRootGroup = 0x18;     // root group, from the archive's magic
constexpr std::size_t kMaxFolderDepth = 16;  // real archives nest one level, rarely two

std::uint32_t Magic(const char (&text)[5])
{
	return std::uint32_t(std::uint8_t(text[0])) << 24 | std::uint32_t(std::uint8_t(text[1])) << 16 |
		std::uint32_t(std::uint8_t(text[2])) << 8 | std::uint8_t(text[3]);
}

template <typename... Args>
std::string Format(const char* format, Args... args)
{
	char text[512];
	std::snprintf(text, sizeof text, format, args...);
	return text;
}

// Offset of the next "bres" at or after `from`, or npos.
std::size_t FindMagic(std::span<const std::uint8_t> bytes, std::size_t from)
{
	if (from >= bytes.size())
		return std::string::npos;
	const void* hit = ::memmem(bytes.data() + from, bytes.size() - from, "bres", 4);
	return hit ? std::size_t(static_cast<const std::uint8_t*>(hit) - bytes.data()) : std::string::npos;
}

struct DirectoryWalk {
	ByteView& file;
	std::string_view path;
	OpenArchives& items;
	ItemTree* tree;
	const TreeOptions& options;
	ScanResult& result;
	// Every directory entry fills 16 bytes of its own in a sound file, so the
	// whole scan never creates more entries than that: a directory whose groups
	// overlap or repeat cannot multiply the work.
	std::size_t entryBudget = 0;
	std::vector<int> folders; // of the archive being walked, for expanding

	void Damage(std::string what)
	{
		if (!result.damaged)
			result.damage = std::move(what);
		result.damaged = true;
	}

	int AddItem(std::string_view name, std::size_t offset, ItemKind kind, int archive, int parent, std::string_view text)
	{
		const int id = items.nextId();
		if (tree)
			tree->Tree_AddItem(id, parent, text);
		return items.CreateItem(path, name, offset, kind, archive);
	}

	std::string NameAt(std::size_t at)
	{
		ByteView view(file.bytes()); // a fresh view, so its mark speaks for this name only
		view.seek(at);
		std::string name = ScanName(view);
		if (view.damaged())
			Damage(file.contains(at, 1) ? Format("the name at 0x%zx runs into the end of the file", at)
			                            : Format("a name offset points outside the file (0x%zx)", at));
		return name;
	}

	// How many of `count` entries of the group at `group` may be walked.
	std::size_t EntriesToWalk(std::size_t group, std::uint32_t count, std::string_view groupName)
	{
		std::size_t walk = count;
		const std::size_t fit = file.remaining(group + kGroupHeaderSize) / kEntrySize;
		if (walk > fit) {
			Damage(Format("\"%.*s\" counts %u entries but only %zu fit in the file", int(groupName.size()),
				groupName.data(), count, fit));
			walk = fit;
		}
		if (walk > entryBudget) {
			Damage(Format("\"%.*s\" repeats entries of other groups", int(groupName.size()), groupName.data()));
			walk = entryBudget;
		}
		entryBudget -= walk;
		return walk;
	}

	// A folder's index group opens with a reference entry whose id is FFFF, and
	// its stated size covers exactly its entries. A root entry showing neither
	// is a sub-file stored beside the folders (some tools put text files there).
	bool LooksLikeIndexGroup(std::size_t at)
	{
		if (!file.contains(at, kGroupHeaderSize))
			return false;
		const std::uint64_t size = R32(file, at);
		const std::uint64_t count = R32(file, at + 4);
		return R16(file, at + 8) == 0xFFFF || size == kGroupHeaderSize + kEntrySize * count;
	}

	void AddEntry(std::string_view name, std::size_t at, int archive, int parent, std::string_view where)
	{
		if (!file.contains(at, 4)) {
			Damage(Format("entry \"%.*s\" of %.*s points outside the file (0x%zx)", int(name.size()), name.data(),
				int(where.size()), where.data(), at));
			return;
		}
		AddItem(name, at, KindFromMagic(R32(file, at)), archive, parent, name);
	}

	// Walks the entries of the index group at `group`. Entries of the root are
	// folders; entries of a folder are sub-files, or now and then a folder
	// nested in it (some tools write empty ones). `open` holds the groups being
	// walked, so a group pointing back at one of them cannot loop.
	void WalkGroup(std::size_t group, int parent, const std::string& groupName, int archive, std::vector<std::size_t>& open)
	{
		const std::size_t count = EntriesToWalk(group, R32(file, group + 4), groupName);
		const std::string where = parent == archive ? std::string("the root") : "folder \"" + groupName + "\"";
		open.push_back(group);
		for (std::size_t i = 0; i < count; ++i) {
			const std::size_t entry = group + kGroupHeaderSize + kEntrySize * i;
			const std::string name = NameAt(group + R32(file, entry + 8));
			const std::size_t target = group + R32(file, entry + 12);
			if (!LooksLikeIndexGroup(target)) {
				AddEntry(name, target, archive, parent, where);
				continue;
			}
			if (std::find(open.begin(), open.end(), target) != open.end() || open.size() > kMaxFolderDepth) {
				Damage(Format("folder \"%.*s\" of %.*s loops back into the directory", int(name.size()), name.data(),
					int(where.size()), where.data()));
				continue;
			}
			const int folderId = AddItem(name, target, ItemKind::Folder, archive, parent, name);
			folders.push_back(folderId);
			WalkGroup(target, folderId, name, archive, open);
		}
		open.pop_back();
	}

	void WalkArchive(std::size_t start)
	{
		const int archive = items.nextId();
		AddItem(path, start, ItemKind::Archive, archive, -1,
			options.fullPath ? std::string(path) : GetFileNameFromPath(path));

		const std::size_t root = start + kRootGroup;
		if (!file.contains(root, kGroupHeaderSize)) {
			Damage(Format("the archive at 0x%zx ends before its root group", start));
			return;
		}
		folders.clear();
		std::vector<std::size_t> open;
		WalkGroup(root, archive, "root", archive, open);

		if (options.autoExpand && tree) {
			tree->Tree_Expand(archive);
			for (const int folder : folders)
				tree->Tree_Expand(folder);
		}
	}

	// Where the search for the next archive goes on: 16 bytes before this
	// archive's stated end, but always past the magic just handled.
	std::size_t ResumeAfter(std::size_t start)
	{
		const std::uint32_t length = R32(file, start + 8);
		if (length < 20 || length > file.remaining(start)) {
			Damage(Format("the archive at 0x%zx states a length of %u bytes, but %zu remain in the file", start, length,
				file.remaining(start)));
			return start + 4;
		}
		return start + length - 16;
	}
};

} // namespace

ItemKind KindFromMagic(std::uint32_t magic)
{
	if (magic == Magic("MDL0"))
		return ItemKind::MDL0;
	if (magic == Magic("TEX0"))
		return ItemKind::TEX0;
	if (magic == Magic("PLT0"))
		return ItemKind::PLT0;
	if (magic == Magic("CHR0"))
		return ItemKind::CHR0;
	if (magic == Magic("SHP0"))
		return ItemKind::SHP0;
	return ItemKind::Other;
}

ScanResult ReadBRRES(ByteView& file, std::string_view path, OpenArchives& items, ItemTree* tree,
	const TreeOptions& options)
{
	ScanResult result;
	DirectoryWalk walk{file, path, items, tree, options, result, file.size() / kEntrySize, {}};
	std::size_t from = 0;
	for (std::size_t start; (start = FindMagic(file.bytes(), from)) != std::string::npos;) {
		++result.archives;
		walk.WalkArchive(start);
		from = walk.ResumeAfter(start);
	}
	if (file.damaged() && !result.damaged)
		walk.Damage("the file ends inside an archive header");
	return result;
}

} // namespace zentarra
