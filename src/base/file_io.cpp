#include "base/file_io.h"

#include <atomic>
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
	// A name of our own beside the target, created exclusively, so the usual
	// permissions apply (umask) and no other writer shares it.
	static std::atomic<unsigned> serial{0};
	std::string name;
	Descriptor file;
	for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
		name = path.string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
		file.fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
		if (file.fd < 0 && errno != EEXIST)
			return false;
	}
	if (file.fd < 0)
		return false;

	// No fsync: the rename already keeps a half-written file from ever
	// showing under the target's name, to this and every other program, and
	// flushing each file to the disk would cost a batch export most of its time.
	const bool written = WriteAll(file.fd, bytes);
	const bool closed = ::close(file.fd) == 0;
	file.fd = -1;
	if (!written || !closed || ::rename(name.c_str(), path.c_str()) != 0) {
		::unlink(name.c_str());
		return false;
	}
	return true;
}

} // namespace zentarra
