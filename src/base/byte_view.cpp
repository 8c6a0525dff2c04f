#include "base/byte_view.h"

#include <algorithm>
#include <cstring>

namespace zentarra {

std::string ScanName(ByteView& file)
{
	const std::size_t at = file.tell();
	const std::size_t available = file.remaining(at);
	const std::size_t window = std::min(available, kMaxNameLength);
	if (window == 0) {
		// at or past the end: nothing to read
		file.markDamaged();
		return {};
	}
	const std::uint8_t* start = file.bytes().data() + at;
	const void* nul = std::memchr(start, 0, window);

	if (nul) {
		const auto length = std::size_t(static_cast<const std::uint8_t*>(nul) - start);
		file.seek(at + length + 1);
		return std::string(reinterpret_cast<const char*>(start), length);
	}
	if (window == kMaxNameLength) {
		// too long: keep 255 characters, leave the cursor inside the name
		file.seek(at + window);
		return std::string(reinterpret_cast<const char*>(start), window);
	}
	// ran into the end of the file before a terminator
	file.seek(at + window);
	file.markDamaged();
	return std::string(reinterpret_cast<const char*>(start), window);
}

} // namespace zentarra
