#include "core/working_paths.h"

#include <cstdint>
#include <utility>

#include "core/paths.h"
#include "core/platform_text.h"
#include "platform/platform.h"

namespace rubo {

namespace {

bool initialised = false;
char drive = 0;

#ifdef _WIN32
constexpr const char* fallback_temp_directory = "c:\\temp";
#else
constexpr const char* fallback_temp_directory = "/tmp";
#endif

}  // namespace

void init_working_paths() {
    if (initialised) return;
    initialised = true;
    read_platform_text(windows_directory(), 260, platform::get_system_directory);
    read_platform_text(program_path(), 260, platform::get_program_path);
    program_name() = file_name_part(program_path().text());
    program_directory() = directory_part(program_path().text());
    drive = drive_letter(program_path().text());

    String& interpreter = command_interpreter();
    interpreter = "%comspec%";
    if (!expand_environment(interpreter) || interpreter.is_blank())
        interpreter = join_path(windows_directory().text(), "command.com");
    if (interpreter.find_one_of(whitespace) >= 0) interpreter.quote();
}

char program_drive() { return drive; }

String current_directory() {
    String directory;
    read_platform_text(directory, 99, platform::get_current_directory);
    return directory;
}

String drive_directory(char drive) {
    String directory;
    read_platform_text(directory, 99, [drive](char* buffer, std::uint32_t size) {
        return platform::get_drive_directory(drive, buffer, size);
    });
    return directory;
}

const String& temp_directory() {
    static String directory;
    if (directory.length() == 0) {
        read_platform_text(directory, 260, platform::get_temp_path);
        if (directory.length() == 0) directory = fallback_temp_directory;
    }
    return directory;
}

String temp_file_name(const char* directory) {
    if (directory == nullptr || directory[0] == 0) directory = temp_directory().text();
    String name;
    read_platform_text(name, 260, [directory](char* buffer, std::uint32_t size) {
        return platform::create_temp_file(directory, "KWB", buffer, size);
    });
    return name;
}

bool expand_environment(String& text) {
    String expanded;
    const bool done = read_platform_text(expanded, 256, [&text](char* buffer, std::uint32_t size) {
        return platform::expand_environment(text.text(), buffer, size);
    });
    if (done) text = std::move(expanded);
    return done;
}

}  // namespace rubo
