// Permission cases mean nothing to root, who may write any file. A test that
// checks what happens without permission runs its body through AsUser: in a
// child process that, when the suite runs as root, first hands the given
// folder to the unprivileged user "nobody" and becomes that user. The body's
// failures are reported by the child and fail the test in the parent.
#pragma once

#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace qv::test {

// Runs `body` as an unprivileged user with `folder` (and everything in it)
// owned by that user while it runs.
template <class Body>
void AsUser(const std::string& folder, Body body) {
    const bool root = ::geteuid() == 0;
    uid_t uid = 65534;
    gid_t gid = 65534;
    if (const passwd* pw = ::getpwnam("nobody")) {
        uid = pw->pw_uid;
        gid = pw->pw_gid;
    }
    auto own = [&](uid_t u, gid_t g) {
        if (::chown(folder.c_str(), u, g) != 0) ADD_FAILURE() << "chown " << folder;
        std::error_code ec;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
            if (::lchown(e.path().c_str(), u, g) != 0) ADD_FAILURE() << "chown " << e.path();
    };
    if (root) own(uid, gid);
    std::fflush(nullptr);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) {
            std::fprintf(stderr, "cannot become user %u\n", static_cast<unsigned>(uid));
            ::_exit(2);
        }
        body();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (root) own(0, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged part failed (status " << status << ")";
}

}  // namespace qv::test
