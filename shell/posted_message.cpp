#include "shell/posted_message.h"

#include <QCoreApplication>

#include <array>
#include <utility>

namespace {
QEvent::Type registerType() { return static_cast<QEvent::Type>(QEvent::registerEventType()); }
}  // namespace

const QEvent::Type kScannerPageMessage = registerType();
const QEvent::Type kScanRequestMessage = registerType();
const QEvent::Type kEarlierImportMessage = registerType();
const QEvent::Type kListImportMessage = registerType();
const QEvent::Type kRestoreAfterStartMessage = registerType();
const QEvent::Type kSwitchDesktopMessage = registerType();
const QEvent::Type PostedCommand::kType = registerType();

namespace {
const std::array<std::pair<const QEvent::Type*, const char*>, 4> kRegisteredNames = {{
    {&kScannerPageMessage, "SENDCOMTWAINDRVMESSAGE"},
    {&kScanRequestMessage, "BRDLPOSTCOMTWAINHOTSCANMESSAGE"},
    {&kEarlierImportMessage, "BRDLFD2CONVERTMESSAGE"},
    {&kListImportMessage, "BRDLKPX70IMPORTMESSAGE"},
}};
}  // namespace

void PostMessage(QObject* target, QEvent::Type message, std::intptr_t wParam, std::intptr_t lParam) {
  QCoreApplication::postEvent(target, new PostedMessage(message, wParam, lParam));
}

QString RegisteredMessageName(QEvent::Type message) {
  for (const auto& [type, name] : kRegisteredNames)
    if (*type == message) return QString::fromLatin1(name);
  return {};
}

QEvent::Type RegisteredMessageByName(const QString& name) {
  for (const auto& [type, registered] : kRegisteredNames)
    if (name == QLatin1String(registered)) return *type;
  return QEvent::None;
}

void PostCommand(QObject* target, int id) { QCoreApplication::postEvent(target, new PostedCommand(id)); }
