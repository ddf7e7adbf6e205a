// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way every part of the program reports to the user.

#include <string>

namespace pelmora {

class LogSink {
public:
    virtual ~LogSink() = default;
    /// Appends a timed line. Safe from any thread; never waits for the window.
    /// The text is shown as given: it is never used as a format.
    virtual void AddLogLine(const std::string& text) = 0;
};

}  // namespace pelmora
