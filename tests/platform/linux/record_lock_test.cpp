// The record file's lock, seen from another process: held from the look at
// the last byte until the line is on disk.
#include "platform/RecordFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Whether another process finds the whole file locked for writing.
bool LockedForAnotherProcess(const std::string& path) {
    pid_t child = fork();
    if (child == 0) {
        int fd = ::open(path.c_str(), O_RDWR);
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        bool locked = fd >= 0 && ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
        _exit(locked ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

TEST(RecordFile, TheLockIsHeldThroughTheFlushAndEndsATornLineFirst) {
    const std::string path = ::testing::TempDir() + "/record_lock_test.jsonl";
    std::remove(path.c_str());
    {
        std::ofstream torn(path, std::ios::binary);
        torn << "{\"a\": 1}\n{\"torn";
    }
    std::string error;
    bool heldInFlush = false;
    ASSERT_TRUE(AppendRecordLine(path, "{\"b\": 2}\n", error, [&] {
        heldInFlush = LockedForAnotherProcess(path);
    })) << error;
    EXPECT_TRUE(heldInFlush);
    EXPECT_FALSE(LockedForAnotherProcess(path));
    std::ifstream in(path, std::ios::binary);
    std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(text, "{\"a\": 1}\n{\"torn\n{\"b\": 2}\n");
    std::remove(path.c_str());
}
