// Big-endian readers over a file held in memory.
//
// Every archive format we read stores its numbers big-endian. A ByteView is a
// window on the whole file plus a cursor, like an open stream: the absolute
// readers (R32, R16, RFloat) seek first, the "next" readers read at the cursor,
// and both leave the cursor just behind what they read.
//
// No reader ever touches memory outside the view. A read that does not fit
// yields 0, still moves the cursor by its width and marks the view damaged;
// the mark is sticky, so a parser reads many fields and checks once.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zentarra {

class ByteView {
public:
	ByteView() = default;
	explicit ByteView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

	std::span<const std::uint8_t> bytes() const { return bytes_; }
	std::size_t size() const { return bytes_.size(); }
	std::size_t tell() const { return pos_; }
	// Any position may be set; reads past the end then fail as described above.
	void seek(std::size_t at) { pos_ = at; }

	bool damaged() const { return damaged_; }
	void markDamaged() { damaged_ = true; }

	// True when length bytes starting at `at` lie inside the view (no wrap-around).
	bool contains(std::size_t at, std::size_t length) const
	{
		return at <= bytes_.size() && bytes_.size() - at >= length;
	}
	// Bytes from `at` to the end of the view; 0 when `at` is past the end.
	std::size_t remaining(std::size_t at) const { return at < bytes_.size() ? bytes_.size() - at : 0; }

	// Returns the next `length` bytes and moves past them, or nullptr (and the
	// view is damaged) when they are not all inside the view.
	const std::uint8_t* take(std::size_t length)
	{
		const std::size_t at = pos_;
		pos_ = (SIZE_MAX - at < length) ? SIZE_MAX : at + length;
		if (!contains(at, length)) {
			damaged_ = true;
			return nullptr;
		}
		return bytes_.data() + at;
	}

private:
	std::span<const std::uint8_t> bytes_;
	std::size_t pos_ = 0;
	bool damaged_ = false;
};

// One byte at the cursor (formats with byte fields read them directly).
inline std::uint8_t R8next(ByteView& file)
{
	const std::uint8_t* p = file.take(1);
	return p ? p[0] : 0;
}

inline std::uint32_t R32next(ByteView& file)
{
	const std::uint8_t* p = file.take(4);
	if (!p)
		return 0;
	return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// Zero-extended: 0 to 16,777,215.
inline std::uint32_t R24next(ByteView& file)
{
	const std::uint8_t* p = file.take(3);
	if (!p)
		return 0;
	return std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
}

// Zero-extended: bytes FF FE give 65534; callers wanting a signed value narrow it.
inline std::uint16_t R16next(ByteView& file)
{
	const std::uint8_t* p = file.take(2);
	if (!p)
		return 0;
	return std::uint16_t(p[0] << 8 | p[1]);
}

// The bits as stored, reinterpreted: no conversion, no rounding.
inline float RFloatnext(ByteView& file)
{
	return std::bit_cast<float>(R32next(file));
}

inline std::uint32_t R32(ByteView& file, std::size_t offset)
{
	file.seek(offset);
	return R32next(file);
}

inline std::uint16_t R16(ByteView& file, std::size_t offset)
{
	file.seek(offset);
	return R16next(file);
}

inline float RFloat(ByteView& file, std::size_t offset)
{
	file.seek(offset);
	return RFloatnext(file);
}

// Longest name kept; the original records used 256-byte buffers.
inline constexpr std::size_t kMaxNameLength = 255;

// Reads the NUL-terminated name at the cursor, keeping at most 255 characters.
// Stops behind the NUL; a longer name is cut and the cursor left inside it.
// A name that runs into the end of the view keeps what it has and marks the
// view damaged.
std::string ScanName(ByteView& file);

} // namespace zentarra
