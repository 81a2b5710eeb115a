#include "platform/runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;

// Sets or clears an environment variable for one test and puts it back.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class RuntimeFolderTest : public ::testing::Test {
  protected:
    std::string Expected() const { return dir.str() + "/korvane-" + std::to_string(::getuid()); }
    TempDir dir;
    ScopedEnv no_runtime{"XDG_RUNTIME_DIR", std::nullopt};
    ScopedEnv tmpdir{"TMPDIR", dir.str()};
};

TEST_F(RuntimeFolderTest, SessionFolderWinsWhenSet) {
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::string("/run/user/4242"));
    EXPECT_EQ(RuntimeFolder(), "/run/user/4242");
}

TEST_F(RuntimeFolderTest, WithoutSessionMakesAPrivateFolderAndExportsIt) {
    EXPECT_EQ(RuntimeFolder(), Expected());
    struct stat info {};
    ASSERT_EQ(::lstat(Expected().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // A second call reuses the folder.
    EXPECT_EQ(RuntimeFolder(), Expected());

    ASSERT_TRUE(ExportRuntimeFolder());
    ASSERT_NE(std::getenv("XDG_RUNTIME_DIR"), nullptr);
    EXPECT_EQ(std::string(std::getenv("XDG_RUNTIME_DIR")), Expected());
}

TEST_F(RuntimeFolderTest, PlantedFoldersAreRefused) {
    // Open to others: someone else could put a lock or a socket in it.
    ASSERT_EQ(::mkdir(Expected().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(Expected().c_str(), 0777), 0);
    EXPECT_EQ(RuntimeFolder(), "");
    EXPECT_FALSE(ExportRuntimeFolder());
    ASSERT_EQ(::rmdir(Expected().c_str()), 0);

    // A symbolic link to a folder elsewhere.
    const std::string elsewhere = dir.str() + "/elsewhere";
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), Expected().c_str()), 0);
    EXPECT_EQ(RuntimeFolder(), "");
}

}  // namespace
}  // namespace korvane
