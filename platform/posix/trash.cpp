// Moving a file to the trash that the desktop's file managers share. The trash is the
// home trash for a file on the home trash's own mount, else the trash at the top of the
// mount that holds the file, so that the file is only ever renamed, never copied. A
// record of the file's path and the time goes into the trash's info directory first,
// under a name no other record has; then the file is renamed into the files directory
// under the same name, from the directory it was found in, and the record is removed
// again when that fails.
//
// Which mount holds the file, and where that mount's top lies, is read from the mount
// table of the process (/proc/self/mountinfo); the path of the file's directory is the
// one the system knows for its descriptor. Where the system tells neither, the path the
// caller gave is recorded and only the home trash is used.

#include "platform/posix/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/posix/error.h"
#include "platform/posix/file_status.h"
#include "platform/posix/write_all.h"

namespace rubo::platform::posix {
namespace {

// A descriptor closed at the end of its owner's life.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    Descriptor& operator=(Descriptor other) noexcept {
        std::swap(descriptor_, other.descriptor_);
        return *this;
    }
    ~Descriptor() {
        if (descriptor_ >= 0) close(descriptor_);
    }
    int get() const { return descriptor_; }
    bool valid() const { return descriptor_ >= 0; }

private:
    int descriptor_ = -1;
};

// The longest name most file systems take, in bytes.
constexpr std::size_t LONGEST_NAME = 255;
constexpr char RECORD_ENDING[] = ".trashinfo";

// The directory `name` inside `parent`, never through a link; created (0700) when it is
// missing, and then it must be this user's own. Invalid with errno set otherwise.
Descriptor trash_directory(int parent, const char* name, bool must_be_own) {
    Descriptor opened(openat(parent, name, DIRECTORY_OPEN | O_NOFOLLOW));
    if (!opened.valid() && errno == ENOENT) {
        if (mkdirat(parent, name, 0700) != 0 && errno != EEXIST) return opened;
        opened = Descriptor(openat(parent, name, DIRECTORY_OPEN | O_NOFOLLOW));
    }
    if (!opened.valid() || !must_be_own) return opened;
    struct stat status;
    if (fstat(opened.get(), &status) != 0) return Descriptor();
    if (status.st_uid == getuid()) return opened;
    errno = EPERM;
    return Descriptor();
}

// An open trash: its two directories, and how much of a file's path its records leave
// out (nothing in the home trash, whose records hold absolute paths; the top directory
// and its slash in a trash at the top of a mount).
struct Trash {
    Descriptor files;
    Descriptor info;
    std::size_t path_start = 0;
};

bool open_trash_directories(int trash, Trash& opened) {
    opened.files = trash_directory(trash, "files", false);
    if (opened.files.valid()) opened.info = trash_directory(trash, "info", false);
    return opened.info.valid() || fail_with_errno();
}

// The home trash's path: $XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash; empty when
// neither gives an absolute path.
std::string home_trash_path() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share/Trash";
    return {};
}

// Where the nearest directory on the way to `path` that exists lies (links followed).
bool nearest_place(std::string path, MountPlace& place) {
    for (;;) {
        const Descriptor found(open(path.c_str(), DIRECTORY_OPEN));
        if (found.valid()) return read_mount_place(found.get(), "", place);
        if (errno != ENOENT || path == "/") return false;
        const std::size_t slash = path.rfind('/');
        path.resize(slash == 0 ? 1 : slash);
    }
}

// Opens the home trash at the absolute `path`, creating the directories missing on the
// way (0700). Links on the way to it are followed, the trash's own directories must not
// be links.
bool open_home_trash(const std::string& path, Trash& opened) {
    Descriptor directory(open("/", DIRECTORY_OPEN));
    const std::size_t last = path.rfind('/');
    for (std::size_t start = 1; directory.valid() && start <= last;) {
        const std::size_t end = path.find('/', start);
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        Descriptor next(openat(directory.get(), name.c_str(), DIRECTORY_OPEN));
        if (!next.valid() && errno == ENOENT) next = trash_directory(directory.get(), name.c_str(), false);
        directory = std::move(next);
    }
    if (directory.valid()) directory = trash_directory(directory.get(), path.c_str() + last + 1, false);
    return directory.valid() ? open_trash_directories(directory.get(), opened) : fail_with_errno();
}

// A mount point as the mount table writes it, with blanks, tabs, line ends and
// backslashes as octal escapes.
std::string unescaped(const std::string& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3';
        if (!escape) {
            plain += text[i];
            continue;
        }
        plain += static_cast<char>(std::strtol(text.substr(i + 1, 3).c_str(), nullptr, 8));
        i += 3;
    }
    return plain;
}

// Whether `directory` is `top` or lies below it.
bool lies_below(const std::string& directory, const std::string& top) {
    if (top == "/") return true;
    return directory.compare(0, top.size(), top) == 0 &&
           (directory.size() == top.size() || directory[top.size()] == '/');
}

// The mount point of the mount that holds `place`, the directory at `directory`, from the
// process's mount table: the mount with its ID where the system tells that, else the
// deepest mount point above the directory with its device. False with errno set (EXDEV
// when the table names no such mount).
bool mount_point_of(const MountPlace& place, const std::string& directory, std::string& top) {
    std::ifstream table("/proc/self/mountinfo");
    // Without a mount table no top is known, unless the process is only short of descriptors.
    if (!table.is_open() && errno != EMFILE && errno != ENFILE) errno = EXDEV;
    if (!table.is_open()) return false;
    bool found = false;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        unsigned long long id = 0;
        unsigned long long parent = 0;
        unsigned major_number = 0;
        unsigned minor_number = 0;
        char colon = 0;
        std::string root;
        std::string point;
        if (!(fields >> id >> parent >> major_number >> colon >> minor_number >> root >> point)) continue;
        point = unescaped(point);
        if (place.identity.mount_known) {
            if (id != place.identity.mount) continue;
        } else if (makedev(major_number, minor_number) != place.identity.volume || !lies_below(directory, point) ||
                   (found && point.size() < top.size())) {
            continue;
        }
        top = point;
        found = true;
    }
    if (found && lies_below(directory, top)) return true;
    errno = EXDEV;
    return false;
}

// Opens the trash at the top of the mount that holds `place`: $top/.Trash/<uid> when
// $top/.Trash is a real directory with the sticky bit, else $top/.Trash-<uid>.
bool open_top_trash(const MountPlace& place, const std::string& directory, Trash& opened) {
    std::string top;
    if (!mount_point_of(place, directory, top)) return fail_with_errno();
    const Descriptor top_directory(open(top.c_str(), DIRECTORY_OPEN));
    MountPlace top_place;
    if (!top_directory.valid() || !read_mount_place(top_directory.get(), "", top_place)) return fail_with_errno();
    if (crosses_mount(place, top_place)) return fail_with_errno(EXDEV);
    opened.path_start = top == "/" ? 1 : top.size() + 1;
    const std::string uid = std::to_string(getuid());
    const Descriptor shared(openat(top_directory.get(), ".Trash", DIRECTORY_OPEN | O_NOFOLLOW));
    struct stat status;
    if (shared.valid() && fstat(shared.get(), &status) == 0 && S_ISDIR(status.st_mode) &&
        (status.st_mode & S_ISVTX) != 0) {
        const Descriptor own = trash_directory(shared.get(), uid.c_str(), true);
        if (own.valid() && open_trash_directories(own.get(), opened)) return true;
    }
    const Descriptor own = trash_directory(top_directory.get(), (".Trash-" + uid).c_str(), true);
    return own.valid() ? open_trash_directories(own.get(), opened) : fail_with_errno();
}

// The absolute path of the directory open as `directory`, as the system knows it; else
// the directory part of `path`, whose last name begins at `name`, made absolute.
std::string directory_path(int directory, const char* path, const char* name) {
    std::string known(PATH_MAX, '\0');
    const std::string link = "/proc/self/fd/" + std::to_string(directory);
    const ssize_t length = readlink(link.c_str(), known.data(), known.size());
    constexpr char gone[] = " (deleted)";
    if (length > 0 && static_cast<std::size_t>(length) < known.size() && known[0] == '/') {
        known.resize(static_cast<std::size_t>(length));
        if (known.size() < sizeof gone || known.compare(known.size() - (sizeof gone - 1), std::string::npos, gone) != 0)
            return known;
    }
    std::string given(path, static_cast<std::size_t>(name - path));
    while (given.size() > 1 && given.back() == '/') given.pop_back();
    if (given.empty() || given[0] != '/') {
        char* current = getcwd(nullptr, 0);
        given = std::string(current != nullptr ? current : "") + (given.empty() ? "" : "/" + given);
        std::free(current);
    }
    return given;
}

// How a path is written in a trash record: every byte but the unreserved ASCII ones
// (letters, digits, "-._~") and '/' as %XX.
std::string percent_encoded(const std::string& path) {
    constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           (c != '\0' && std::strchr("-._~/", c) != nullptr);
        if (plain) {
            encoded += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        encoded += '%';
        encoded += digits[byte >> 4];
        encoded += digits[byte & 0xF];
    }
    return encoded;
}

// The record of a file at `original` moved to the trash now.
std::string trash_record(const std::string& original) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char date[32] = "";
    if (localtime_r(&now, &local) != nullptr) std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    return "[Trash Info]\nPath=" + percent_encoded(original) + "\nDeletionDate=" + date + "\n";
}

// The name a file takes in the trash: its own, with ".<number>" from number 2 on, its
// own part cut short (never inside a UTF-8 sequence) where the record's name would not
// fit in a directory entry.
std::string trash_name(const char* name, unsigned number) {
    std::string suffix;
    if (number > 1) suffix.append(1, '.').append(std::to_string(number));
    const std::size_t room = LONGEST_NAME - (sizeof RECORD_ENDING - 1) - suffix.size();
    std::size_t kept = std::strlen(name);
    if (kept > room) {
        kept = room;
        while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
    }
    return std::string(name, kept) + suffix;
}

// Renames `name` of `directory` to `target` in `files`, never over an entry there; 0 or
// the errno of the failure (EEXIST when the target is taken).
int move_without_replacing(int directory, const char* name, int files, const char* target) {
#ifdef RENAME_NOREPLACE
    if (renameat2(directory, name, files, target, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
    struct stat taken;
    if (fstatat(files, target, &taken, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    return renameat(directory, name, files, target) == 0 ? 0 : errno;
}

// The number to try first for a name in a trash: one past the last this process took,
// for the names it took more than once, so that many files of one name do not try every
// number taken before; 1 for every other name.
std::unordered_map<std::string, unsigned>& numbers_taken() {
    thread_local std::unordered_map<std::string, unsigned> numbers;
    return numbers;
}

std::string number_key(const Trash& trash, const char* name) {
    struct stat info;
    if (fstat(trash.info.get(), &info) != 0) return name;
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + "/" + name;
}

// Writes the record under the first free name, then moves the file into the trash under
// that name; takes the record back when the file cannot be moved.
bool record_and_move(int directory, const char* name, const Trash& trash, const std::string& record) {
    const std::string key = number_key(trash, name);
    const auto taken = numbers_taken().find(key);
    for (unsigned number = taken != numbers_taken().end() ? taken->second : 1; number != 0; ++number) {
        const std::string target = trash_name(name, number);
        const std::string record_name = target + RECORD_ENDING;
        const int info =
            openat(trash.info.get(), record_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (info < 0 && errno == EEXIST) continue;
        if (info < 0) return fail_with_errno();
        int error = write_all(info, record.data(), record.size()) ? 0 : errno;
        if (close(info) != 0 && error == 0) error = errno;
        if (error == 0) error = move_without_replacing(directory, name, trash.files.get(), target.c_str());
        if (error == 0) {
            if (number > 1) numbers_taken()[key] = number + 1;
            return true;
        }
        unlinkat(trash.info.get(), record_name.c_str(), 0);
        if (error != EEXIST) return fail_with_errno(error);
    }
    return fail_with_errno(EEXIST);
}

}  // namespace

bool move_to_trash(int directory, const char* path, const char* name) {
    struct stat status;
    if (fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return fail_with_errno();
    if (S_ISDIR(status.st_mode)) return fail_with_errno(EISDIR);
    MountPlace place;
    if (!read_mount_place(directory, "", place)) return fail_with_errno();
    const std::string folder = directory_path(directory, path, name);
    const std::string original = (folder == "/" ? folder : folder + "/") + name;
    Trash trash;
    const std::string home = home_trash_path();
    MountPlace home_place;
    const bool home_taken = !home.empty() && nearest_place(home, home_place) && !crosses_mount(place, home_place);
    if (!(home_taken ? open_home_trash(home, trash) : open_top_trash(place, folder, trash))) return false;
    return record_and_move(directory, name, trash, trash_record(original.substr(trash.path_start)));
}

}  // namespace rubo::platform::posix
