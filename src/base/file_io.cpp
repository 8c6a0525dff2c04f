#include "base/file_io.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zentarra {

namespace {

// Closes a descriptor on every way out of a function.
struct Descriptor {
	int fd = -1;
	~Descriptor()
	{
		if (fd >= 0)
			::close(fd);
	}
};

bool ReadAll(int fd, std::vector<std::uint8_t>& bytes)
{
	std::size_t used = 0;
	for (;;) {
		if (used == bytes.size())
			bytes.resize(bytes.size() < 32768 ? 65536 : bytes.size() * 2);
		const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
		if (got < 0 && errno == EINTR)
			continue;
		if (got < 0)
			return false;
		if (got == 0)
			break;
		used += std::size_t(got);
	}
	bytes.resize(used);
	return true;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes)
{
	while (!bytes.empty()) {
		const ssize_t put = ::write(fd, bytes.data(), bytes.size());
		if (put < 0 && errno == EINTR)
			continue;
		if (put <= 0)
			return false;
		bytes = bytes.subspan(std::size_t(put));
	}
	return true;
}

} // namespace

FileBytes ReadWholeFile(const std::filesystem::path& path)
{
	FileBytes result;
	Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
	if (file.fd < 0)
		return result;
	struct stat info {};
	if (::fstat(file.fd, &info) != 0 || S_ISDIR(info.st_mode))
		return result;
	if (S_ISREG(info.st_mode))
		result.bytes.resize(std::size_t(info.st_size) + 1); // +1: the end shows as a short read
	if (!ReadAll(file.fd, result.bytes))
		return FileBytes{};
	result.status = ReadStatus::Ok;
	return result;
}

bool WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
	std::filesystem::path temporary = path;
	temporary += ".tmp-XXXXXX";
	std::string name = temporary.string();
	Descriptor file{::mkstemp(name.data())};
	if (file.fd < 0)
		return false;
	// mkstemp creates 0600; give the file the usual permissions
	const mode_t mask = ::umask(0);
	::umask(mask);
	::fchmod(file.fd, 0666 & ~mask);

	const bool written = WriteAll(file.fd, bytes) && ::fsync(file.fd) == 0;
	const bool closed = ::close(file.fd) == 0;
	file.fd = -1;
	if (!written || !closed || ::rename(name.c_str(), path.c_str()) != 0) {
		::unlink(name.c_str());
		return false;
	}
	return true;
}

} // namespace zentarra
