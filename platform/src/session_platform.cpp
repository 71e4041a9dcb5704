// Choosing Qt's platform before the application object exists.
#include "platform/session_platform.h"

#include <QByteArray>
#include <QDir>
#include <QLibraryInfo>
#include <QStringList>

#include "tolvek/callstack.h"

namespace platform {

namespace {

std::string Environment(const char* name) {
  return qEnvironmentVariable(name).toStdString();
}

bool XcbPluginIn(const QString& folder) {
  return !QDir(folder + "/platforms").entryList({"libqxcb*"}, QDir::Files).isEmpty();
}

}  // namespace

std::string ChooseQtPlatform(const SessionFacts& facts) {
  bool wayland = facts.sessionType == "wayland" || !facts.waylandDisplay.empty();
  if (!facts.qpaPlatform.empty() || !wayland || facts.display.empty() || !facts.xcbPluginPresent)
    return {};
  return "xcb";
}

SessionFacts CurrentSessionFacts() {
  SessionFacts facts;
  facts.qpaPlatform = Environment("QT_QPA_PLATFORM");
  facts.sessionType = Environment("XDG_SESSION_TYPE");
  facts.waylandDisplay = Environment("WAYLAND_DISPLAY");
  facts.display = Environment("DISPLAY");
  QStringList folders = qEnvironmentVariable("QT_PLUGIN_PATH").split(':', Qt::SkipEmptyParts);
  folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
  for (const QString& folder : folders) facts.xcbPluginPresent |= XcbPluginIn(folder);
  return facts;
}

void PreferX11OnWayland() {
  TOLVEK_TRACE("PreferX11OnWayland");
  std::string platform = ChooseQtPlatform(CurrentSessionFacts());
  if (!platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
}

}  // namespace platform
