#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace veska::platform {
namespace {

class FileIo : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/veska_fileio_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    static mode_t TypeOf(const std::string& path) {
        struct stat info {};
        return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
    }

    std::string dir;
};

TEST_F(FileIo, ARegularFileIsReplacedWhole) {
    const std::string path = dir + "/data.txt";
    std::string reason;
    ASSERT_TRUE(ReplaceFile(path, "old", reason)) << reason;
    ASSERT_TRUE(ReplaceFile(path, "new text", reason)) << reason;
    std::string data;
    ASSERT_TRUE(ReadRegularFile(path, 100, data, reason)) << reason;
    EXPECT_EQ(data, "new text");
}

TEST_F(FileIo, AFifoIsWrittenIntoAndStaysAFifo) {
    const std::string path = dir + "/fifo";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    std::string reason;
    // Nobody reads: refused at once, and the FIFO stays.
    EXPECT_FALSE(ReplaceFile(path, "lost", reason));
    EXPECT_NE(reason.find("FIFO"), std::string::npos) << reason;
    EXPECT_EQ(TypeOf(path), S_IFIFO);

    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(ReplaceFile(path, "through", reason)) << reason;
    char buffer[16] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 7);
    EXPECT_EQ(std::string(buffer), "through");
    ::close(reader);
    EXPECT_EQ(TypeOf(path), S_IFIFO);
}

TEST_F(FileIo, ADeviceNodeIsNeverReplaced) {
    std::string reason;
    EXPECT_TRUE(ReplaceFile("/dev/null", "into the device", reason)) << reason;
    EXPECT_EQ(TypeOf("/dev/null"), S_IFCHR);
    if (::access("/dev/full", W_OK) == 0) {
        EXPECT_FALSE(ReplaceFile("/dev/full", "no room", reason));
        EXPECT_EQ(reason, "No space left on device");
        EXPECT_EQ(TypeOf("/dev/full"), S_IFCHR);
    }
}

}  // namespace
}  // namespace veska::platform
