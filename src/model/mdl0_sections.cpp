#include "model/mdl0_sections.h"

#include <cstdio>
#include <utility>

namespace zentarra::mdl0 {

namespace {

constexpr std::size_t kFirstEntry = 0x18; // behind the group's size, count and reference entry
constexpr std::size_t kEntrySize = 16;
constexpr std::size_t kMaxNotes = 4;

} // namespace

void DamageNotes::Note(std::string what)
{
	if (notes_.size() < kMaxNotes)
		notes_.push_back(std::move(what));
	else
		++more_;
}

std::string DamageNotes::Text(std::string_view more) const
{
	std::string text;
	for (const std::string& note : notes_)
		text += (text.empty() ? "" : "; ") + note;
	if (more_)
		text += "; and " + std::to_string(more_) + " " + std::string(more);
	return text;
}

std::string Hex(std::size_t value)
{
	char text[24];
	std::snprintf(text, sizeof text, "0x%zx", value);
	return text;
}

std::size_t GroupEntries(ByteView& view, std::size_t group, std::string_view what, DamageNotes& notes)
{
	if (!view.contains(group, kFirstEntry)) {
		notes.Note("the " + std::string(what) + " lies outside the file (" + Hex(group) + ")");
		return 0;
	}
	const std::uint32_t count = R32(view, group + 4);
	// a count no file could hold must not size anything
	const std::size_t fit = view.remaining(group + kFirstEntry) / kEntrySize;
	if (count > fit) {
		notes.Note("the " + std::string(what) + " counts " + std::to_string(count) + " entries, but only " +
			std::to_string(fit) + " fit in the file");
		return fit;
	}
	return count;
}

std::size_t EntryData(ByteView& view, std::size_t group, std::size_t i)
{
	return group + R32(view, group + kFirstEntry + 12 + kEntrySize * i);
}

std::size_t EntryNameAt(ByteView& view, std::size_t group, std::size_t i)
{
	return group + R32(view, group + kFirstEntry + 8 + kEntrySize * i);
}

std::string NameAt(ByteView& view, std::size_t at, DamageNotes& notes)
{
	ByteView name(view.bytes()); // a view of its own, so its damage mark is this name's
	name.seek(at);
	std::string text = ScanName(name);
	if (name.damaged())
		notes.Note("the name at " + Hex(at) + " runs outside the file");
	return text;
}

} // namespace zentarra::mdl0
