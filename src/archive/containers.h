// The game containers BRRES archives travel in: Yaz0-compressed files
// (".szs") and U8 archives (".arc", ".u8"), which may nest.
//
// A file is expanded once when it is read: the archives it holds, each
// decompressed and cut out of its containers, are laid one after the other
// in one buffer. The archive directory and every reader of an entry then
// work on that buffer with plain offsets, as they do on a loose file.
#pragma once

#include "base/file_io.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zentarra {

// The largest file a container may expand to, and the deepest nesting followed.
inline constexpr std::size_t kMaxUnpackedSize = std::size_t(512) << 20;
inline constexpr int kMaxContainerDepth = 4;

bool IsYaz0(std::span<const std::uint8_t> bytes);
bool IsU8(std::span<const std::uint8_t> bytes);

struct Yaz0Result {
	std::vector<std::uint8_t> bytes; // what decoded, the rest zero, when damaged
	std::string error;               // empty when whole
};

// Decodes a Yaz0 stream: the 16-byte header ("Yaz0", the size decoded), then
// groups of a code byte and eight chunks, each a literal byte (bit set) or a
// back-reference of 2 or 3 bytes. A size above kMaxUnpackedSize, or above what
// the stream's length could encode, is refused before anything is allocated.
Yaz0Result DecodeYaz0(std::span<const std::uint8_t> stream);

struct U8File {
	std::string path; // "folder/name", from the root's children on
	std::size_t offset = 0;
	std::size_t size = 0;
};

struct U8Listing {
	std::vector<U8File> files; // in node order
	std::string error;         // the first damage found; what precedes it is listed
};

// The files of a U8 archive. Nodes whose ranges overlap, run past the table
// or name text outside the name table, and files outside the buffer, are
// damage: the listing stops there.
U8Listing ListU8(std::span<const std::uint8_t> bytes);

// One archive of an expanded file: where it lies in the buffer and where it
// came from.
struct ArchiveSegment {
	std::size_t offset = 0;
	std::size_t size = 0;
	std::string inner; // "course_model.brres", "a.szs/b/c.brres"; empty for the file itself
};

struct ExpandedFile {
	std::vector<std::uint8_t> bytes;
	std::vector<ArchiveSegment> segments;
	std::vector<std::string> warnings; // damage met inside the containers
};

// A file as the archive directory sees it: a loose file stays as it is (one
// segment); a Yaz0 file is decompressed; a U8 archive gives each of its
// files (decompressed, and followed into nested containers up to
// kMaxContainerDepth) that holds a "bres" magic as a segment of its own.
ExpandedFile ExpandFile(std::vector<std::uint8_t> file);

// The file at `path` as every reader of an entry sees it: ExpandFile's
// buffer, read once. The status is ReadWholeFile's.
FileBytes ReadArchiveFile(const std::string& path);

// The files of a container as `unpack` writes them: every file of a U8
// archive under its path, Yaz0 ones decompressed (a Yaz0 file holding a U8
// archive gives that archive's files); or the decompressed file of a plain
// Yaz0 stream under `name`. Empty for a file that is neither.
struct UnpackedFile {
	std::string path;
	std::vector<std::uint8_t> bytes;
};
std::vector<UnpackedFile> UnpackContainer(std::span<const std::uint8_t> file, const std::string& name,
	std::vector<std::string>& warnings);

} // namespace zentarra
