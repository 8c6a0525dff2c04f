// Opening archive files: the work behind the open command and the command
// line, with the messages the fronts show for it.
#pragma once

#include "archive/brres_directory.h"
#include "archive/containers.h"

#include <optional>
#include <string>
#include <string_view>

namespace zentarra {

inline constexpr std::string_view kCantOpenFile = "Error: can't open file";
inline constexpr std::string_view kNotValidBrres = "Error: not a valid BRRES file";
inline constexpr std::string_view kOneSelectedInvalid = "Warning: one of the selected files is not a valid BRRES file";
inline constexpr std::string_view kNoneSelectedValid = "Error: none of the selected files are valid BRRES files";
inline constexpr std::string_view kSomeSelectedInvalid = "Warning: some of the selected files are not valid BRRES files";

enum class MessageIcon { Information, Warning, Error };

// A message box for the user: every one of this kind has the caption "ERROR".
struct UserMessage {
	MessageIcon icon = MessageIcon::Error;
	std::string text;
};

enum class OpenStatus {
	Opened,     // at least one archive found
	CannotOpen, // the file could not be read (missing, unreadable, a directory)
	NotBrres,   // read, but no archive in it
};

struct OpenResult {
	OpenStatus status = OpenStatus::CannotOpen;
	ScanResult scan;
	// Set when the file failed or is damaged: the message to show for it.
	std::optional<UserMessage> message;
};

// Reads the file at `path` and records the archives in it (ReadBRRES), those
// inside its containers too. A path that names no file but a file and then a
// path inside it ("course.szs/course_model.brres", as the files panel shows
// an archive from a container) records that one archive alone.
OpenResult OpenArchiveFile(const std::string& path, OpenArchives& items, ItemTree* tree, const TreeOptions& options = {});

// The file and the path inside it of such a path; nothing when no leading
// part of it is a file.
struct ContainerPath {
	std::string file;
	std::string inner;
};
std::optional<ContainerPath> SplitContainerPath(const std::string& path);

// OpenArchiveFile on a file already read: `path` is the file's, `only` an
// inner path to keep alone (empty: every archive). Fills `bytes` with the
// buffer the items' offsets point into.
OpenResult OpenArchiveBytes(std::vector<std::uint8_t> file, const std::string& path, const std::string& only,
	OpenArchives& items, ItemTree* tree, const TreeOptions& options, std::vector<std::uint8_t>* bytes = nullptr);

// The report after several files were chosen at once and `failures` of them
// did not open as archives; none when all did.
std::optional<UserMessage> MessageForOpenedFiles(int failures, int files);

// The archive path in a command line: the text between the quotes when it
// starts with a double quote. Paths are not cut: a cut path names another file.
std::string ArchivePathFromCommandLine(std::string_view commandLine);

} // namespace zentarra
