// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

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

// The program is killed while its encoder runs on: the encoder must not hold the lock, or
// no copy of the program could start until it ends.
TEST(SingleInstance, AKilledCopysChildDoesNotKeepTheNextStartOut) {
    test::TempDir dir;
    const std::string path = dir / "pelmoraisrunning";
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        close(report[0]);
        SingleInstance guard(path);
        if (!guard.Acquire()) _exit(2);
        const pid_t encoder = fork();
        if (encoder == 0) {
            close(report[1]);
            execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        (void)!write(report[1], &encoder, sizeof encoder);
        pause();  // killed here, the lock never released
        _exit(0);
    }
    close(report[1]);
    pid_t encoder = 0;
    ASSERT_EQ(read(report[0], &encoder, sizeof encoder), static_cast<ssize_t>(sizeof encoder));
    close(report[0]);
    ASSERT_GT(encoder, 0);
    // Once it runs the encoder's own program, it holds only what it inherited across exec.
    const auto running = [&] {
        const std::vector<char> comm = test::ReadFile("/proc/" + std::to_string(encoder) + "/comm");
        return std::string(comm.begin(), comm.end()) == "sleep\n";
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!running() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_TRUE(running());

    kill(program, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(program, &status, 0), program);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the program took the lock and was killed holding it";
    EXPECT_EQ(kill(encoder, 0), 0) << "the encoder outlives the program";

    SingleInstance next(path);
    EXPECT_TRUE(next.Acquire(2000)) << "refused while the killed copy's encoder runs";
    kill(encoder, SIGKILL);
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
