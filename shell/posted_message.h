#pragma once
// Messages that the program posts to its windows, as Qt events.
//
//   PostedMessage          one posted message: its kind, wParam and lParam
//   message kinds          the registered messages between instances and the
//                          scanner, the frame's private restore and
//                          desktop-switch messages
//   PostMessage            posts one (asynchronous, delivered in order)
//   RegisteredMessageName, RegisteredMessageByName   for crossing processes
//   PostedCommand, PostCommand   a command posted to the frame by identifier

#include <QEvent>
#include <QString>

#include <cstdint>

class QObject;

class PostedMessage : public QEvent {
 public:
  PostedMessage(QEvent::Type type, std::intptr_t wParam, std::intptr_t lParam)
      : QEvent(type), wParam_(wParam), lParam_(lParam) {}
  std::intptr_t wParam() const { return wParam_; }
  std::intptr_t lParam() const { return lParam_; }

 private:
  std::intptr_t wParam_;
  std::intptr_t lParam_;
};

// Registered once, before start-up runs.
extern const QEvent::Type kScannerPageMessage;      // "SENDCOMTWAINDRVMESSAGE"
extern const QEvent::Type kScanRequestMessage;      // "BRDLPOSTCOMTWAINHOTSCANMESSAGE"
extern const QEvent::Type kEarlierImportMessage;    // "BRDLFD2CONVERTMESSAGE"
extern const QEvent::Type kListImportMessage;       // "BRDLKPX70IMPORTMESSAGE"
extern const QEvent::Type kRestoreAfterStartMessage;  // the frame's WM_USER + 9
extern const QEvent::Type kSwitchDesktopMessage;      // the frame's WM_USER + 5

void PostMessage(QObject* target, QEvent::Type message, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

// The registered name of a message that crosses processes; empty for others.
QString RegisteredMessageName(QEvent::Type message);
// QEvent::None for a name that is not registered.
QEvent::Type RegisteredMessageByName(const QString& name);

// A command (menu or tool-bar identifier) posted to the frame.
class PostedCommand : public QEvent {
 public:
  static const QEvent::Type kType;
  explicit PostedCommand(int id) : QEvent(kType), id_(id) {}
  int id() const { return id_; }

 private:
  int id_;
};

void PostCommand(QObject* target, int id);
