// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PELMORA_UNDER_TSAN is defined in a ThreadSanitizer build: it cannot start threads in the
// child of a fork of a process with threads, so tests that need that are left out there.

#if defined(__SANITIZE_THREAD__)
#define PELMORA_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define PELMORA_UNDER_TSAN 1
#endif
#endif
