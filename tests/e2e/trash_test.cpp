// Runs that move the listed files to the trash (--trash) instead of deleting them.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/tool_run.h"
#include "tests/support/trash_home.h"

#ifndef _WIN32
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

namespace rubo::test {
namespace {

using Files = std::vector<std::string>;

// The dry run names what would go, the run moves every listed file (a read-only one, a
// blank, '%' and a letter outside ASCII in its name) to the trash with its bytes and
// nothing else; each record leads back to its file's place.
TEST(TrashRun, ListedFilesGoToTheTrashAndNothingElse) {
    TrashHome home;
    TempTree tree;
    const Files listed{"a.obj", "s/b c%.obj", "t/\xC3\xBC.obj"};
    for (const std::string& name : listed) tree.file(name, 3);
    tree.file("keep.txt");
    tree.read_only("a.obj");
    std::string lines[2];
    for (const std::string& name : listed) {
        lines[0] += "Would move to the trash " + tree.native(name) + "\r\n";
        lines[1] += deleting(tree.native(name), true, trash_words);
    }
    const ChildResult dry = run_tool({"-n", "--trash", "*.obj"}, tree.path());
    EXPECT_EQ(0, dry.exit_code);
    EXPECT_EQ(
        banner + lines[0] + "\r\n3 files would be moved to the trash\r\nTotal size of file specification: 9 bytes\r\n",
        dry.output);
    const ChildResult run = run_tool({"--trash", "*.obj"}, tree.path());
    EXPECT_EQ(0, run.exit_code) << run.errors;
    EXPECT_EQ(banner + lines[1] + summary(3, 0, "9", trash_words), run.output);
    EXPECT_EQ(Files{"keep.txt"}, tree.files());
    for (const char* name : {"a.obj", "b c%.obj", "\xC3\xBC.obj"})
        EXPECT_EQ(3u, std::filesystem::file_size(utf8_path(home.trash + "/files/" + name))) << name;
#ifndef _WIN32
    for (const std::string& name : listed)
        EXPECT_EQ(tree.native(name), restore(home.trash, name.substr(name.find('/') + 1)));
    EXPECT_EQ(tree.files(), (Files{"a.obj", "keep.txt", "s/b c%.obj", "t/\xC3\xBC.obj"}));
#endif
}

#ifndef _WIN32
// Files on other mounts (memory file systems in a private mount namespace of a child of
// the test, named by lines of their own, since the walk enters no mount point): one goes
// to the trash at the top of its mount, one on a read-only mount fails with the reason on
// standard error and stays. Answers 77 where no such namespace can be made, else the
// number of checks that failed.
RUBO_CHILD(trash_run_across_mounts) {
    TrashHome home;
    TempTree tree;
    tree.file("h.obj", 1);
    tree.directory("m");
    tree.directory("r");
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tmpfs", tree.native("m").c_str(), "tmpfs", 0, nullptr) != 0 ||
        mount("tmpfs", tree.native("r").c_str(), "tmpfs", 0, nullptr) != 0)
        return 77;
    tree.file("m/x.obj", 2);
    tree.file("r/z.obj", 4);
    const int read_only = mount(nullptr, tree.native("r").c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr);
    const ChildResult run = run_tool({"--trash", "*.obj\nm/*.obj\nr/*.obj"}, tree.path());
    const std::string expected = banner + deleting(tree.native("h.obj"), true, trash_words) +
                                 deleting(tree.native("m/x.obj"), true, trash_words) +
                                 deleting(tree.native("r/z.obj"), false, trash_words) + summary(2, 1, "7", trash_words);
    const std::string uid = std::to_string(getuid());
    const int failures =
        (read_only != 0) + (run.exit_code != 4) + (run.output != expected) +
        (run.errors != "rubo: cannot move " + tree.native("r/z.obj") + " to the trash: Read-only file system\n") +
        (restore(home.trash, "h.obj") != tree.native("h.obj")) +
        (restore(tree.native("m/.Trash-" + uid), "x.obj", tree.native("m")) != tree.native("m/x.obj")) +
        !tree.exists("r/z.obj");
    umount2(tree.native("m").c_str(), MNT_DETACH);
    umount2(tree.native("r").c_str(), MNT_DETACH);
    return failures;
}

TEST(TrashRun, FilesOnOtherMountsGoToTheirOwnTrashOrFailWithTheReason) {
    const ChildResult run = run_child("trash_run_across_mounts");
    if (run.exit_code == 77) GTEST_SKIP() << "no private mount namespace can be made here";
    EXPECT_EQ(0, run.exit_code) << run.output;
}
#endif

}  // namespace
}  // namespace rubo::test
