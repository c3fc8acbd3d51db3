#include "shell/single_instance.h"

#include "shell/posted_message.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr int kConnectTimeoutMs = 2000;

QString userName() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return QString::fromLocal8Bit(pw->pw_name);
  return QString::number(::getuid());
}

QString instanceFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime;
  return QDir::tempPath();
}
}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();
  if (lockFd_ >= 0) ::close(lockFd_);
}

QString SingleInstance::BaseName() { return QStringLiteral("hPrevZRVVaziriInst-") + userName(); }

QString SingleInstance::LockPath() { return instanceFolder() + QLatin1Char('/') + BaseName() + QStringLiteral(".lock"); }

QString SingleInstance::ServerPath() { return instanceFolder() + QLatin1Char('/') + BaseName(); }

bool SingleInstance::TakeMutex() {
  if (lockFd_ >= 0) return true;
  const QByteArray path = QFile::encodeName(LockPath());
  const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  // Without a lock file there is no way to tell; run rather than refuse.
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  lockFd_ = fd;
  return true;
}

bool SingleInstance::MarkMainWindow() {
  if (server_) return true;
  auto server = std::make_unique<QLocalServer>();
  server->setSocketOptions(QLocalServer::UserAccessOption);
  // We hold the lock, so a socket left behind belongs to a process that is gone.
  QLocalServer::removeServer(ServerPath());
  if (!server->listen(ServerPath())) return false;
  connect(server.get(), &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequests(socket); });
      connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        readRequests(socket);
        socket->deleteLater();
      });
      readRequests(socket);
    }
  });
  server_ = std::move(server);
  return true;
}

void SingleInstance::readRequests(QLocalSocket* socket) {
  while (socket->canReadLine()) {
    const QList<QByteArray> parts = socket->readLine().trimmed().split(' ');
    if (parts.value(0) == "ACTIVATE") {
      emit activateRequested();
    } else if (parts.value(0) == "POST" && parts.size() == 3) {
      const QEvent::Type message = RegisteredMessageByName(QString::fromLatin1(parts[1]));
      bool ok = false;
      const qlonglong wParam = parts[2].toLongLong(&ok);
      if (message != QEvent::None && ok) emit messageReceived(message, static_cast<std::intptr_t>(wParam));
    }
  }
}

FirstInstanceConnection::FirstInstanceConnection() = default;
FirstInstanceConnection::~FirstInstanceConnection() = default;

bool FirstInstanceConnection::Connect() {
  socket_ = std::make_unique<QLocalSocket>();
  socket_->connectToServer(SingleInstance::ServerPath());
  return socket_->waitForConnected(kConnectTimeoutMs);
}

bool FirstInstanceConnection::send(const QByteArray& line) {
  if (!socket_ || socket_->state() != QLocalSocket::ConnectedState) return false;
  if (socket_->write(line + '\n') < 0) return false;
  return socket_->flush() || socket_->waitForBytesWritten(kConnectTimeoutMs);
}

bool FirstInstanceConnection::Activate() { return send("ACTIVATE"); }

bool FirstInstanceConnection::Post(QEvent::Type message, std::intptr_t wParam) {
  return send("POST " + RegisteredMessageName(message).toLatin1() + ' ' + QByteArray::number(static_cast<qlonglong>(wParam)));
}

void FirstInstanceConnection::Finish() {
  if (!socket_) return;
  if (socket_->state() == QLocalSocket::ConnectedState) {
    socket_->waitForBytesWritten(kConnectTimeoutMs);
    socket_->disconnectFromServer();
    if (socket_->state() != QLocalSocket::UnconnectedState) socket_->waitForDisconnected(kConnectTimeoutMs);
  }
  socket_.reset();
}
