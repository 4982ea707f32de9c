#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

namespace kv::app {

// The single-instance hand-over: the first window listens on a per-user local socket; a second start
// sends it its command line, waits until the window has handled it, and ends.
class TRunOnce : public QObject {
    Q_OBJECT
public:
    // The hand-over message: this number, a line feed, then the sender's command line.
    static constexpr int kHandOverMessage = 31337;

    explicit TRunOnce(QObject* parent = nullptr);
    ~TRunOnce() override;

    // The socket of this user's running window: $XDG_RUNTIME_DIR/kavrel.socket, or a per-user name in
    // the temporary folder when there is no runtime folder.
    static QString SocketPath();

    // Sends the command line to a running window; true when one took it and handled it.
    static bool HandOver(const std::string& command_line, int timeout_ms = 30000);

    // Starts listening; `received` gets every handed-over command line, and the sender is answered after
    // it returns. False when the socket cannot be made.
    bool Listen(std::function<void(const std::string&)> received);

private:
    void Accept();

    std::unique_ptr<QLocalServer> server_;
    std::function<void(const std::string&)> received_;
};

}  // namespace kv::app
