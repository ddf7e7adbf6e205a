#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

#include "app/ProgramFolder.h"
#include "app/SingleInstance.h"
#include "support/TempDir.h"

namespace pelmora {
namespace {

TEST(SingleInstance, SecondCopyGivesUpWithinItsWait) {
    test::TempDir dir;
    SingleInstance first(dir / "pelmoraisrunning");
    ASSERT_TRUE(first.Acquire());
    ASSERT_TRUE(first.Owned());

    SingleInstance second(dir / "pelmoraisrunning");
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(second.Acquire(100));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(90)) << "it waits for the other copy before giving up";
    EXPECT_LT(waited, std::chrono::seconds(5));

    first.Release();
    EXPECT_TRUE(second.Acquire(100)) << "a released guard can be taken";
}

TEST(SingleInstance, ChildProcessesDoNotInheritTheLock) {
    test::TempDir dir;
    auto path = dir / "pelmoraisrunning";
    pid_t child;
    {
        SingleInstance guard(path);
        ASSERT_TRUE(guard.Acquire());
        child = fork();
        if (child == 0) {
            execl("/bin/sleep", "sleep", "5", static_cast<char*>(nullptr));
            _exit(127);
        }
    }  // guard released while the child still runs
    SingleInstance next(path);
    EXPECT_TRUE(next.Acquire(100));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

TEST(SingleInstance, LockFileInTheRuntimeFolder) {
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    std::string saved = old ? old : "";
    setenv("XDG_RUNTIME_DIR", "/run/user/1234", 1);
    EXPECT_EQ(SingleInstance::DefaultLockPath(), "/run/user/1234/pelmoraisrunning");
    unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(SingleInstance::DefaultLockPath(), "/tmp/pelmoraisrunning");
    if (old) setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
}

TEST(ProgramFolder, EndsWithASlashAndHoldsTheExecutable) {
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(FolderOf("/a/b/c"), "/a/b/");
    EXPECT_EQ(FolderOf("c"), "");
}

}  // namespace
}  // namespace pelmora
