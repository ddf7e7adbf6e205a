// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CI (CI=true) installs everything the tests need and runs them as an ordinary user, so there
// a test that cannot run fails instead of skipping: a skip would leave a layer unrun with the
// suite green.
//   if (!ready) {
//       if (test::UnderCi()) FAIL() << why;
//       GTEST_SKIP() << why;
//   }

#include <cstdlib>
#include <cstring>

namespace pelmora::test {

inline bool UnderCi() {
    const char* ci = std::getenv("CI");
    return ci && std::strcmp(ci, "true") == 0;
}

}  // namespace pelmora::test
