#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

using namespace rubo;

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

using rubo::test::ScratchDirectory;
namespace fs = std::filesystem;

struct ChainDeleter {
    void operator()(platform::DirectoryChain* chain) const { platform::free_directory_chain(chain); }
};
using Chain = std::unique_ptr<platform::DirectoryChain, ChainDeleter>;

Chain new_chain() { return Chain(platform::new_directory_chain()); }

// A file with its directories.
void make_file(const ScratchDirectory& base, const std::string& relative) {
    const std::size_t slash = relative.rfind('/');
    if (slash != std::string::npos) base.make_directory(relative.substr(0, slash));
    base.write_file(relative);
}

bool delete_below(platform::DirectoryChain* chain, const ScratchDirectory& base, const std::string& relative) {
    const std::string path = base / relative;
    return platform::delete_file_below(path.c_str(), base.path().size(), chain);
}

// The identity of a directory as it is now.
platform::DirectoryIdentity identity_of(const std::string& directory) {
    platform::Directory* opened = platform::open_directory(directory.c_str());
    const platform::DirectoryIdentity identity =
        opened != nullptr ? platform::directory_identity(opened) : platform::DirectoryIdentity{};
    platform::close_directory(opened);
    return identity;
}

// The identities of `base` and of each directory on the way from it to `file`.
std::vector<platform::DirectoryIdentity> identities_down_to(std::string base, const std::string& file) {
    std::vector<platform::DirectoryIdentity> levels{identity_of(base)};
    for (std::size_t slash = file.find('/'); slash != std::string::npos; slash = file.find('/', slash + 1))
        levels.push_back(identity_of(base + "/" + file.substr(0, slash)));
    return levels;
}

// One chain through paths that share some directories and not others: names that begin
// alike, a shorter path after a longer one, a failure on the way, another base, and a
// path deeper than the chain holds.
TEST(DirectoryChain, EveryPathLeadsToItsOwnFile) {
    ScratchDirectory base;
    ScratchDirectory other;
    std::string deep = "d";
    for (int level = 1; level < 70; ++level) deep.append("/d");
    std::vector<std::string> files = {"ab/x", "ab/c/x", "ab/c/y", "a/x", "x", "ab/x2", "a/b/c/x"};
    for (const char* name : {"/x", "/y", "/z"}) files.push_back(deep + name);
    files.insert(files.end() - 1, "d/d/x");
    for (const std::string& file : files) make_file(base, file);
    make_file(base, "keep");
    make_file(base, "ab/c/keep");
    make_file(other, "ab/x");

    Chain chain = new_chain();
    EXPECT_TRUE(delete_below(chain.get(), base, "ab/x"));
    EXPECT_TRUE(delete_below(chain.get(), other, "ab/x"));
    EXPECT_FALSE(delete_below(chain.get(), base, "missing/x"));
    EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());
    EXPECT_FALSE(delete_below(chain.get(), base, "ab/c/missing"));
    EXPECT_EQ(platform::SYSTEM_ERROR_FILE_NOT_FOUND, platform::last_error());
    for (std::size_t i = 1; i < files.size(); ++i) EXPECT_TRUE(delete_below(chain.get(), base, files[i])) << files[i];
    for (const std::string& file : files) EXPECT_FALSE(fs::exists(base / file)) << file;
    EXPECT_FALSE(fs::exists(other / "ab/x"));
    EXPECT_TRUE(fs::exists(base / "keep"));
    EXPECT_TRUE(fs::exists(base / "ab/c/keep"));
}

// Directories that the next path no longer passes through are let go: on Windows a held
// directory could not be removed.
TEST(DirectoryChain, LetsGoOfDirectoriesItLeaves) {
    ScratchDirectory base;
    make_file(base, "a/b/x");
    make_file(base, "c/y");
    Chain chain = new_chain();
    EXPECT_TRUE(delete_below(chain.get(), base, "a/b/x"));
    EXPECT_TRUE(delete_below(chain.get(), base, "c/y"));
    std::error_code error;
    fs::remove_all(base / "a", error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_FALSE(fs::exists(base / "a"));
}

// A base that is no longer the directory that was searched (another one was put in its
// place under its name) is refused, also right after the chain held that other one, and
// nothing in it is removed; once the searched directory is back under that name, its
// files go.
TEST(DirectoryChain, BaseMustStillBeTheDirectoryThatWasSearched) {
    ScratchDirectory root;
    make_file(root, "base/x");
    make_file(root, "base/s/z");
    const platform::DirectoryIdentity searched[] = {identity_of(root / "base"), identity_of(root / "base/s")};
    ASSERT_TRUE(searched[0].known);
    Chain chain = new_chain();
    const auto remove = [&](const std::string& relative) {
        const std::string path = root / relative;
        return platform::delete_file_below(path.c_str(), (root / "base").size(), chain.get(), searched,
                                           relative == "base/x" ? 1 : 2);
    };
    fs::rename(root / "base", root / "moved");
    for (const char* file : {"base/x", "base/s/z"}) make_file(root, file);
    for (const char* file : {"base/x", "base/s/z"}) {
        EXPECT_FALSE(remove(file)) << file;
        EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error());
        EXPECT_TRUE(fs::exists(root / file)) << file;
    }
    const std::string other_x = root / "base/x";
    EXPECT_TRUE(platform::delete_file_below(other_x.c_str(), (root / "base").size(), chain.get()));
#ifdef _WIN32
    chain = new_chain();  // a directory the chain holds can be neither renamed nor removed there
#endif
    fs::rename(root / "base", root / "other");
    fs::rename(root / "moved", root / "base");
    EXPECT_TRUE(remove("base/x"));
    EXPECT_TRUE(remove("base/s/z"));
    EXPECT_TRUE(fs::exists(root / "other/s/z"));
}

// Every directory on the way, not only the base, must still be the one the file was
// found in: one moved into the place of any level, holding the same names, is refused and
// nothing in it is removed; a count of identities that does not fit the path is refused.
TEST(DirectoryChain, EveryDirectoryOnTheWayMustStillBeTheOneFound) {
    ScratchDirectory root;
    make_file(root, "base/a/b/x");
    const std::vector<platform::DirectoryIdentity> found = identities_down_to(root / "base", "a/b/x");
    const std::string path = root / "base/a/b/x";
    const auto remove = [&](std::size_t count) {
        return platform::delete_file_below(path.c_str(), (root / "base").size(), nullptr, found.data(), count);
    };
    EXPECT_FALSE(remove(2));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_PARAMETER, platform::last_error());
    for (const char* level : {"base", "base/a", "base/a/b"}) {
        fs::rename(root / level, root / "aside");
        make_file(root, "base/a/b/x");
        EXPECT_FALSE(remove(found.size())) << level;
        EXPECT_EQ(platform::SYSTEM_ERROR_PATH_NOT_FOUND, platform::last_error()) << level;
        EXPECT_TRUE(fs::exists(path)) << level;
        fs::remove_all(root / level);
        fs::rename(root / "aside", root / level);
    }
    EXPECT_TRUE(remove(found.size()));
    EXPECT_FALSE(fs::exists(path));
}

#ifndef _WIN32
// With the process out of descriptors halfway through a deep tree (its limit lowered
// below what the chain holds), the chain lets go of what it holds and still removes.
RUBO_CHILD(chain_out_of_descriptors) {
    ScratchDirectory base;
    std::string deep = "d";
    for (int level = 1; level < 40; ++level) deep.append("/d");
    make_file(base, deep + "/x");
    make_file(base, deep + "/e/e/e/e/y");
    Chain chain = new_chain();
    if (!delete_below(chain.get(), base, deep + "/x")) return 2;
    const rlimit lowered{30, 30};
    if (setrlimit(RLIMIT_NOFILE, &lowered) != 0) return 3;
    return delete_below(chain.get(), base, deep + "/e/e/e/e/y") && !fs::exists(base / (deep + "/e/e/e/e/y")) ? 0 : 4;
}

TEST(PosixDirectoryChain, RunningOutOfDescriptorsLetsGoAndTriesAgain) {
    EXPECT_EQ(0, rubo::test::run_child("chain_out_of_descriptors").exit_code);
}

// A directory exchanged for a link between two removals: the chain still holds the real
// directory, so the second removal happens there, and never where the link leads.
TEST(PosixDirectoryChain, HeldDirectoryOutlivesItsNameBeingGivenToALink) {
    ScratchDirectory tree;
    ScratchDirectory outside;
    make_file(tree, "sub/x");
    make_file(tree, "sub/y");
    make_file(outside, "victim/y");
    Chain chain = new_chain();
    EXPECT_TRUE(delete_below(chain.get(), tree, "sub/x"));
    fs::rename(tree / "sub", outside / "moved");
    ASSERT_EQ(0, symlink((outside / "victim").c_str(), (tree / "sub").c_str()));
    EXPECT_TRUE(delete_below(chain.get(), tree, "sub/y"));
    EXPECT_FALSE(fs::exists(outside / "moved/y"));
    EXPECT_TRUE(fs::exists(outside / "victim/y"));
    // Once the chain has left the directory, the name is looked up again and the link
    // refused.
    make_file(tree, "other/z");
    EXPECT_TRUE(delete_below(chain.get(), tree, "other/z"));
    EXPECT_FALSE(delete_below(chain.get(), tree, "sub/y"));
    EXPECT_TRUE(fs::exists(outside / "victim/y"));
}
#endif

}  // namespace
