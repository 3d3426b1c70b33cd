// Fuzz target: the grammar of a file specification and its resolution on a real tree.
// The tree is made once, in a fresh temporary directory: names with blanks, semicolons,
// wildcard characters and both cases, links that loop, lead elsewhere or nowhere. The
// first input byte picks the flags and the default directory, the rest is the
// specification. Nothing is deleted; the resolution is held to what its callers rely
// on: only existing entries of the tree, each once, each below the directory it was
// searched in with nothing but real directories in between, messages whole.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/iterator.h"
#include "core/list.h"
#include "core/string.h"
#include "platform/platform.h"
#include "resolve/resolver.h"

using namespace rubo;

namespace {

namespace fs = std::filesystem;

std::string tree_root;

void remove_tree() {
    std::error_code ignored;
    fs::remove_all(tree_root, ignored);
}

void make_tree() {
    char pattern[] = "/tmp/rubo-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    tree_root = pattern;
    std::atexit(remove_tree);
    const char* files[] = {"a.obj",          "A.OBJ",        "b.res",     "x.objx",     "a b.obj",
                           "semi;colon.obj", "star*.obj",    "what?.res", "src/a.obj",  "src/c.res",
                           "src/deep/d.obj", "src/deep/e.o", "Src/f.obj", "x;y/g.obj",  "sp ace/h.res",
                           "sp ace/s/i.obj", "q?/j.obj",     "s/ /s.obj", "s/k.obj /s", "s/dots..obj"};
    std::size_t size = 1;
    for (const char* name : files) {
        const fs::path path = fs::path(tree_root) / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << std::string(size, 'x');
        size = size * 3 % 1000 + 1;
    }
    fs::create_directories(fs::path(tree_root) / "empty/dir.obj");
    fs::create_directory_symlink("src", fs::path(tree_root) / "link");
    fs::create_directory_symlink(".", fs::path(tree_root) / "src/loop");
    fs::create_directory_symlink("/", fs::path(tree_root) / "root.obj");
    fs::create_symlink("nowhere", fs::path(tree_root) / "dangling.obj");
    fs::create_symlink("a.obj", fs::path(tree_root) / "src/deep/up.obj");
}

// Whether the specification could name something outside the tree: a way up, or a
// piece or line that starts at the root. Such inputs are passed over; they would walk
// the whole machine.
bool could_leave_the_tree(const std::string& specification) {
    if (specification.find("..") != std::string::npos) return true;
    bool at_start = true;
    for (char c : specification) {
        if (c == '/' && at_start) return true;
        if (c == ';' || c == '\r' || c == '\n')
            at_start = true;
        else if (c != ' ' && c != '\t')
            at_start = false;
    }
    return false;
}

void expect(bool holds, const char* what, const std::string& detail) {
    if (holds) return;
    std::fprintf(stderr, "resolution: %s: %s\n", what, detail.c_str());
    std::abort();
}

// Whether the removal takes `path` split after `base` bytes: asked for a name below the
// listed entry, a name that is never there, it may fail for the missing file, never for
// the way the path is split (87 for the base, 123 for a name). A path that ends in a
// slash is refused there too, which the name added below would hide.
bool split_accepted(const std::string& path, std::size_t base) {
    if (path.back() == '/') return false;
    const std::string below = path + "/\x01rubo-fuzz-never-there";
    if (platform::delete_file_below(below.c_str(), base)) return false;
    const platform::ErrorCode error = platform::last_error();
    return error != platform::SYSTEM_ERROR_INVALID_PARAMETER && error != platform::SYSTEM_ERROR_INVALID_NAME;
}

// Every directory between the base and the file is a directory, and no link.
bool real_directories_between(const std::string& path, std::size_t base) {
    for (std::size_t slash = path.find('/', base + 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        struct stat status;
        if (lstat(path.substr(0, slash).c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) return false;
    }
    return true;
}

template <class T> std::vector<T> items(Collection<T>& collection) {
    std::vector<T> out;
    for (Iterator<T> walk(&collection); walk.next();) out.push_back(*walk.element);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    make_tree();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 300) return 0;
    const std::uint8_t choice = data[0];
    const std::string specification(reinterpret_cast<const char*>(data + 1), size - 1);
    if (could_leave_the_tree(specification)) return 0;

    std::uint32_t flags = choice & (WALK_DIRECTORIES | WALK_RECURSE);
    if ((choice & 0x04) != 0) flags |= RESOLVE_NO_LINE_NUMBERS;
    if ((choice & 0x08) != 0) flags |= RESOLVE_ALLOW_DUPLICATES;
    if ((choice & 0x10) != 0) flags |= RESOLVE_REPORT_EMPTY;
    const std::string defaults[] = {
        tree_root,           tree_root + "/src",  "", tree_root + "/none", "src", tree_root + "/",
        tree_root + "/link", tree_root + "/a.obj"};
    const std::string& default_directory = defaults[choice >> 5];

    PathList files;
    String problems;
    List<std::int32_t> lines;
    FileOrigins origins;
    std::int64_t total = -1;
    resolve_file_spec(specification.c_str(), files, default_directory.c_str(), &problems, &lines, &total, flags,
                      &origins);

    std::vector<String> listed;
    for (const String& path : files) listed.push_back(path);
    const std::vector<std::int32_t> line_of = items(lines);
    std::vector<std::int32_t> base_of;
    std::vector<std::int32_t> levels_of;
    FlatVector<platform::DirectoryIdentity> levels;
    for (const FileOrigin& origin : items(origins.runs)) {
        origins.levels(origin.directory, levels);
        bool known = levels.count > 0;
        for (const platform::DirectoryIdentity& level : levels) known = known && level.known;
        expect(origin.files > 0 && known, "a run of files without its origin", specification);
        base_of.insert(base_of.end(), static_cast<std::size_t>(origin.files), origin.base_length);
        levels_of.insert(levels_of.end(), static_cast<std::size_t>(origin.files), levels.count);
    }
    const bool reported_empty = (flags & RESOLVE_REPORT_EMPTY) != 0 && String(specification.c_str()).is_blank();
    if (reported_empty) {
        expect(std::string(problems.text()) == "No files were specified.\r\n", "blank specification", specification);
        return 0;
    }
    expect(line_of.size() == listed.size() && base_of.size() == listed.size(), "parallel outputs", specification);
    std::set<std::string> seen;
    std::int64_t sizes = 0;
    int line_count = 1;
    for (char c : specification) line_count += c == '\n' || c == '\r';
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const std::string path = listed[i].text();
        expect(path.compare(0, tree_root.size() + 1, tree_root + "/") == 0, "outside the tree", path);
        struct stat status;
        expect(lstat(path.c_str(), &status) == 0, "no such entry", path);
        expect(!S_ISDIR(status.st_mode) || (flags & WALK_DIRECTORIES) != 0, "a directory listed", path);
        sizes += S_ISLNK(status.st_mode) ? 0 : status.st_size;
        expect(seen.insert(path).second || (flags & RESOLVE_ALLOW_DUPLICATES) != 0, "listed twice", path);
        expect(line_of[i] >= 0 && line_of[i] < line_count && (i == 0 || line_of[i - 1] <= line_of[i]), "line index",
               path);
        const auto base = static_cast<std::size_t>(base_of[i]);
        expect(base > 0 && base < path.size(), "base length", path);
        expect(split_accepted(path, base), "no file name below the base", path);
        expect(real_directories_between(path, base), "a link between the base and the file", path);
        int names = 0;  // below the base, the file's own included: one for each directory on the way
        for (std::size_t at = base; at < path.size(); ++at)
            names += path[at] != '/' && (at == base || path[at - 1] == '/');
        expect(names == levels_of[i], "a directory on the way without its identity", path);
    }
    if ((flags & RESOLVE_ALLOW_DUPLICATES) != 0) expect(total == sizes, "total size", specification);
    expect(total >= 0, "negative total", specification);

    const std::string report = problems.text();
    expect(report.empty() || report.compare(report.size() - 2, 2, "\r\n") == 0, "unfinished message", report);
    for (std::size_t at = 0; at < report.size(); at = report.find("\r\n", at) + 2) {
        bool known = false;
        for (const char* opening : {"The default directory \"", "The file specification \"", "The file '"})
            known = known || report.compare(at, std::strlen(opening), opening) == 0;
        expect(known, "unknown message", report.substr(at));
    }
    return 0;
}
