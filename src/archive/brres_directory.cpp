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
constexpr std::size_t kNotFound = std::size_t(-1);

constexpr std::uint32_t Magic(const char (&text)[5])
{
	return std::uint32_t(std::uint8_t(text[0])) << 24 | std::uint32_t(std::uint8_t(text[1])) << 16 |
		std::uint32_t(std::uint8_t(text[2])) << 8 | std::uint8_t(text[3]);
}

std::string Hex(std::size_t value)
{
	char text[24];
	std::snprintf(text, sizeof text, "0x%zx", value);
	return text;
}

std::string Quoted(std::string_view name)
{
	return "\"" + std::string(name) + "\"";
}

// Offset of the first "bres" at or after `from`, or kNotFound. A partial match
// never hides a magic starting inside it ("bbres" holds one at offset 1).
std::size_t FindMagic(std::span<const std::uint8_t> bytes, std::size_t from)
{
	if (from >= bytes.size())
		return kNotFound;
	const void* hit = ::memmem(bytes.data() + from, bytes.size() - from, "bres", 4);
	return hit ? std::size_t(static_cast<const std::uint8_t*>(hit) - bytes.data()) : kNotFound;
}

// Walks the directories of every archive of one file into the item list.
class DirectoryWalk {
public:
	DirectoryWalk(ByteView& file, std::string_view path, OpenArchives& items, ItemTree* tree, const TreeOptions& options,
		std::size_t base, std::string_view inner)
		: file_(file), path_(path), items_(items), tree_(tree), options_(options), base_(base), inner_(inner),
		  // Every directory entry fills 16 bytes of its own in a sound file, so
		  // the scan never creates more entries than that: groups that overlap
		  // or repeat cannot multiply the work.
		  entryBudget_(file.size() / kEntrySize)
	{
	}

	ScanResult Run()
	{
		for (std::size_t from = 0, start; (start = FindMagic(file_.bytes(), from)) != kNotFound;) {
			++result_.archives;
			WalkArchive(start);
			from = ResumeAfter(start);
		}
		if (file_.damaged() && !result_.damaged)
			Damage("the file ends inside an archive header");
		return result_;
	}

private:
	void Damage(std::string what)
	{
		if (!result_.damaged)
			result_.damage = std::move(what);
		result_.damaged = true;
	}

	int AddItem(std::string_view name, std::size_t offset, ItemKind kind, int archive, int parent, std::string_view text)
	{
		if (tree_)
			tree_->Tree_AddItem(items_.nextId(), parent, text);
		return items_.CreateItem(path_, name, base_ + offset, kind, archive, inner_, base_);
	}

	std::string NameAt(std::size_t at)
	{
		ByteView view(file_.bytes()); // a view of its own, so its damage mark is this name's
		view.seek(at);
		std::string name = ScanName(view);
		if (view.damaged())
			Damage(file_.contains(at, 1) ? "the name at " + Hex(at) + " runs into the end of the file"
			                             : "a name points outside the file (" + Hex(at) + ")");
		return name;
	}

	// How many of the group's stated entries may be walked.
	std::size_t EntriesToWalk(std::size_t group, std::string_view where)
	{
		const std::uint32_t count = R32(file_, group + 4);
		std::size_t walk = count;
		const std::size_t fit = file_.remaining(group + kGroupHeaderSize) / kEntrySize;
		if (walk > fit) {
			Damage(std::string(where) + " counts " + std::to_string(count) + " entries, but only " +
				std::to_string(fit) + " fit in the file");
			walk = fit;
		}
		if (walk > entryBudget_) {
			Damage(std::string(where) + " repeats entries of other groups");
			walk = entryBudget_;
		}
		entryBudget_ -= walk;
		return walk;
	}

	// A folder's index group opens with a reference entry whose id is FFFF, and
	// its stated size covers exactly its entries. A root entry showing neither
	// is a sub-file stored beside the folders (some tools put text files there).
	bool LooksLikeIndexGroup(std::size_t at)
	{
		if (!file_.contains(at, kGroupHeaderSize))
			return false;
		const std::uint64_t size = R32(file_, at);
		const std::uint64_t count = R32(file_, at + 4);
		return R16(file_, at + 8) == 0xFFFF || size == kGroupHeaderSize + kEntrySize * count;
	}

	void AddEntry(const std::string& name, std::size_t at, int archive, int parent, std::string_view where)
	{
		if (!file_.contains(at, 4)) {
			Damage("entry " + Quoted(name) + " of " + std::string(where) + " points outside the file (" + Hex(at) + ")");
			return;
		}
		AddItem(name, at, KindFromMagic(R32(file_, at)), archive, parent, name);
	}

	// Walks the entries of the index group at `group`. Entries of the root are
	// folders; entries of a folder are sub-files, or now and then a folder
	// nested in it (some tools write empty ones). `open` holds the groups being
	// walked, so a group pointing back at one of them cannot loop.
	void WalkGroup(std::size_t group, int parent, int archive, std::string_view where, std::vector<std::size_t>& open)
	{
		const std::size_t count = EntriesToWalk(group, where);
		open.push_back(group);
		for (std::size_t i = 0; i < count; ++i) {
			const std::size_t entry = group + kGroupHeaderSize + kEntrySize * i;
			const std::string name = NameAt(group + R32(file_, entry + 8));
			const std::size_t target = group + R32(file_, entry + 12);
			if (!LooksLikeIndexGroup(target)) {
				AddEntry(name, target, archive, parent, where);
				continue;
			}
			if (std::find(open.begin(), open.end(), target) != open.end() || open.size() > kMaxFolderDepth) {
				Damage("folder " + Quoted(name) + " of " + std::string(where) + " loops back into the directory");
				continue;
			}
			const int folder = AddItem(name, target, ItemKind::Folder, archive, parent, name);
			folders_.push_back(folder);
			WalkGroup(target, folder, archive, "folder " + Quoted(name), open);
		}
		open.pop_back();
	}

	void WalkArchive(std::size_t start)
	{
		const int archive = items_.nextId();
		AddItem(inner_.empty() ? std::string(path_) : std::string(path_) + "/" + std::string(inner_), start,
			ItemKind::Archive, archive, -1, ArchiveText(path_, inner_, options_.fullPath));

		const std::size_t root = start + kRootGroup;
		if (!file_.contains(root, kGroupHeaderSize)) {
			Damage("the archive at " + Hex(start) + " ends before its root group");
			return;
		}
		folders_.clear();
		std::vector<std::size_t> open;
		WalkGroup(root, archive, archive, "the root of the archive at " + Hex(start), open);

		if (options_.autoExpand && tree_) {
			tree_->Tree_Expand(archive);
			for (const int folder : folders_)
				tree_->Tree_Expand(folder);
		}
	}

	// Where the search for the next archive goes on: 16 bytes before this
	// archive's stated end, but always past the magic just handled, so a
	// length below 20 cannot send the scan back onto it.
	std::size_t ResumeAfter(std::size_t start)
	{
		const std::uint32_t length = R32(file_, start + 8);
		if (length < 20 || length > file_.remaining(start)) {
			Damage("the archive at " + Hex(start) + " states a length of " + std::to_string(length) + " bytes, but " +
				std::to_string(file_.remaining(start)) + " remain in the file");
			return start + 4;
		}
		return start + length - 16;
	}

	ByteView& file_;
	std::string_view path_;
	OpenArchives& items_;
	ItemTree* tree_;
	const TreeOptions& options_;
	std::size_t base_;
	std::string_view inner_;
	std::size_t entryBudget_;
	std::vector<int> folders_; // of the archive being walked, for expanding
	ScanResult result_;
};

} // namespace

ItemKind KindFromMagic(std::uint32_t magic)
{
	switch (magic) {
	case Magic("MDL0"): return ItemKind::MDL0;
	case Magic("TEX0"): return ItemKind::TEX0;
	case Magic("PLT0"): return ItemKind::PLT0;
	case Magic("CHR0"): return ItemKind::CHR0;
	case Magic("SHP0"): return ItemKind::SHP0;
	default: return ItemKind::Other;
	}
}

ScanResult ReadBRRES(ByteView& file, std::string_view path, OpenArchives& items, ItemTree* tree,
	const TreeOptions& options, std::size_t base, std::string_view inner)
{
	return DirectoryWalk(file, path, items, tree, options, base, inner).Run();
}

} // namespace zentarra
