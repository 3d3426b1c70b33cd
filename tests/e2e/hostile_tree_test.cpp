// Whole runs of the tool on trees that work against it: names that look like options,
// formats or line ends, links that loop or lead away, directories it may not read,
// files and directories that change while the prompt waits, and paths longer than the
// system takes. Each run must end with the right output, counts and exit code, and
// leave everything outside what it names alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/terminal.h"
#include "tests/e2e/tool_run.h"
#include "tests/support/trash_home.h"

#ifdef _WIN32
#include <windows.h>

#include "tests/support/directory_link.h"
#else
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#endif

namespace rubo::test {
namespace {

using Files = std::vector<std::string>;

// Names the tool must treat as nothing but bytes: options, format directives and
// blanks, in a chain of single matches so that every platform lists them alike.
TEST(HostileNames, OptionsAndFormatsAreJustNames) {
    TempTree tree;
    tree.file("-rf.obj", 1);
    tree.file("%d%n/%n%s.obj", 2);
    tree.file("%d%n/--help/ -x .obj", 4);
    ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("-rf.obj")) + deleting(tree.native("%d%n/%n%s.obj")) +
                  deleting(tree.native("%d%n/--help/ -x .obj")) + summary(3, 0, "7"),
              run.output);
    EXPECT_EQ(Files{}, tree.files());
}

// Arguments that look like options or hold format directives are specifications.
TEST(HostileNames, ArgumentsAreSpecificationsWhateverTheyLookLike) {
    TempTree tree;
    tree.file("-rf");
    tree.file("keep.obj");
    ChildResult run = run_tool({"-rf"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("-rf")) + summary(1, 0, "0"), run.output);
    run = run_tool({"%n%s%99999d*.zzz"}, tree.path());
    EXPECT_EQ(3, run.exit_code);
    EXPECT_EQ(banner + no_match(tree.native("%n%s%99999d*.zzz")), run.output);
    EXPECT_EQ(Files{"keep.obj"}, tree.files());
}

// Moves a directory of the tree aside and puts a link to `target` in its place.
void exchange_for_link(const TempTree& tree, const std::string& relative, const std::string& target) {
    std::filesystem::rename(tree.native(relative), tree.native(relative + ".moved"));
#ifdef _WIN32
    ASSERT_EQ("", make_directory_link(tree.native(relative), target));
#else
    ASSERT_EQ(0, symlink(target.c_str(), tree.native(relative).c_str()));
#endif
}

// A run held at the prompt while the test changes the tree, then let go with "y". On
// Windows, where directories list in no fixed order, its trees give every directory at
// most one match and at most one subdirectory with matches.
class WhileThePromptWaits : public AtPrompt {
protected:
    std::string up_to_answer() const { return up_to_prompt() + "\r\n\r\n"; }
    void exchange_for_link(const std::string& relative, const std::string& target) {
        rubo::test::exchange_for_link(tree, relative, target);
    }

    TempTree outside;
};

// Files and whole directories that are gone by the time their turn comes fail; the run
// goes on and counts them.
TEST_F(WhileThePromptWaits, VanishedFilesFailAndAreCounted) {
    tree.file("a.obj", 1);
    tree.file("s/b.obj", 2);
    tree.file("s/t/c.obj", 4);
    tree.file("s/t/u/d.obj", 8);
    ASSERT_NO_FATAL_FAILURE(reach_prompt());
    std::filesystem::remove(tree.native("a.obj"));
    std::filesystem::remove_all(tree.native("s/t"));
    run->type("Y");
    ChildResult result = run->finish();
    EXPECT_EQ(4, result.exit_code);
    EXPECT_EQ(up_to_answer() + deleting(tree.native("a.obj"), false) + deleting(tree.native("s/b.obj")) +
                  deleting(tree.native("s/t/c.obj"), false) + deleting(tree.native("s/t/u/d.obj"), false) +
                  summary(1, 3, "15"),
              result.output);
    EXPECT_EQ(Files{}, tree.files());
}

// The directory a line searched, a directory above it, or the working directory the run
// started in, exchanged while the prompt waits, for a link to a directory outside or for
// another directory moved into its place, that holds files of the same names: every one
// of its files fails, none of the files now found under its name is deleted, and nothing
// in the directory that was moved aside.
TEST(HostileRaces, SearchedDirectoryOrOneAboveExchangedDeletesNothingElsewhere) {
    struct Case {
        std::string from;            // the run's working directory, relative to the tree
        std::string line_directory;  // the specification's own directory
        std::string exchanged;
        bool for_link;  // else for another directory
    };
    std::vector<Case> cases = {{"", "s/", "s", false}, {"", "a/b/", "a", false}};
#ifdef _WIN32
    const bool links = directory_links_unavailable().empty();
#else
    const bool links = true;
    // A Windows process holds its working directory in place.
    cases.insert(cases.end(), {{"w", "", "w", true}, {"w", "", "w", false}});
#endif
    if (links) cases.insert(cases.end(), {{"", "s/", "s", true}, {"", "a/b/", "a", true}});
    // A run that moves its files to the trash moves nothing from elsewhere either.
    const TrashHome home;
    for (const bool trash : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(c.exchanged + (c.for_link ? " for a link" : " for a directory") +
                         (trash ? ", to the trash" : ""));
            const Words& words = trash ? trash_words : deletion_words;
            TempTree tree;
            TempTree outside;
            const std::string searched = c.from.empty() ? c.line_directory : c.from + "/";
            const std::string mirrored = searched.substr(c.exchanged.size() + 1);
            const Files files = {"x.obj", "deep/y.obj"};
            for (const std::string& file : files) {
                tree.file(searched + file, 1);
                outside.file("other/" + mirrored + file);
            }
            std::vector<std::string> arguments{native_relative(c.line_directory) + "*.zzz;*.obj"};
            if (trash) arguments.insert(arguments.begin(), "--trash");
            PromptRun run(tool_path(), arguments, c.from.empty() ? tree.path() : tree.native(c.from));
            ASSERT_TRUE(run.wait_for_output(prompt));
            if (c.for_link) {
                ASSERT_NO_FATAL_FAILURE(exchange_for_link(tree, c.exchanged, outside.native("other")));
            } else {
                std::filesystem::rename(tree.native(c.exchanged), tree.native(c.exchanged + ".moved"));
                std::filesystem::rename(outside.native("other"), tree.native(c.exchanged));
            }
            run.type("y");
            const ChildResult result = run.finish();
            EXPECT_EQ(4, result.exit_code);
            EXPECT_EQ(banner + no_match(tree.native(searched + "*.zzz")) + prompt + "\r\n\r\n" +
                          deleting(tree.native(searched + "x.obj"), false, words) +
                          deleting(tree.native(searched + "deep/y.obj"), false, words) + summary(0, 2, "2", words),
                      result.output);
            const std::string moved = c.exchanged + ".moved/" + mirrored;
            for (const std::string& file : files) {
                EXPECT_TRUE(tree.exists(searched + file)) << "put in place: " << file;
                EXPECT_TRUE(tree.exists(moved + file)) << "moved aside: " << file;
            }
        }
    EXPECT_FALSE(std::filesystem::exists(home.trash + "/files"));
}

// Another directory moved into the place of a directory below the searched one while the
// prompt waits, at any level, holding files of the same names: none of its files is
// deleted, every listed file at or below that place fails, the files above it go, and the
// directory moved aside keeps its files.
TEST(HostileRaces, DirectoryMovedInBelowTheSearchedOneLosesNothing) {
    for (const std::string exchanged : {"s", "s/t"}) {
        SCOPED_TRACE(exchanged);
        TempTree tree;
        TempTree outside;
        const std::vector<std::string> files = {"x.obj", "s/a.obj", "s/t/b.obj"};
        std::string expected = banner + no_match(tree.native("*.zzz")) + prompt + "\r\n\r\n";
        int failed = 0;
        for (const std::string& file : files) {
            tree.file(file, 1);
            const bool below = file.compare(0, exchanged.size() + 1, exchanged + "/") == 0;
            if (below) outside.file("other/" + file.substr(exchanged.size() + 1));
            expected += deleting(tree.native(file), !below);
            failed += below;
        }
        PromptRun run(tool_path(), {"*.zzz;*.obj"}, tree.path());
        ASSERT_TRUE(run.wait_for_output(prompt));
        std::filesystem::rename(tree.native(exchanged), tree.native(exchanged + ".moved"));
        std::filesystem::rename(outside.native("other"), tree.native(exchanged));
        run.type("y");
        const ChildResult result = run.finish();
        EXPECT_EQ(4, result.exit_code);
        EXPECT_EQ(expected + summary(3 - failed, failed, "3"), result.output);
        for (const std::string& file : files) {
            if (file.compare(0, exchanged.size() + 1, exchanged + "/") != 0) continue;
            const std::string rest = file.substr(exchanged.size());
            EXPECT_TRUE(tree.exists(exchanged + rest)) << "moved in: " << rest;
            EXPECT_TRUE(tree.exists(exchanged + ".moved" + rest)) << "moved aside: " << rest;
        }
    }
}

#ifndef _WIN32
// ---- POSIX: names may hold any byte but '/' and zero; links, permissions, races.

// The directory of a later line exchanged for a link while an earlier line's files are
// being deleted, with no prompt in between: the run is held by its own output (a pipe
// nobody reads yet fills up long before the first line's files are done), and the later
// line's files fail instead of being deleted where the link leads.
TEST(HostileRaces, LaterLineDirectoryExchangedWhileEarlierLinesAreDeleted) {
    TempTree tree;
    TempTree outside;
    constexpr int many = 1000;  // of names long enough that their lines fill any pipe twice over
    std::string expected = banner;
    for (int i = 0; i < many; ++i) {
        const std::string file = "a/" + std::string(200, 'n') + std::to_string(1000 + i) + ".obj";
        tree.file(file);
        expected += deleting(tree.native(file));
    }
    for (const char* file : {"b/x.obj", "b/deep/y.obj"}) tree.file(file);
    for (const char* file : {"x.obj", "deep/y.obj"}) outside.file(file);
    TerminalRun run(tool_path(), {"a/*.obj\nb/*.obj"}, tree.path());
    ASSERT_TRUE(run.wait_for_output("Deleting "));
    ASSERT_NO_FATAL_FAILURE(exchange_for_link(tree, "b", outside.path()));
    const ChildResult result = run.finish();
    EXPECT_EQ(4, result.exit_code);
    EXPECT_EQ(expected + deleting(tree.native("b/x.obj"), false) + deleting(tree.native("b/deep/y.obj"), false) +
                  summary(many, 2, "0"),
              result.output);
    EXPECT_EQ((Files{"deep/y.obj", "x.obj"}), outside.files());
}

// A subdirectory and a link to a directory outside exchanged over and over while the walk
// reads the tree: whatever moment the walk meets, it never lists a file from outside, with
// one thread and with several, near the top and deep down.
TEST(HostileRaces, SubdirectoryExchangedForALinkWhileTheWalkReadsIsNeverEntered) {
    for (const std::string parent : {"", "a/b/"})
        for (const char* threads : {"1", "4"}) {
            SCOPED_TRACE(parent + " with " + threads + " threads");
            TempTree tree;
            TempTree outside;
            outside.file("victim.o");
            tree.file(parent + "z/own.o");
            for (int i = 0; i < 20; ++i) tree.file(parent + "w" + std::to_string(i) + "/x.o");
            const std::string z = tree.native(parent + "z");
            const std::string link = tree.native(parent + "zlink");
            ASSERT_EQ(0, symlink(outside.path().c_str(), link.c_str()));
            std::atomic<bool> stop{false};
            std::thread exchanger([&] {
                while (!stop) renameat2(AT_FDCWD, z.c_str(), AT_FDCWD, link.c_str(), RENAME_EXCHANGE);
            });
            int entered = 0;
            for (int round = 0; round < 150; ++round) {
                ProgramRun program{tool_path(), {"-n", "*.o"}, "", tree.path()};
                program.prepare = [threads] { setenv("RUBO_THREADS", threads, 1); };
                entered += run_program(program).output.find("victim") != std::string::npos;
            }
            stop = true;
            exchanger.join();
            EXPECT_EQ(0, entered);
        }
}

// Mount points found by the walk are not entered, a bind mount of a directory of the same
// file system no more than another file system; both are made in a private mount
// namespace of the tool's own process.
TEST(HostileMounts, MountPointsAreNotEntered) {
    TempTree tree;
    TempTree outside;
    tree.file("a.obj", 1);
    tree.file("plain/b.obj", 2);
    tree.directory("bound");
    tree.directory("memory");
    outside.file("c.obj");
    const std::string bound = tree.native("bound");
    const std::string memory = tree.native("memory");
    const std::string source = outside.path();
    ProgramRun program{tool_path(), {"*.obj"}, "", tree.path()};
    program.prepare = [&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(source.c_str(), bound.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            mount("tmpfs", memory.c_str(), "tmpfs", 0, nullptr) != 0)
            _exit(77);
        close(open((memory + "/d.obj").c_str(), O_WRONLY | O_CREAT, 0644));
    };
    const ChildResult run = run_program(program);
    if (run.exit_code == 77) GTEST_SKIP() << "no private mount namespace can be made here";
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.obj")) + deleting(tree.native("plain/b.obj")) + summary(2, 0, "3"),
              run.output);
    EXPECT_EQ(Files{"c.obj"}, outside.files());
}

// A directory of the tree mounted over (a bind mount of a directory outside, holding a file
// of the same name) while the prompt waits, in a private mount namespace of a child of
// the test, which runs the tool there: the file fails and the one outside stays. Answers
// 77 where no such namespace can be made, else the number of checks that failed.
RUBO_CHILD(bind_mount_at_prompt) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 77;
    TempTree tree;
    TempTree outside;
    tree.file("x.obj", 1);
    tree.file("sub/a.obj", 1);
    outside.file("a.obj");
    PromptRun run(tool_path(), {"*.zzz;*.obj"}, tree.path());
    if (!run.wait_for_output(prompt)) return 100;
    if (mount(outside.path().c_str(), tree.native("sub").c_str(), nullptr, MS_BIND, nullptr) != 0) return 77;
    run.type("y");
    const ChildResult result = run.finish();
    const std::string expected = banner + no_match(tree.native("*.zzz")) + prompt + "\r\n\r\n" +
                                 deleting(tree.native("x.obj")) + deleting(tree.native("sub/a.obj"), false) +
                                 summary(1, 1, "2");
    const int failures = (result.exit_code != 4) + (result.output != expected) + !outside.exists("a.obj");
    umount(tree.native("sub").c_str());
    return failures + (tree.exists("sub/a.obj") ? 0 : 1);
}

TEST(HostileMounts, DirectoryMountedOverWhileThePromptWaitsLosesNothing) {
    const ChildResult run = run_child("bind_mount_at_prompt");
    if (run.exit_code == 77) GTEST_SKIP() << "no private mount namespace can be made here";
    EXPECT_EQ(0, run.exit_code) << run.output;
}

// A directory in a memory file system where there is one (/dev/shm), where a test makes
// thousands of directories in a moment rather than in many seconds; removed with all it
// holds, however deep (by the system's rm, which goes down relative to each directory).
class MemoryDirectory {
public:
    MemoryDirectory() {
        struct stat status;
        std::string pattern = (stat("/dev/shm", &status) == 0 && S_ISDIR(status.st_mode))
                                  ? std::string("/dev/shm")
                                  : std::filesystem::temp_directory_path().string();
        pattern += "/rubo-test-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~MemoryDirectory() {
        if (!path_.empty() && std::system(("rm -rf " + path_).c_str()) != 0) ADD_FAILURE() << "left " << path_;
    }
    MemoryDirectory(const MemoryDirectory&) = delete;
    MemoryDirectory& operator=(const MemoryDirectory&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A descriptor limit far below the depth of the tree fails no file.
TEST(HostileDepth, LowDescriptorLimitFailsNoFile) {
    TempTree tree;
    std::string expected = banner;
    std::string directory;
    for (int level = 1; level <= 30; ++level) {
        directory += "d/";
        tree.file(directory + "x.obj", 1);
        expected += deleting(tree.native(directory + "x.obj"));
    }
    ProgramRun program{tool_path(), {"*.obj"}, "", tree.path()};
    program.prepare = [] {
        const rlimit low{20, 20};
        if (setrlimit(RLIMIT_NOFILE, &low) != 0) _exit(125);
    };
    const ChildResult run = run_program(program);
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(expected + summary(30, 0, "30"), run.output);
    EXPECT_EQ(Files{}, tree.files());
}

// A wide tree read ahead by several threads under a descriptor limit that leaves room for
// a few directories at once: it is listed whole, as one thread lists it, every time, and
// deleted whole.
TEST(HostileDepth, LowDescriptorLimitLeavesNoDirectoryUnsearched) {
#if defined(__SANITIZE_ADDRESS__)
    // The undefined-behaviour checks open a pipe to look at an object's type, and take any
    // object for a broken one when the walk has used every descriptor the limit leaves.
    GTEST_SKIP() << "the sanitizer's type checks need descriptors of their own";
#endif
    MemoryDirectory tree;
    int files = 0;
    std::vector<std::string> directories = {tree.path()};
    for (std::size_t i = 0; i < directories.size(); ++i) {
        const std::string directory = directories[i];
        for (int file = 0; file < 8; ++file, ++files)
            close(creat((directory + "/f" + std::to_string(file) + ".obj").c_str(), 0644));
        if (directory.size() - tree.path().size() < 4 * 3)
            for (int sub = 0; sub < 6; ++sub) {
                directories.push_back(directory + "/d" + std::to_string(sub));
                mkdir(directories.back().c_str(), 0755);
            }
    }
    const auto limited = [&](const std::vector<std::string>& arguments, const char* threads) {
        ProgramRun program{tool_path(), arguments, "", tree.path()};
        program.prepare = [threads] {
            const rlimit low{8, 8};
            if (setrlimit(RLIMIT_NOFILE, &low) != 0 || setenv("RUBO_THREADS", threads, 1) != 0) _exit(125);
        };
        return run_program(program);
    };
    const ChildResult alone = limited({"-n", "*.obj"}, "1");
    EXPECT_EQ(0, alone.exit_code);
    EXPECT_NE(std::string::npos, alone.output.find(std::to_string(files) + " files would be deleted"));
    for (int round = 0; round < 3; ++round) {
        const ChildResult together = limited({"-n", "*.obj"}, "9");
        EXPECT_TRUE(alone.output == together.output) << round;
        EXPECT_EQ("", together.errors) << round;
    }
    const ChildResult run = limited({"*.obj"}, "9");
    EXPECT_EQ(0, run.exit_code);
    EXPECT_NE(std::string::npos, run.output.find(std::to_string(files) + " files deleted successfully"));
}

TEST(HostileNames, LineEndsAndBytesThatAreNoTextAreListedAsTheyAre) {
    TempTree tree;
    const Files names{"a\nb.obj", "c\r\n.obj", "\xff\xfe.obj", "\x1b[2J.obj", "tab\t.obj", "%n%n%n%n.obj"};
    for (const std::string& name : names) tree.file(name, 1);
    tree.file("keep\n.txt");
    Files sorted = names;
    std::sort(sorted.begin(), sorted.end());  // bytewise, as the directory search sorts
    ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    std::string expected = banner;
    for (const std::string& name : sorted) expected += deleting(tree.native(name));
    EXPECT_EQ(expected + summary(6, 0, "6"), run.output);
    EXPECT_EQ(Files{"keep\n.txt"}, tree.files());
}

// Links that loop, lead up the tree or out of it are never followed; a matching link
// that is not a directory is deleted as a link, and what it leads to stays.
TEST(HostileLinks, LoopsAndWaysOutAreNeverFollowed) {
    TempTree tree;
    TempTree outside;
    outside.file("x.obj");
    outside.file("sub/y.obj");
    tree.file("d/x.obj", 5);
    for (const auto& [target, link] : std::vector<std::pair<std::string, std::string>>{
             {".", "here"},
             {"..", "up.obj"},
             {"loop_b", "loop_a"},
             {"loop_a", "loop_b"},
             {"self.obj", "self.obj"},
             {"../d", "d/back"},
             {outside.path(), "away.obj"},
             {outside.native("x.obj"), "d/far.obj"},
         })
        ASSERT_EQ(0, symlink(target.c_str(), tree.native(link).c_str())) << link;
    ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("self.obj")) + deleting(tree.native("d/far.obj")) +
                  deleting(tree.native("d/x.obj")) + summary(3, 0, "5"),
              run.output);
    EXPECT_EQ((Files{"away.obj", "d/back", "here", "loop_a", "loop_b", "up.obj"}), tree.files());
    EXPECT_EQ((Files{"sub/y.obj", "x.obj"}), outside.files());
}

// Runs the tool as the unprivileged user `nobody`, from a copy that user may run.
ChildResult run_tool_as_nobody(const std::string& argument, const std::string& directory) {
    static const ScratchDirectory place;
    static const std::string copy = [] {
        const std::string path = place / "rubo";
        std::filesystem::copy_file(tool_path(), path);
        chmod(place.path().c_str(), 0755);
        return path;
    }();
    ProgramRun run{copy, {argument}, "", directory};
    run.prepare = [] {
        constexpr uid_t nobody = 65534;
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) _exit(126);
    };
    return run_program(run);
}

// Directories that cannot be read or searched contribute nothing and are named on
// standard error, one whose entries cannot be removed yields failures; the run goes on
// past all of them.
TEST(HostilePermissions, UnreadableAndUnsearchableDirectoriesAreSkipped) {
    if (geteuid() != 0) GTEST_SKIP() << "changing to another user takes the superuser";
    TempTree tree;
    tree.file("a.obj", 1);
    tree.file("locked/e.obj", 2);
    tree.file("noread/b.obj");
    tree.file("nosearch/c.obj");
    tree.file("nosearch/sub/d.obj");
    tree.file("open/f.obj", 4);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(tree.path()))
        ASSERT_EQ(0, lchown(entry.path().c_str(), 65534, 65534));
    ASSERT_EQ(0, chown(tree.path().c_str(), 65534, 65534));
    chmod(tree.path().c_str(), 0755);
    chmod(tree.native("locked").c_str(), 0555);
    chmod(tree.native("noread").c_str(), 0311);
    chmod(tree.native("nosearch").c_str(), 0666);

    ChildResult run = run_tool_as_nobody("*.obj", tree.path());
    EXPECT_EQ(4, run.exit_code);
    EXPECT_EQ(banner + deleting(tree.native("a.obj")) + deleting(tree.native("locked/e.obj"), false) +
                  deleting(tree.native("open/f.obj")) + summary(2, 1, "7"),
              run.output);
    const std::string denied = std::string(": ") + std::strerror(EACCES) + "\n";
    EXPECT_EQ("rubo: cannot search " + tree.native("noread") + denied + "rubo: cannot search " +
                  tree.native("nosearch") + denied,
              run.errors);
    EXPECT_EQ((Files{"locked/e.obj", "noread/b.obj", "nosearch/c.obj", "nosearch/sub/d.obj"}), tree.files());
}

// Directories of the tree exchanged for links to a directory outside that holds files
// of the same names: nothing is deleted through them, each of their files fails, and
// the rest of the tree is deleted. A listed file exchanged for a link loses the link.
TEST_F(WhileThePromptWaits, DirectoryExchangedForALinkIsNeverPassedThrough) {
    tree.file("a.obj", 1);
    tree.file("s1/x.obj", 2);
    tree.file("s2/z.obj", 4);
    tree.file("s2/t/y.obj", 8);
    tree.file("s3/w.obj", 16);
    outside.file("a.obj");
    outside.file("x.obj");
    outside.file("t/y.obj");
    ASSERT_NO_FATAL_FAILURE(reach_prompt());
    ASSERT_NO_FATAL_FAILURE(exchange_for_link("s1", outside.path()));
    ASSERT_NO_FATAL_FAILURE(exchange_for_link("s2/t", outside.native("t")));
    std::filesystem::remove(tree.native("a.obj"));
    ASSERT_EQ(0, symlink(outside.native("a.obj").c_str(), tree.native("a.obj").c_str()));
    run->type("y");
    ChildResult result = run->finish();
    EXPECT_EQ(4, result.exit_code);
    EXPECT_EQ(up_to_answer() + deleting(tree.native("a.obj")) + deleting(tree.native("s1/x.obj"), false) +
                  deleting(tree.native("s2/z.obj")) + deleting(tree.native("s2/t/y.obj"), false) +
                  deleting(tree.native("s3/w.obj")) + summary(3, 2, "31"),
              result.output);
    EXPECT_EQ((Files{"a.obj", "t/y.obj", "x.obj"}), outside.files());
    EXPECT_EQ((Files{"s1", "s1.moved/x.obj", "s2/t", "s2/t.moved/y.obj"}), tree.files());
}

// A chain of directories with names of 250 bytes, made and removed relative to each
// other, so that it can reach deeper than any path the system takes.
class DeepChain {
public:
    DeepChain(const std::string& root, int depth) : root_(root) {
        descriptors_.push_back(open(root.c_str(), O_RDONLY | O_DIRECTORY));
        std::string path = root;
        for (int level = 1; level <= depth; ++level) {
            const std::string name = std::string(249, 'a' + level % 26) + std::to_string(level % 10);
            mkdirat(descriptors_.back(), name.c_str(), 0755);
            descriptors_.push_back(openat(descriptors_.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
            names_.push_back(name);
            path += "/" + name;
            paths_.push_back(path);
        }
    }
    ~DeepChain() {
        for (std::size_t level = names_.size(); level > 0; --level) {
            for (const std::string& file : files_[static_cast<int>(level)])
                unlinkat(descriptors_[level], file.c_str(), 0);
            close(descriptors_[level]);
            unlinkat(descriptors_[level - 1], names_[level - 1].c_str(), AT_REMOVEDIR);
        }
        for (const std::string& file : files_[0]) unlinkat(descriptors_[0], file.c_str(), 0);
        close(descriptors_[0]);
    }
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    // The path of the directory at a level (0 is the root).
    std::string path(int level) const { return level == 0 ? root_ : paths_[static_cast<std::size_t>(level - 1)]; }
    int depth() const { return static_cast<int>(names_.size()); }

    void file(int level, const std::string& name) {
        const int descriptor =
            openat(descriptors_[static_cast<std::size_t>(level)], name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (descriptor >= 0) close(descriptor);
        files_[level].push_back(name);
    }
    bool exists(int level, const std::string& name) const {
        struct stat status;
        return fstatat(descriptors_[static_cast<std::size_t>(level)], name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    }
    // Enters the directory at a level one step at a time (for a child process).
    void enter(int level) const {
        if (chdir(root_.c_str()) != 0) _exit(125);
        for (int step = 0; step < level; ++step)
            if (chdir(names_[static_cast<std::size_t>(step)].c_str()) != 0) _exit(125);
    }

private:
    std::string root_;
    std::vector<int> descriptors_;
    std::vector<std::string> names_;
    std::vector<std::string> paths_;
    std::map<int, std::vector<std::string>> files_;
};

// A chain of directories named "d", made relative to one another without holding them
// open, so that it can be as deep as a test likes; "f.obj" at the levels asked for.
class ThinChain {
public:
    ThinChain(int depth, const std::vector<int>& files) : depth_(depth) {
        int directory = open(root().c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0, next = 0; level <= depth; ++level) {
            if (next < static_cast<int>(files.size()) && files[static_cast<std::size_t>(next)] == level) {
                close(openat(directory, "f.obj", O_WRONLY | O_CREAT, 0644));
                ++next;
            }
            if (level == depth) break;
            mkdirat(directory, "d", 0755);
            const int below = openat(directory, "d", O_RDONLY | O_DIRECTORY);
            close(directory);
            directory = below;
        }
        close(directory);
    }
    ThinChain(const ThinChain&) = delete;
    ThinChain& operator=(const ThinChain&) = delete;

    const std::string& root() const { return root_.path(); }

    // How many levels still hold their file.
    int files_left() const {
        int left = 0;
        int directory = open(root().c_str(), O_RDONLY | O_DIRECTORY);
        for (int level = 0; directory >= 0; ++level) {
            struct stat status;
            left += fstatat(directory, "f.obj", &status, 0) == 0;
            const int below = level < depth_ ? openat(directory, "d", O_RDONLY | O_DIRECTORY) : -1;
            close(directory);
            directory = below;
        }
        return left;
    }

private:
    MemoryDirectory root_;
    int depth_;
};

// Trees thousands of levels deep, walked with a stack far too small for a walk that
// takes stack for each level: every file is listed and deleted, by its whole path.
TEST(HostileDepth, TreesOfAnyDepthAreWalkedWholeOnASmallStack) {
    for (const int depth : {5000, 100000}) {
        std::vector<int> levels = {0, 1, depth / 2, depth};
        if (depth == 5000) {
            levels.clear();
            for (int level = 0; level <= depth; ++level) levels.push_back(level);
        }
        ThinChain chain(depth, levels);
        ASSERT_NE("", chain.root());
        std::string expected = banner;
        std::string path = chain.root();
        for (int level = 0, next = 0; level <= depth; ++level, path += "/d")
            if (next < static_cast<int>(levels.size()) && levels[static_cast<std::size_t>(next)] == level) {
                expected += deleting(path + "/f.obj");
                ++next;
            }
        expected += summary(static_cast<int>(levels.size()), 0, "0");
        ProgramRun run{tool_path(), {"*.obj"}, "", chain.root()};
        run.prepare = [] {
            const rlimit small{512 * 1024, 512 * 1024};
            setrlimit(RLIMIT_STACK, &small);
        };
        const ChildResult result = run_program(run);
        EXPECT_EQ(0, result.exit_code) << depth;
        EXPECT_EQ("", result.errors) << depth;
        EXPECT_TRUE(result.output == expected)
            << depth << " levels: " << result.output.size() << " bytes of output, " << expected.size() << " expected";
        EXPECT_EQ(0, chain.files_left()) << depth;
    }
}

// Past the longest path the system takes, every directory is still searched and every
// file listed and deleted by its whole path, never a shortened one: directories are read
// and deleted in relative to the one above them.
TEST(HostileDepth, PathsLongerThanTheSystemTakesAreListedAndDeletedWhole) {
    TempTree tree;
    DeepChain chain(tree.path(), 40);
    ASSERT_GE(chain.path(chain.depth()).size(), std::size_t{2 * PATH_MAX});
    const std::string long_name = std::string(246, 'z') + ".obj";
    std::string expected = banner;
    for (int level = 0; level <= chain.depth(); ++level) {
        chain.file(level, "f.obj");
        expected += deleting(chain.path(level) + "/f.obj");
        if (level == chain.depth()) chain.file(level, long_name);
    }
    expected += deleting(chain.path(chain.depth()) + "/" + long_name);

    ChildResult run = run_tool({"*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(expected + summary(chain.depth() + 2, 0, "0"), run.output);
    EXPECT_EQ("", run.errors);
    for (int level = 0; level <= chain.depth(); ++level) EXPECT_FALSE(chain.exists(level, "f.obj")) << level;
    EXPECT_FALSE(chain.exists(chain.depth(), long_name));

    // From a current directory that deep, nothing is deleted: either its path cannot be
    // read back, and a relative pattern has nothing to stand on, or it can, and then it
    // cannot be searched by that path.
    const int deep = chain.depth();
    chain.file(deep, "f.obj");
    ProgramRun inside{tool_path(), {"*.obj"}, "", ""};
    inside.prepare = [&chain, deep] { chain.enter(deep); };
    run = run_program(inside);
    EXPECT_EQ(3, run.exit_code);
    const std::string unreadable = "The file specification \"*.obj\" is not an absolute path.\r\n";
    const std::string unsearchable = "The default directory \"" + chain.path(deep) + "\" does not exist.\r\n" +
                                     no_match(chain.path(deep) + "/*.obj");
    EXPECT_TRUE(run.output == banner + unreadable || run.output == banner + unsearchable) << run.output;
    EXPECT_TRUE(chain.exists(deep, "f.obj"));
}
#else
// ---- Windows: links are reparse points (junctions and symbolic links), a directory
// that another process holds without sharing cannot be searched, and paths reach past
// MAX_PATH through their long form. Directories list in no fixed order,
// so every directory here holds at most one match and at most one subdirectory with
// matches per pattern.

// Reparse points that loop, lead back into the tree or out of it, and a directory held
// without sharing: the walk enters none of them, and what lies behind them stays.
TEST(HostileLinks, ReparsePointsAndLockedDirectoriesAreNotEntered) {
    if (const std::string why = directory_links_unavailable(); !why.empty()) GTEST_SKIP() << why;
    TempTree tree;
    TempTree outside;
    outside.file("x.obj");
    outside.file("sub/y.obj");
    tree.file("a.obj", 1);
    tree.file("d/x.obj", 2);
    tree.file("locked/b.obj");
    tree.file("locked/sub/c.obj");
    for (const auto& [target, link] : std::vector<std::pair<std::string, std::string>>{
             {tree.path(), "here"},
             {tree.native("d"), "d/back"},
             {outside.path(), "away.obj"},
         })
        ASSERT_EQ("", make_directory_link(tree.native(link), target));
    HANDLE locked = CreateFileA(tree.native("locked").c_str(), FILE_LIST_DIRECTORY, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    ChildResult run = run_tool({"*.obj"}, tree.path());
    CloseHandle(locked);
    EXPECT_EQ(4, run.exit_code);  // the locked directory could not be searched
    EXPECT_EQ(banner + deleting(tree.native("a.obj")) + deleting(tree.native("d/x.obj")) + summary(2, 0, "3"),
              run.output);
    EXPECT_EQ((Files{"away.obj", "d/back", "here", "locked/b.obj", "locked/sub/c.obj"}), tree.files());
    EXPECT_EQ((Files{"sub/y.obj", "x.obj"}), outside.files());
}

// A directory below the searched one exchanged for a reparse point to a directory
// outside that holds files of the same names: nothing is deleted through it, each of
// its files fails, and the rest of the tree is deleted. (Wine opens what a host link
// leads to even when asked for the reparse point itself; the deletion must notice the
// link by the entry's own attributes.)
TEST_F(WhileThePromptWaits, DirectoryExchangedForAReparsePointIsNeverPassedThrough) {
    if (const std::string why = directory_links_unavailable(); !why.empty()) GTEST_SKIP() << why;
    tree.file("a.obj", 1);
    tree.file("s/x.obj", 2);
    tree.file("s/t/y.obj", 4);
    tree.file("s/t/u/z.obj", 8);
    outside.file("t/y.obj");
    outside.file("t/u/z.obj");
    ASSERT_NO_FATAL_FAILURE(reach_prompt());
    ASSERT_NO_FATAL_FAILURE(exchange_for_link("s/t", outside.native("t")));
    run->type("y");
    ChildResult result = run->finish();
    EXPECT_EQ(4, result.exit_code);
    EXPECT_EQ(up_to_answer() + deleting(tree.native("a.obj")) + deleting(tree.native("s/x.obj")) +
                  deleting(tree.native("s/t/y.obj"), false) + deleting(tree.native("s/t/u/z.obj"), false) +
                  summary(2, 2, "15"),
              result.output);
    EXPECT_EQ((Files{"t/u/z.obj", "t/y.obj"}), outside.files());
    EXPECT_EQ((Files{"s/t", "s/t.moved/u/z.obj", "s/t.moved/y.obj"}), tree.files());
}

// A chain of directories made, filled and removed through the long form of their paths
// ("\\?\" before the full path), which reaches past MAX_PATH.
class DeepChain {
public:
    DeepChain(const std::string& root, std::size_t name_length, int depth) : paths_{root} {
        for (int level = 1; level <= depth; ++level) {
            paths_.push_back(paths_.back() + '\\' + std::string(name_length, static_cast<char>('a' + level)));
            CreateDirectoryW(long_form(paths_.back()).c_str(), nullptr);
        }
    }
    ~DeepChain() {
        for (const std::string& file : files_) DeleteFileW(long_form(file).c_str());
        for (std::size_t level = paths_.size() - 1; level > 0; --level)
            RemoveDirectoryW(long_form(paths_[level]).c_str());
    }
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    // The path of the directory at a level (0 is the root), and of a file in it.
    const std::string& path(int level) const { return paths_[static_cast<std::size_t>(level)]; }
    std::string path(int level, const std::string& name) const { return path(level) + '\\' + name; }
    int depth() const { return static_cast<int>(paths_.size()) - 1; }

    void file(int level, const std::string& name) {
        files_.push_back(path(level, name));
        HANDLE created = CreateFileW(long_form(files_.back()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created != INVALID_HANDLE_VALUE) CloseHandle(created);
    }
    bool exists(int level, const std::string& name) const {
        return GetFileAttributesW(long_form(path(level, name)).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

private:
    static std::wstring long_form(const std::string& path) {
        return L"\\\\?\\" + std::wstring(path.begin(), path.end());
    }

    std::vector<std::string> paths_;
    std::vector<std::string> files_;
};

// Paths past MAX_PATH are searched and deleted whole: every level of a chain more
// than 362 characters deep, and a file whose own name takes its path past MAX_PATH.
TEST(HostileDepth, PathsPastMaxPathAreSearchedAndDeletedWhole) {
    TempTree tree;
    ASSERT_LT(tree.path().size(), std::size_t{70});
    DeepChain chain(tree.path(), (200 - tree.path().size()) / 2 - 1, 4);
    ASSERT_GT(chain.path(chain.depth(), "f.obj").size(), std::size_t{362});
    std::string expected = banner;
    for (int level = 0; level <= chain.depth(); ++level) {
        chain.file(level, "f.obj");
        expected += deleting(chain.path(level, "f.obj"));
    }
    const std::string long_name = std::string(120, 'z') + ".lng";
    chain.file(2, long_name);
    ASSERT_TRUE(chain.exists(2, long_name));
    ASSERT_GT(chain.path(2, long_name).size(), std::size_t{MAX_PATH});

    ChildResult run = run_tool({"*.obj;*.lng"}, tree.path());
    EXPECT_EQ(0, run.exit_code);
    EXPECT_EQ(expected + deleting(chain.path(2, long_name)) + summary(chain.depth() + 2, 0, "0"), run.output);
    for (int level = 0; level <= chain.depth(); ++level) EXPECT_FALSE(chain.exists(level, "f.obj")) << level;
    EXPECT_FALSE(chain.exists(2, long_name));
}
#endif

}  // namespace
}  // namespace rubo::test
