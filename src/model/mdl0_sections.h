// Pieces every MDL0 section reader shares: index groups, names, and the notes
// on what had to be left out or mended.
//
// An index group: its size, its entry count at +4, a reference entry, then
// from +0x18 one 16-byte entry per item with the name (+8) and the data (+12),
// both relative to the group.
#pragma once

#include "base/byte_view.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentarra::mdl0 {

inline constexpr std::size_t kDefinitionsSlot = 0x10; // header: definitions group offset

// What had to be left out or mended: the first few problems in words, then a count.
class DamageNotes {
public:
	void Note(std::string what);
	bool any() const { return !notes_.empty(); }
	// The notes joined by "; ", then "; and N <more>" for those only counted.
	std::string Text(std::string_view more = "more problems of this kind") const;
	// Puts the text into `damage` and marks the file when there is any;
	// true when the section was whole.
	bool Report(ByteView& file, std::string& damage) const
	{
		damage = Text();
		if (any())
			file.markDamaged();
		return !any();
	}

private:
	std::vector<std::string> notes_;
	std::size_t more_ = 0;
};

std::string Hex(std::size_t value);

inline std::uint8_t R8(ByteView& view, std::size_t at)
{
	view.seek(at);
	return R8next(view);
}

// Entries of the index group at `group` that lie inside the file; `what`
// names the group in the notes ("bones group").
std::size_t GroupEntries(ByteView& view, std::size_t group, std::string_view what, DamageNotes& notes);

// Absolute offsets of entry i's data and name.
std::size_t EntryData(ByteView& view, std::size_t group, std::size_t i);
std::size_t EntryNameAt(ByteView& view, std::size_t group, std::size_t i);

// The name at `at`; one that runs outside the file keeps what it has and is noted.
std::string NameAt(ByteView& view, std::size_t at, DamageNotes& notes);

inline std::string EntryName(ByteView& view, std::size_t group, std::size_t i, DamageNotes& notes)
{
	return NameAt(view, EntryNameAt(view, group, i), notes);
}

} // namespace zentarra::mdl0
