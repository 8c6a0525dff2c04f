#include "archive/containers.h"

#include <algorithm>
#include <cstring>

namespace zentarra {

namespace {

constexpr std::size_t kYaz0Header = 16;
constexpr std::size_t kU8Header = 0x20;
constexpr std::size_t kU8Node = 12;

std::uint32_t Be32(const std::uint8_t* p)
{
	return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

bool HasBresMagic(std::span<const std::uint8_t> bytes)
{
	static constexpr std::uint8_t magic[] = {'b', 'r', 'e', 's'};
	return std::search(bytes.begin(), bytes.end(), std::begin(magic), std::end(magic)) != bytes.end();
}

std::string Hex(std::size_t value)
{
	static constexpr char digits[] = "0123456789abcdef";
	std::string text;
	do {
		text.insert(text.begin(), digits[value & 15]);
		value >>= 4;
	} while (value);
	return "0x" + text;
}

} // namespace

bool IsYaz0(std::span<const std::uint8_t> bytes)
{
	return bytes.size() >= 4 && std::memcmp(bytes.data(), "Yaz0", 4) == 0;
}

bool IsU8(std::span<const std::uint8_t> bytes)
{
	return bytes.size() >= 4 && Be32(bytes.data()) == 0x55AA382D;
}

Yaz0Result DecodeYaz0(std::span<const std::uint8_t> stream)
{
	Yaz0Result result;
	if (stream.size() < kYaz0Header || !IsYaz0(stream)) {
		result.error = "the Yaz0 header is cut short";
		return result;
	}
	const std::size_t size = Be32(stream.data() + 4);
	// a group of 25 bytes (a code byte, eight 3-byte references) yields at most 8 x 273
	const std::size_t body = stream.size() - kYaz0Header;
	const std::size_t encodable = body / 25 * 2184 + (body % 25) * 273;
	if (size > kMaxUnpackedSize) {
		result.error = "its stated size (" + std::to_string(size) + " bytes) is above the 512 MiB this program accepts";
		return result;
	}
	if (size > encodable) {
		result.error = "its stated size (" + std::to_string(size) + " bytes) is more than its " +
			std::to_string(body) + " bytes could encode";
		return result;
	}
	result.bytes.resize(size);
	std::uint8_t* out = result.bytes.data();
	std::size_t o = 0;
	const std::uint8_t* in = stream.data();
	std::size_t i = kYaz0Header;
	const std::size_t end = stream.size();
	while (o < size) {
		if (i >= end) {
			result.error = "the stream ends after " + std::to_string(o) + " of its " + std::to_string(size) + " bytes";
			return result;
		}
		unsigned code = in[i++];
		for (int chunk = 0; chunk < 8 && o < size; ++chunk, code <<= 1) {
			if (code & 0x80) {
				if (i >= end)
					break;
				out[o++] = in[i++];
				continue;
			}
			if (i + 2 > end) {
				i = end;
				break;
			}
			const std::size_t distance = ((std::size_t(in[i]) & 0x0F) << 8 | in[i + 1]) + 1;
			std::size_t length = in[i] >> 4;
			i += 2;
			if (length == 0) {
				if (i >= end) {
					i = end;
					break;
				}
				length = std::size_t(in[i++]) + 0x12;
			} else {
				length += 2;
			}
			if (distance > o) {
				result.error = "a back-reference at " + Hex(i) + " reaches " + std::to_string(distance) +
					" bytes back from byte " + std::to_string(o);
				return result;
			}
			if (length > size - o) {
				result.error = "a back-reference at " + Hex(i) + " runs past the stated size";
				return result;
			}
			const std::uint8_t* from = out + o - distance;
			if (distance >= length) {
				std::memcpy(out + o, from, length);
			} else {
				for (std::size_t k = 0; k < length; ++k) // overlapping: repeats what it just wrote
					out[o + k] = from[k];
			}
			o += length;
		}
	}
	return result;
}

U8Listing ListU8(std::span<const std::uint8_t> bytes)
{
	U8Listing listing;
	if (bytes.size() < kU8Header || !IsU8(bytes)) {
		listing.error = "the U8 header is cut short";
		return listing;
	}
	const std::size_t root = Be32(bytes.data() + 4);
	if (root > bytes.size() || bytes.size() - root < kU8Node) {
		listing.error = "its node table lies outside the file";
		return listing;
	}
	const std::size_t count = Be32(bytes.data() + root + 8); // the root directory's end index
	if (count == 0 || count > (bytes.size() - root) / kU8Node) {
		listing.error = "its node table (" + std::to_string(count) + " nodes) runs past the file";
		return listing;
	}
	const std::size_t names = root + count * kU8Node;
	const std::span<const std::uint8_t> table = bytes.subspan(names);
	const auto name = [&](std::size_t node, std::string& text) {
		const std::size_t at = Be32(bytes.data() + root + node * kU8Node) & 0xFFFFFF;
		if (at >= table.size())
			return false;
		const auto* start = table.data() + at;
		const auto* stop = static_cast<const std::uint8_t*>(std::memchr(start, 0, table.size() - at));
		if (!stop)
			return false;
		text.assign(reinterpret_cast<const char*>(start), std::size_t(stop - start));
		return true;
	};

	struct Open {
		std::size_t end;
		std::string prefix;
	};
	std::vector<Open> open = {{count, ""}};
	for (std::size_t node = 1; node < count; ++node) {
		while (open.size() > 1 && node >= open.back().end)
			open.pop_back();
		const std::uint8_t* record = bytes.data() + root + node * kU8Node;
		std::string text;
		if (!name(node, text)) {
			listing.error = "node " + std::to_string(node) + " names text outside the name table";
			return listing;
		}
		const std::size_t value = Be32(record + 4);
		const std::size_t size = Be32(record + 8);
		if (record[0] == 1) {
			// a directory holds the nodes up to its end index, inside its parent's range
			if (size <= node || size > open.back().end) {
				listing.error = "directory \"" + text + "\" (node " + std::to_string(node) + ") ends at node " +
					std::to_string(size) + ", outside its parent's nodes";
				return listing;
			}
			open.push_back({size, open.back().prefix + text + "/"});
			continue;
		}
		if (value > bytes.size() || size > bytes.size() - value) {
			listing.error = "file \"" + open.back().prefix + text + "\" lies outside the archive";
			return listing;
		}
		listing.files.push_back({open.back().prefix + text, value, size});
	}
	return listing;
}

namespace {

struct Expander {
	ExpandedFile& out;

	void Add(std::span<const std::uint8_t> bytes, const std::string& inner)
	{
		if (out.bytes.size() + bytes.size() > kMaxUnpackedSize) {
			out.warnings.push_back("\"" + inner + "\" is left out: the container expands beyond 512 MiB");
			return;
		}
		out.segments.push_back({out.bytes.size(), bytes.size(), inner});
		out.bytes.insert(out.bytes.end(), bytes.begin(), bytes.end());
	}

	// A file inside a container, known by its path there.
	void Visit(std::span<const std::uint8_t> bytes, const std::string& inner, int depth)
	{
		std::vector<std::uint8_t> decoded;
		if (IsYaz0(bytes)) {
			Yaz0Result yaz0 = DecodeYaz0(bytes);
			if (!yaz0.error.empty())
				out.warnings.push_back("\"" + inner + "\" is damaged: " + yaz0.error);
			decoded = std::move(yaz0.bytes);
			bytes = decoded;
		}
		if (IsU8(bytes)) {
			if (depth >= kMaxContainerDepth) {
				out.warnings.push_back("\"" + inner + "\" is left out: containers nest deeper than " +
					std::to_string(kMaxContainerDepth));
				return;
			}
			const U8Listing listing = ListU8(bytes);
			if (!listing.error.empty())
				out.warnings.push_back("the U8 archive \"" + inner + "\" is damaged: " + listing.error);
			for (const U8File& file : listing.files)
				Visit(bytes.subspan(file.offset, file.size), inner + "/" + file.path, depth + 1);
			return;
		}
		if (HasBresMagic(bytes))
			Add(bytes, inner);
	}
};

} // namespace

ExpandedFile ExpandFile(std::vector<std::uint8_t> file)
{
	ExpandedFile expanded;
	if (IsYaz0(file)) {
		Yaz0Result yaz0 = DecodeYaz0(file);
		if (!yaz0.error.empty())
			expanded.warnings.push_back("the Yaz0 stream is damaged: " + yaz0.error);
		file = std::move(yaz0.bytes);
	}
	if (!IsU8(file)) {
		expanded.segments.push_back({0, file.size(), ""});
		expanded.bytes = std::move(file);
		return expanded;
	}
	const U8Listing listing = ListU8(file);
	if (!listing.error.empty())
		expanded.warnings.push_back("the U8 archive is damaged: " + listing.error);
	Expander expander{expanded};
	const std::span<const std::uint8_t> bytes(file);
	for (const U8File& inner : listing.files)
		expander.Visit(bytes.subspan(inner.offset, inner.size), inner.path, 1);
	return expanded;
}

FileBytes ReadArchiveFile(const std::string& path)
{
	FileBytes file = ReadWholeFile(path);
	if (file.status == ReadStatus::Ok && (IsYaz0(file.bytes) || IsU8(file.bytes)))
		file.bytes = ExpandFile(std::move(file.bytes)).bytes;
	return file;
}

std::vector<UnpackedFile> UnpackContainer(std::span<const std::uint8_t> file, const std::string& name,
	std::vector<std::string>& warnings)
{
	std::vector<UnpackedFile> files;
	std::vector<std::uint8_t> decoded;
	const bool compressed = IsYaz0(file);
	if (compressed) {
		Yaz0Result yaz0 = DecodeYaz0(file);
		if (!yaz0.error.empty())
			warnings.push_back("the Yaz0 stream is damaged: " + yaz0.error);
		decoded = std::move(yaz0.bytes);
		file = decoded;
	}
	if (!IsU8(file)) {
		if (compressed)
			files.push_back({name, std::move(decoded)});
		return files;
	}
	const U8Listing listing = ListU8(file);
	if (!listing.error.empty())
		warnings.push_back("the U8 archive is damaged: " + listing.error);
	for (const U8File& inner : listing.files) {
		const std::span<const std::uint8_t> bytes = file.subspan(inner.offset, inner.size);
		if (!IsYaz0(bytes)) {
			files.push_back({inner.path, {bytes.begin(), bytes.end()}});
			continue;
		}
		Yaz0Result yaz0 = DecodeYaz0(bytes);
		if (!yaz0.error.empty())
			warnings.push_back("\"" + inner.path + "\" is damaged: " + yaz0.error);
		files.push_back({inner.path, std::move(yaz0.bytes)});
	}
	return files;
}

} // namespace zentarra
