#include "app/bounded_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "app/profile_file.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

void MakeSparse(const std::string& path, off_t size) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

// Only regular files within the bound are read; nothing waits for a writer
// or fills memory.
TEST(BoundedFile, OnlyRegularFilesWithinTheBoundAreRead) {
    TempDir dir;
    ASSERT_TRUE(WriteFileBytes(dir / "plain.ini", "[Options]\r\nDatabase=x\r\n"));
    ASSERT_EQ(mkfifo((dir / "pipe.ini").c_str(), 0644), 0);
    MakeSparse(dir / "largest.ini", static_cast<off_t>(kMaxDocumentBytes));
    MakeSparse(dir / "too-large.ini", static_cast<off_t>(kMaxDocumentBytes) + 1);
    struct Case {
        std::string path;
        int error;  // 0: read
    };
    const Case cases[] = {
        {dir / "plain.ini", 0},        {dir / "largest.ini", 0}, {dir / "pipe.ini", EINVAL},
        {"/dev/zero", EINVAL},         {dir.str(), EINVAL},      {dir / "too-large.ini", EFBIG},
        {dir / "missing.ini", ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string text;
        int error = -1;
        EXPECT_EQ(ReadBoundedFile(c.path, text, error), c.error == 0);
        EXPECT_EQ(error, c.error);
        if (c.error != 0) {
            EXPECT_TRUE(text.empty());
        }
        EXPECT_EQ(IsBoundedRegularFile(c.path), c.error == 0);
    }
    // The profile reader stands on it: a FIFO reads as a failure, a missing
    // file as empty.
    ProfileDocument document;
    EXPECT_FALSE(document.Load(dir / "pipe.ini"));
    EXPECT_TRUE(document.Load(dir / "missing.ini"));
    ASSERT_TRUE(document.Load(dir / "plain.ini"));
    EXPECT_EQ(document.Get("Options", "Database"), "x");
}

}  // namespace
}  // namespace korvane
