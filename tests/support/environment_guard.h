#pragma once
// Sets an environment variable of this process, which the children it starts inherit,
// and puts back what it held (or removes it) at the end of a test.

#include <cstdlib>
#include <optional>
#include <string>

namespace rubo::test {

class EnvironmentGuard {
public:
    EnvironmentGuard(const char* name, const std::string& value) : name_(name) {
        if (const char* held = std::getenv(name)) saved_ = held;
        set(value.c_str());
    }
    ~EnvironmentGuard() { set(saved_ ? saved_->c_str() : nullptr); }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    // A null value removes the variable.
    void set(const char* value) const {
#ifdef _WIN32
        _putenv_s(name_.c_str(), value != nullptr ? value : "");
#else
        if (value != nullptr)
            setenv(name_.c_str(), value, 1);
        else
            unsetenv(name_.c_str());
#endif
    }

    std::string name_;
    std::optional<std::string> saved_;
};

}  // namespace rubo::test
