// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program on the session bus: owns org.pelmora.Pelmora and serves /org/pelmora/Pelmora
// (Record, Stop, Pause, Toggle; State, OutputPath, WriteTime; StateChanged) from the
// thread-default GLib main context of the thread that made it, the window's thread.

#include <string>

#include "app/RemoteCommands.h"

namespace pelmora {

constexpr const char* kBusName = "org.pelmora.Pelmora";
constexpr const char* kObjectPath = "/org/pelmora/Pelmora";
constexpr const char* kInterfaceName = "org.pelmora.Pelmora";

class DBusService {
public:
    explicit DBusService(RemoteCommands& commands);
    ~DBusService();
    DBusService(const DBusService&) = delete;
    DBusService& operator=(const DBusService&) = delete;

    /// Asks for the name; without a session bus the program runs on unreachable.
    void Own();
    /// The window's state or output path may have changed: signals what did.
    void StateChanged();

    // For the GDBus callbacks.
    void OnBusAcquired(void* connection);
    void OnMethodCall(const char* method, void* invocation);
    void* PropertyValue(const char* property) const;

private:
    RemoteCommands& commands_;
    unsigned ownerId_ = 0;
    unsigned registrationId_ = 0;
    void* connection_ = nullptr;  // GDBusConnection*, while registered
    std::string lastState_;
    std::string lastPath_;
};

}  // namespace pelmora
