#pragma once
// Small operations that the encrypt, decrypt and re-encrypt workers share.
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace kestrove::conversion {

// `count` characters of "ABCDEF0123456789" from the runtime's generator
// seeded with the current second (the same generator on both builds).
std::string random_hex_text(std::size_t count);
// The same, from a given seed; the generator is the Microsoft C runtime's.
std::string random_hex_text(std::size_t count, std::uint32_t seed);

// Makes every folder of `path` (a folder, with or without the final "\").
// The drive, and the server and share of a network path, are taken as they
// are. 1 done, 0 when a folder cannot be made or a file stands in the way.
int make_folder_chain(platform::FileSystem& fs, const std::string& path);

// Where a source goes below the destination folder: the destination folder
// without its final "\" followed by what follows the base folder in `source`.
std::string destination_path(const std::string& source, const std::string& base_folder,
                             const std::string& destination_folder);

// floor(done * chunk * 100 / total), at most 100; 100 for an empty file.
int progress_percent(std::uint64_t done, std::uint64_t chunk, std::uint64_t total);

// The folder part of a path, without the final "\" ("" when there is none).
std::string folder_of(const std::string& path);
// The part after the last "\".
std::string file_name_of(const std::string& path);

// The first three characters of a path, the root the space checks ask about.
std::string drive_root_of(const std::string& path);
// Bytes free on the drive of `root`, or -1 when the system cannot tell
// (every space check then fails).
double free_space(platform::FileSystem& fs, const std::string& root);

}  // namespace kestrove::conversion
