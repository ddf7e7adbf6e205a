// SPDX-License-Identifier: GPL-3.0-or-later
// The service on a private session bus of its own (GTestDBus runs a dbus-daemon), driven
// with asynchronous calls from this thread, whose main context serves them.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "app/DBusService.h"
#include "app/FakeButtonPanel.h"

namespace pelmora {
namespace {

struct Reply {
    bool done = false;
    GVariant* value = nullptr;
    std::string errorName;
    std::string message;
};

// Runs the main context until `ready` holds; false after the deadline.
template <class Ready>
bool Spin(Ready ready, std::chrono::seconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        g_main_context_iteration(nullptr, FALSE);
    }
    return true;
}

class DBusServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
        g_test_dbus_up(bus_);
        connection_ = g_dbus_connection_new_for_address_sync(
            g_test_dbus_get_bus_address(bus_),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        ASSERT_NE(connection_, nullptr);
        service_ = std::make_unique<DBusService>(commands_);
        service_->Own();
        ASSERT_TRUE(Spin([this] { return HasOwner(); })) << "the service did not take its name";
        signalId_ = g_dbus_connection_signal_subscribe(
            connection_, kBusName, kInterfaceName, "StateChanged", kObjectPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
               gpointer self) {
                const gchar* state = nullptr;
                g_variant_get(parameters, "(&s)", &state);
                static_cast<DBusServiceTest*>(self)->signals_.emplace_back(state);
            },
            this, nullptr);
    }

    void TearDown() override {
        if (signalId_) g_dbus_connection_signal_unsubscribe(connection_, signalId_);
        if (connection_) {
            g_dbus_connection_close_sync(connection_, nullptr, nullptr);
            g_object_unref(connection_);
        }
        // The service holds the process's session bus connection, which must be gone
        // before its bus is.
        service_.reset();
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        g_test_dbus_down(bus_);
        g_object_unref(bus_);
    }

    bool HasOwner() {
        GVariant* r = g_dbus_connection_call_sync(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner",
                                                  g_variant_new("(s)", kBusName), G_VARIANT_TYPE("(b)"),
                                                  G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        gboolean owned = FALSE;
        if (r) g_variant_get(r, "(b)", &owned), g_variant_unref(r);
        return owned;
    }

    Reply Call(const char* interface, const char* method, GVariant* parameters = nullptr) {
        Reply reply;
        g_dbus_connection_call(
            connection_, kBusName, kObjectPath, interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
            nullptr,
            [](GObject* source, GAsyncResult* result, gpointer data) {
                auto* r = static_cast<Reply*>(data);
                GError* error = nullptr;
                r->value = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
                if (error) {
                    gchar* name = g_dbus_error_get_remote_error(error);
                    r->errorName = name ? name : "";
                    g_free(name);
                    g_dbus_error_strip_remote_error(error);
                    r->message = error->message;
                    g_error_free(error);
                }
                r->done = true;
            },
            &reply);
        EXPECT_TRUE(Spin([&] { return reply.done; })) << method;
        return reply;
    }

    Reply Method(const char* method) { return Call(kInterfaceName, method); }

    std::string StringProperty(const char* name) {
        Reply r = Call("org.freedesktop.DBus.Properties", "Get", g_variant_new("(ss)", kInterfaceName, name));
        if (!r.value) return "<" + r.errorName + ">";
        GVariant* inner = nullptr;
        g_variant_get(r.value, "(v)", &inner);
        std::string text = g_variant_is_of_type(inner, G_VARIANT_TYPE_STRING)
                               ? g_variant_get_string(inner, nullptr)
                               : std::to_string(g_variant_get_double(inner));
        g_variant_unref(inner);
        g_variant_unref(r.value);
        return text;
    }

    GTestDBus* bus_ = nullptr;
    GDBusConnection* connection_ = nullptr;
    FakePanel panel_;
    RemoteCommands commands_{panel_};
    std::unique_ptr<DBusService> service_;
    guint signalId_ = 0;
    std::vector<std::string> signals_;
};

TEST_F(DBusServiceTest, MethodsActAndPropertiesAndSignalFollowTheState) {
    EXPECT_EQ(StringProperty("State"), "READY");
    EXPECT_EQ(StringProperty("OutputPath"), "/music/out.wav");
    EXPECT_EQ(StringProperty("WriteTime"), std::to_string(0.0));
    Reply record = Method("Record");
    EXPECT_TRUE(record.errorName.empty()) << record.message;
    EXPECT_TRUE(panel_.recording);
    EXPECT_EQ(StringProperty("State"), "RECORDING");
    EXPECT_TRUE(Method("Pause").errorName.empty());
    EXPECT_TRUE(Method("Toggle").errorName.empty());  // stops, paused or not
    EXPECT_FALSE(panel_.recording);
    ASSERT_TRUE(Spin([this] { return signals_.size() >= 3; }));
    EXPECT_EQ(signals_, (std::vector<std::string>{"RECORDING", "PAUSED", "READY"}));
}

TEST_F(DBusServiceTest, ACallThatCannotActIsAnErrorWithItsReason) {
    Reply stop = Method("Stop");
    EXPECT_EQ(stop.errorName, kErrorNotRecording);
    EXPECT_EQ(stop.message, "No recording is in progress");
    panel_.startRefused = true;
    Reply record = Method("Record");
    EXPECT_EQ(record.errorName, kErrorFailed);
    EXPECT_EQ(record.message, "Zero maximum duration specified :)");
    EXPECT_FALSE(panel_.recording);
    // Nothing changed, so nothing is signalled.
    service_->StateChanged();
    Method("Stop");  // one more round trip for any signal to arrive
    EXPECT_TRUE(signals_.empty());
}

}  // namespace
}  // namespace pelmora
