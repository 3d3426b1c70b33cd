#pragma once
// Links to directories in test trees: telling them apart without following them, and
// removing them without touching what they lead to. On Windows also making them, as
// reparse points, the only kind of link the tool meets there.

#include <filesystem>
#include <string>

namespace rubo::test {

// Whether the entry is a link (on Windows: carries the reparse-point attribute).
bool is_link(const std::filesystem::path& path);

// Removes the link itself; false when it could not be removed.
bool remove_link(const std::filesystem::path& path);

#ifdef _WIN32
// Makes `link` a reparse point that leads to the directory `target`: a junction, or,
// under Wine, which cannot set reparse points, a link of the host system, which Wine
// shows as a directory with the reparse-point attribute. Answers an empty text once
// the new entry is a directory reparse point, else why there is none.
std::string make_directory_link(const std::string& link, const std::string& target);

// Removes the links made by make_directory_link inside `directory`, also those whose
// target has gone, which Wine no longer lists.
void remove_links_made_below(const std::filesystem::path& directory);

// Empty when directory reparse points can be made here, else why not (tried once).
std::string directory_links_unavailable();
#endif

}  // namespace rubo::test
