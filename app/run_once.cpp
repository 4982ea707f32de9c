#include "app/run_once.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

namespace kv::app {
namespace {

constexpr char kAcknowledgement = '\x06';

QByteArray Message(const std::string& command_line) {
    return QByteArray::number(TRunOnce::kHandOverMessage) + '\n' + QByteArray::fromStdString(command_line) + '\0';
}

}  // namespace

TRunOnce::TRunOnce(QObject* parent) : QObject(parent) {}

TRunOnce::~TRunOnce() = default;

QString TRunOnce::SocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime + "/kavrel.socket";
    return QDir::tempPath() + QString("/kavrel-%1.socket").arg(getuid());
}

bool TRunOnce::HandOver(const std::string& command_line, int timeout_ms) {
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    if (!socket.waitForConnected(timeout_ms)) return false;
    socket.write(Message(command_line));
    if (!socket.waitForBytesWritten(timeout_ms)) return false;
    // The window answers once it has handled the line; a window that goes away answers nothing.
    while (socket.bytesAvailable() == 0)
        if (!socket.waitForReadyRead(timeout_ms)) return false;
    return socket.read(1) == QByteArray(1, kAcknowledgement);
}

bool TRunOnce::Listen(std::function<void(const std::string&)> received) {
    received_ = std::move(received);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = SocketPath();
    if (!server_->listen(path)) {
        // Another window listens (reuse is off for this one): it keeps the socket.
        QLocalSocket probe;
        probe.connectToServer(path);
        if (probe.waitForConnected(1000)) return false;
        // A socket file left by a window that ended without removing it.
        QLocalServer::removeServer(path);
        if (!server_->listen(path)) return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &TRunOnce::Accept);
    return true;
}

void TRunOnce::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf('\0');
            if (end < 0) return;
            // The number is not checked: whatever arrives on this socket is a command line.
            const qsizetype newline = buffer->indexOf('\n');
            const qsizetype start = newline >= 0 && newline < end ? newline + 1 : 0;
            const QByteArray line = buffer->mid(start, end - start);
            buffer->clear();
            if (received_) received_(line.toStdString());
            socket->write(QByteArray(1, kAcknowledgement));
            socket->flush();
        });
    }
}

}  // namespace kv::app
