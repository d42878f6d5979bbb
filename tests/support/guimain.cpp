#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include <QApplication>

#include "gui/base/focusstyle.h"
#include "gui/base/fonts.h"

namespace {
// A home, configuration and cache folder of the test program's own, new and empty, set before
// the application object reads them: nothing a test does reaches the user's folders, and a test
// can see what the program leaves behind there.
class FreshUserFolders {
public:
    FreshUserFolders()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zorvanta-user-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
        root_ = pattern;
        const std::pair<const char*, const char*> folders[] = {
            {"HOME", "home"}, {"XDG_CONFIG_HOME", "config"}, {"XDG_CACHE_HOME", "cache"}};
        for (const auto& [variable, name] : folders) {
            std::filesystem::create_directory(root_ / name);
            setenv(variable, (root_ / name).c_str(), 1);
        }
    }
    ~FreshUserFolders() { std::filesystem::remove_all(root_); }

private:
    std::filesystem::path root_;
};
}  // namespace

// The windows need an application object for their whole life; every test shares this one.
int main(int argc, char* argv[])
{
    const FreshUserFolders userFolders;
    QApplication application(argc, argv);
    LoadFonts();
    UseFocusStyle();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
