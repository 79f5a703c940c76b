#include "common/program_folder.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace ordalia {
namespace {

// Sets an environment variable for one scope and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { m_old ? setenv(m_name, m_old->c_str(), 1) : unsetenv(m_name); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(ProgramFolderTest, UserDataHomeFollowsTheXdgRules) {
    struct Case {
        const char* name;
        const char* xdgDataHome;
        const char* home;
        const char* expected;
    };
    const Case kCases[] = {
        {"named", "/data/u", "/home/u", "/data/u"},
        {"not set", nullptr, "/home/u", "/home/u/.local/share"},
        {"relative, so ignored", "data", "/home/u", "/home/u/.local/share"},
        {"blank, so ignored", "", "/home/u", "/home/u/.local/share"},
        {"no home either", nullptr, nullptr, ""},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        const ScopedVariable xdg("XDG_DATA_HOME", c.xdgDataHome);
        const ScopedVariable home("HOME", c.home);
        EXPECT_EQ(userDataHome().string(), c.expected);
    }
}

} // namespace
} // namespace ordalia
