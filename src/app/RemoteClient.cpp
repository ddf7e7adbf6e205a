// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RemoteClient.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cstdio>

#include "app/DBusService.h"
#include "app/SingleInstance.h"

namespace pelmora {

namespace {

// A copy that holds the guard takes its name once its window is up; one just started needs
// the toolkit, the device and the settings first.
constexpr guint kNameWaitMs = 30000;

int Fail(const std::string& text) {
    std::fprintf(stderr, "pelmora: %s\n", text.c_str());
    return 1;
}

std::string ErrorText(GError* error) {
    if (!error) return "unknown error";
    g_dbus_error_strip_remote_error(error);
    std::string text = error->message;
    g_error_free(error);
    return text;
}

enum class Running { Yes, No, Unknown };

Running CopyRunning() {
    SingleInstance guard;
    if (!guard.Acquire(0)) return Running::Yes;
    if (!guard.Owned()) return Running::Unknown;  // no guard possible: the bus tells
    guard.Release();
    return Running::No;
}

bool NameHasOwner(GDBusConnection* bus) {
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner",
                                                  g_variant_new("(s)", kBusName), G_VARIANT_TYPE("(b)"),
                                                  G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (!reply) return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

struct NameWait {
    GMainLoop* loop = nullptr;
    bool appeared = false;
    bool childEnded = false;
};

// Waits until the program's name has an owner; false after the deadline or when `child`
// (a copy this client started, 0 for none) ended first.
bool WaitForName(GDBusConnection* bus, GPid child) {
    NameWait wait;
    wait.loop = g_main_loop_new(nullptr, FALSE);
    const guint watch = g_bus_watch_name_on_connection(
        bus, kBusName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, gpointer data) {
            auto* w = static_cast<NameWait*>(data);
            w->appeared = true;
            g_main_loop_quit(w->loop);
        },
        nullptr, &wait, nullptr);
    const guint timeout = g_timeout_add(
        kNameWaitMs,
        [](gpointer data) -> gboolean {
            g_main_loop_quit(static_cast<NameWait*>(data)->loop);
            return G_SOURCE_REMOVE;
        },
        &wait);
    guint childWatch = 0;
    if (child)
        childWatch = g_child_watch_add(
            child,
            [](GPid pid, gint, gpointer data) {
                auto* w = static_cast<NameWait*>(data);
                w->childEnded = true;
                g_spawn_close_pid(pid);
                g_main_loop_quit(w->loop);
            },
            &wait);
    g_main_loop_run(wait.loop);
    g_bus_unwatch_name(watch);
    g_source_remove(timeout);
    // A started copy lives on: only the watch goes (its child is reaped by init after we end).
    if (childWatch && !wait.childEnded) g_source_remove(childWatch);
    g_main_loop_unref(wait.loop);
    return wait.appeared;
}

// Starts the program without options, in a session of its own, so that it outlives this
// client and the terminal it was started from. It keeps none of the client's output: a
// caller reading that to its end (a shell's $(...)) would otherwise wait for the program.
bool StartCopy(const std::string& programPath, GPid* pid, std::string* error) {
    gchar* argv[] = {const_cast<gchar*>(programPath.c_str()), nullptr};
    GError* e = nullptr;
    const bool started = g_spawn_async(
        nullptr, argv, nullptr, static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL |
                                 G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL),
        [](gpointer) { ::setsid(); }, nullptr, pid, &e);
    if (!started) *error = ErrorText(e);
    return started;
}

int PrintStatus(GDBusConnection* bus) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, kBusName, kObjectPath, "org.freedesktop.DBus.Properties",
                                                  "GetAll", g_variant_new("(s)", kInterfaceName),
                                                  G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                                                  &error);
    if (!reply) return Fail("no status from the running copy: " + ErrorText(error));
    GVariant* all = g_variant_get_child_value(reply, 0);
    const gchar* state = "";
    const gchar* path = "";
    double seconds = 0.0;
    g_variant_lookup(all, "State", "&s", &state);
    g_variant_lookup(all, "OutputPath", "&s", &path);
    g_variant_lookup(all, "WriteTime", "d", &seconds);
    std::printf("%s\n", StatusLine(state, path, seconds).c_str());
    g_variant_unref(all);
    g_variant_unref(reply);
    return 0;
}

int CallMethod(GDBusConnection* bus, const char* method) {
    GError* error = nullptr;
    // No time limit: a Record may wait for the user's answer in the window.
    GVariant* reply = g_dbus_connection_call_sync(bus, kBusName, kObjectPath, kInterfaceName, method, nullptr,
                                                  nullptr, G_DBUS_CALL_FLAGS_NONE, G_MAXINT, nullptr, &error);
    if (!reply) return Fail(ErrorText(error));
    g_variant_unref(reply);
    return 0;
}

const char* MethodOf(CommandAction action) {
    switch (action) {
        case CommandAction::Record: return "Record";
        case CommandAction::Stop: return "Stop";
        case CommandAction::Pause: return "Pause";
        default: return "Toggle";
    }
}

}  // namespace

int RunRemoteCommand(CommandAction action, const std::string& programPath) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) return Fail("the session bus cannot be reached: " + ErrorText(error));
    Running running = CopyRunning();
    if (running == Running::Unknown) running = NameHasOwner(bus) ? Running::Yes : Running::No;
    int status = 0;
    if (running == Running::No && action == CommandAction::Status) {
        std::printf("%s\n", StatusLine("NOT RUNNING", "", 0.0).c_str());
    } else if (running == Running::No && (action == CommandAction::Stop || action == CommandAction::Pause)) {
        status = Fail("Pelmora is not running: no recording to " +
                      std::string(action == CommandAction::Stop ? "stop" : "pause"));
    } else {
        GPid child = 0;
        std::string why;
        if (running == Running::No && !StartCopy(programPath, &child, &why)) {
            status = Fail("cannot start " + programPath + ": " + why);
        } else if (!WaitForName(bus, child)) {
            status = Fail(child ? "the started copy did not come up on the session bus"
                                : "the running copy does not answer on the session bus");
        } else {
            status = action == CommandAction::Status ? PrintStatus(bus) : CallMethod(bus, MethodOf(action));
        }
    }
    g_object_unref(bus);
    return status;
}

}  // namespace pelmora
