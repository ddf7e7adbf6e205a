// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DBusService.h"

#include <gio/gio.h>

#include <cstring>

namespace pelmora {

namespace {

constexpr const char kIntrospection[] =
    "<node>"
    " <interface name='org.pelmora.Pelmora'>"
    "  <method name='Record'/>"
    "  <method name='Stop'/>"
    "  <method name='Pause'/>"
    "  <method name='Toggle'/>"
    "  <property name='State' type='s' access='read'/>"
    "  <property name='OutputPath' type='s' access='read'/>"
    "  <property name='WriteTime' type='d' access='read'>"
    "   <annotation name='org.freedesktop.DBus.Property.EmitsChangedSignal' value='false'/>"
    "  </property>"
    "  <signal name='StateChanged'><arg name='state' type='s'/></signal>"
    " </interface>"
    "</node>";

GDBusNodeInfo* Introspection() {
    static GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    return info;
}

void MethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant*,
                GDBusMethodInvocation* invocation, gpointer self) {
    static_cast<DBusService*>(self)->OnMethodCall(method, invocation);
}

GVariant* GetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property, GError**,
                      gpointer self) {
    return static_cast<GVariant*>(static_cast<DBusService*>(self)->PropertyValue(property));
}

const GDBusInterfaceVTable kVTable = {MethodCall, GetProperty, nullptr, {nullptr}};

void BusAcquired(GDBusConnection* connection, const gchar*, gpointer self) {
    static_cast<DBusService*>(self)->OnBusAcquired(connection);
}

}  // namespace

DBusService::DBusService(RemoteCommands& commands) : commands_(commands) {}

DBusService::~DBusService() {
    if (registrationId_ && connection_)
        g_dbus_connection_unregister_object(static_cast<GDBusConnection*>(connection_), registrationId_);
    if (ownerId_) g_bus_unown_name(ownerId_);
    if (connection_) g_object_unref(connection_);
}

void DBusService::Own() {
    if (ownerId_) return;
    lastState_ = commands_.Panel().StateName();
    lastPath_ = commands_.Panel().OutputPath();
    // Another copy on the same bus keeps its name: no queueing, no replacing.
    ownerId_ = g_bus_own_name(G_BUS_TYPE_SESSION, kBusName, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, BusAcquired,
                              nullptr, nullptr, this, nullptr);
}

void DBusService::OnBusAcquired(void* connection) {
    auto* bus = static_cast<GDBusConnection*>(connection);
    registrationId_ = g_dbus_connection_register_object(bus, kObjectPath, Introspection()->interfaces[0], &kVTable,
                                                        this, nullptr, nullptr);
    if (registrationId_) connection_ = g_object_ref(bus);
}

void DBusService::OnMethodCall(const char* method, void* invocationPointer) {
    auto* invocation = static_cast<GDBusMethodInvocation*>(invocationPointer);
    RemoteAction action;
    if (std::strcmp(method, "Record") == 0)
        action = RemoteAction::Record;
    else if (std::strcmp(method, "Stop") == 0)
        action = RemoteAction::Stop;
    else if (std::strcmp(method, "Pause") == 0)
        action = RemoteAction::Pause;
    else
        action = RemoteAction::Toggle;
    const RemoteOutcome outcome = commands_.Perform(action);
    // The state may have moved on inside a nested loop already; say so before the reply.
    StateChanged();
    if (outcome.Done())
        g_dbus_method_invocation_return_value(invocation, nullptr);
    else
        g_dbus_method_invocation_return_dbus_error(invocation, outcome.errorName.c_str(), outcome.message.c_str());
}

void* DBusService::PropertyValue(const char* property) const {
    const ButtonPanel& panel = commands_.Panel();
    if (std::strcmp(property, "State") == 0) return g_variant_new_string(panel.StateName().c_str());
    if (std::strcmp(property, "OutputPath") == 0) return g_variant_new_string(panel.OutputPath().c_str());
    return g_variant_new_double(panel.WriteTime());
}

void DBusService::StateChanged() {
    const std::string state = commands_.Panel().StateName();
    const std::string path = commands_.Panel().OutputPath();
    const bool stateChanged = state != lastState_;
    const bool pathChanged = path != lastPath_;
    if (!stateChanged && !pathChanged) return;
    lastState_ = state;
    lastPath_ = path;
    if (!connection_) return;
    auto* bus = static_cast<GDBusConnection*>(connection_);
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    if (stateChanged) g_variant_builder_add(&changed, "{sv}", "State", g_variant_new_string(state.c_str()));
    if (pathChanged) g_variant_builder_add(&changed, "{sv}", "OutputPath", g_variant_new_string(path.c_str()));
    g_dbus_connection_emit_signal(bus, nullptr, kObjectPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                  g_variant_new("(sa{sv}as)", kInterfaceName, &changed, nullptr), nullptr);
    if (stateChanged)
        g_dbus_connection_emit_signal(bus, nullptr, kObjectPath, kInterfaceName, "StateChanged",
                                      g_variant_new("(s)", state.c_str()), nullptr);
}

}  // namespace pelmora
