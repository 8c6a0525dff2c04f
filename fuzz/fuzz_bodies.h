// What each fuzz target does with one input: the input is a whole file, and
// the body walks it as the program does, from the bytes to the output files
// (written into memory). Shared by the libFuzzer programs and the regression
// test that replays saved inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zentarra::fuzz {

// The archive directory: the scan, the item list and its lookups.
void FuzzArchive(const std::uint8_t* data, std::size_t size);

// Every MDL0 entry: read to the bind pose, recalculated, bounded, exported.
void FuzzModel(const std::uint8_t* data, std::size_t size);

// Every TEX0 entry with its palette search, then PNG and TGA, and the
// viewer's image operations.
void FuzzTexture(const std::uint8_t* data, std::size_t size);

// Every CHR0 entry read on its own and exported as PSA; every CHR0 and SHP0
// entry loaded onto a small fixed model, played a few steps and exported as
// PSA and MD5.
void FuzzAnimation(const std::uint8_t* data, std::size_t size);

// A pose file applied to a small fixed model.
void FuzzPose(const std::uint8_t* data, std::size_t size);

// The game containers: Yaz0 and U8 (nested), the archives inside listed as
// the open command lists them, and the files unpack would write.
void FuzzContainers(const std::uint8_t* data, std::size_t size);

using FuzzBody = void (*)(const std::uint8_t*, std::size_t);

struct FuzzTarget {
	std::string_view name; // the program is fuzz-<name>, its inputs folder <name>
	FuzzBody body;
};

inline constexpr FuzzTarget kFuzzTargets[] = {
	{"archive", FuzzArchive},
	{"model", FuzzModel},
	{"texture", FuzzTexture},
	{"animation", FuzzAnimation},
	{"pose", FuzzPose},
	{"containers", FuzzContainers},
};

} // namespace zentarra::fuzz
