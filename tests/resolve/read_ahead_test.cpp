#include "resolve/read_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/iterator.h"
#include "core/list.h"
#include "resolve/resolver.h"
#include "tests/support/temp_tree.h"

namespace rubo::test {
namespace {

// Names whose bytewise order differs from a case-blind or numeric one, names that match
// the patterns below and names that do not (no two differ in case alone, for Windows).
const std::vector<std::string> file_names = {"a.obj", "B.obj",   "a.obj.txt",    "_u.res", "~t.obj",   "10.res",
                                             "9.res", "a b.obj", "\xC3\xA9.obj", "z.OBJ",  "keep.txt", "x"};
const std::vector<std::string> directory_names = {"d", "E", "_f", "10", "9", "\xC3\xA9", "m.obj", "z z"};

#if defined(_WIN32)
constexpr int fan_out[] = {4, 3, 3};  // Wine creates files slowly
constexpr int deep_levels = 12;
#elif defined(RUBO_SANITIZE_THREAD)
constexpr int fan_out[] = {6, 6, 6};  // the sanitizer slows the walks and the long texts
constexpr int deep_levels = 30;
#else
constexpr int fan_out[] = {7, 7, 7, 2};
constexpr int deep_levels = 60;
#endif

// Fills `relative` with a share of the names and, down to the last level of fan_out, its
// subdirectories; the share and the sizes vary with the directory's number.
void grow(const TempTree& tree, const std::string& relative, int level, int& number) {
    const int own = number++;
    for (std::size_t i = 0; i < file_names.size(); ++i)
        if ((own + i) % 3 == 0) tree.file(relative + file_names[i], (own * 7 + i) % 50);
    if (level == static_cast<int>(std::size(fan_out))) return;
    for (int i = 0; i < fan_out[level]; ++i) {
        const std::string name = directory_names[(own + i) % directory_names.size()] + std::to_string(i);
        grow(tree, relative + name + "/", level + 1, number);
    }
}

// The walk's own count of what it read and listed, which reading ahead must not change.
class Counted : public WalkProgress {
    void report() override {}
};

// Everything a resolution gives, one item a line, so that two runs compare as texts.
std::string resolved(const std::string& specification, const std::string& directory, WalkFlags flags) {
    PathList files;
    String problems;
    List<std::int32_t> lines;
    std::int64_t total = -1;
    FileOrigins origins;
    List<SearchFailure> failures;
    Counted progress;
    resolve_file_spec(specification.c_str(), files, directory.c_str(), &problems, &lines, &total, flags, &origins,
                      &failures, &progress);
    std::string out = problems.text() + std::string("total ") + std::to_string(total) + "\n";
    Iterator<std::int32_t> line(&lines);
    for (const String& file : files)
        if (line.next()) out += std::to_string(*line.element) + " " + file.text() + "\n";
    FlatVector<platform::DirectoryIdentity> levels;
    for (Iterator<FileOrigin> origin(&origins.runs); origin.next();) {
        out.append("origin ").append(std::to_string(origin.element->files));
        out.append(" ").append(std::to_string(origin.element->base_length));
        origins.levels(origin.element->directory, levels);
        for (const platform::DirectoryIdentity& level : levels) {
            out.append(" ").append(std::to_string(level.volume)).append(":").append(std::to_string(level.file));
            if (!level.known) out.append("?");
        }
        out.append("\n");
    }
    for (Iterator<SearchFailure> failure(&failures); failure.next();)
        out += "failed " + std::string(failure.element->directory.text()) + " " +
               std::to_string(failure.element->error) + "\n";
    return out + "read " + std::to_string(progress.directories) + " listed " + std::to_string(progress.files) + "\n";
}

// Where two texts part, with a little of each, for a readable failure.
std::string parting(const std::string& expected, const std::string& got) {
    const std::size_t at =
        std::mismatch(expected.begin(), expected.end(), got.begin(), got.end()).first - expected.begin();
    return "at byte " + std::to_string(at) + ": \"" + expected.substr(at, 120) + "\" instead of \"" +
           got.substr(at, 120) + "\"";
}

// One large tree resolved by several specifications: whatever number of workers reads
// ahead, and however often, each gives exactly what the walk gives on its own.
TEST(ReadAhead, AnyNumberOfWorkersGivesWhatOneThreadGives) {
    TempTree tree;
    int directories = 0;
    grow(tree, "", 0, directories);
    std::string deep = "deep/";
    for (int level = 0; level < deep_levels; ++level) {
        tree.file(deep + "a.obj", level);
        deep += file_names[level % file_names.size()] + std::to_string(level) + "/";
    }
    const std::string specification = "*.obj;*.res /s;a*;*.zzz\n" + tree.native("d0/*.obj /s; 9* ;*.obj") +
                                      "\r\n\n*.txt;*b*\n" + tree.native("missing/*.obj") + "\n" +
                                      native_relative("E1/*.res;*.obj /s");
    struct Case {
        std::string specification;
        WalkFlags flags;
    };
    const Case cases[] = {{specification, WALK_RECURSE},
                          {specification, 0},
                          {specification, WALK_RECURSE | WALK_DIRECTORIES},
                          {"*;*.obj", WALK_RECURSE | RESOLVE_ALLOW_DUPLICATES | RESOLVE_NO_LINE_NUMBERS}};
    std::vector<std::string> references;
    set_read_ahead_workers(0);
    for (const Case& test : cases) references.push_back(resolved(test.specification, tree.path(), test.flags));
    EXPECT_NE(std::string::npos, references[0].find("occurs more than once"));
    EXPECT_GT(std::count(references.back().begin(), references.back().end(), '\n'), directories * 4);
    for (int round = 0; round < 2; ++round)
        for (const std::int32_t workers : {1, 2, 8}) {
            set_read_ahead_workers(workers);
            for (std::size_t i = 0; i < std::size(cases); ++i) {
                const std::string got = resolved(cases[i].specification, tree.path(), cases[i].flags);
                EXPECT_TRUE(got == references[i]) << "case " << i << ", " << workers << " workers, round " << round
                                                  << ", " << parting(references[i], got);
            }
        }
    set_read_ahead_workers(-1);
}

}  // namespace
}  // namespace rubo::test
