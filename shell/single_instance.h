#pragma once
// One running instance per user.
//
// The first instance takes a lock (the stand-in of the named mutex) at once
// and holds it for its whole life; the kernel drops it when the process
// ends, however it ends. Once its main window is ready it opens a local
// server (the stand-in of the window mark). A repeated start that cannot
// take the lock connects to that server, asks it to bring its window to the
// front and sends its requests; with no server yet it simply ends.
//
//   SingleInstance::TakeMutex        first start: true
//   SingleInstance::MarkMainWindow   opens the server (a stale socket is replaced)
//   FirstInstanceConnection          the repeated start's side
//
// Wire format, one line each: "ACTIVATE", "POST <registered name> <wParam>".

#include <QEvent>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QObject* parent = nullptr);
  ~SingleInstance() override;

  // "hPrevZRVVaziriInst-<user>"
  static QString BaseName();
  // In $XDG_RUNTIME_DIR, else in the temporary folder.
  static QString LockPath();
  static QString ServerPath();

  bool TakeMutex();
  bool MarkMainWindow();
  bool marked() const { return server_ != nullptr; }

 signals:
  void activateRequested();
  void messageReceived(QEvent::Type message, std::intptr_t wParam);

 private:
  void readRequests(QLocalSocket* socket);

  int lockFd_ = -1;
  std::unique_ptr<QLocalServer> server_;
};

class FirstInstanceConnection {
 public:
  FirstInstanceConnection();
  ~FirstInstanceConnection();
  // False when no first instance listens.
  bool Connect();
  bool Activate();
  bool Post(QEvent::Type message, std::intptr_t wParam);
  // Waits until the first instance has read everything.
  void Finish();

 private:
  bool send(const QByteArray& line);
  std::unique_ptr<QLocalSocket> socket_;
};
