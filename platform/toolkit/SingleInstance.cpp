#include "SingleInstance.h"

#include <QLocalSocket>

#include <unistd.h>

namespace parlavox::toolkit {
namespace {

constexpr char Activate[] = "activate\n";
constexpr int WaitMs = 1000;

// One name per user and display: two desktops of one user each get their own.
QString sessionName(const QString& key) {
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("DISPLAY");
    display.replace(u'/', u'_');
    return QStringLiteral("%1-%2-%3").arg(key).arg(getuid()).arg(display);
}

bool askRunningInstance(const QString& name) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(WaitMs))
        return false;
    socket.write(Activate);
    socket.waitForBytesWritten(WaitMs);
    // The answer says the request was taken, not only received by the kernel.
    return socket.waitForReadyRead(WaitMs) && socket.readAll().startsWith("ok");
}

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent)
    : QObject(parent), name_(sessionName(key)) {
    if (askRunningInstance(name_)) {
        handedOver_ = true;
        return;
    }
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // No one answered, so a socket left behind by a crashed run is stale.
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) {
        qWarning("parlavox: cannot listen on %s: %s", qPrintable(name_),
                 qPrintable(server_->errorString()));
        return; // runs on, only without being found by a later start
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->readAll().startsWith(Activate))
                    return;
                socket->write("ok\n");
                emit activationRequested();
            });
        }
    });
}

SingleInstance::~SingleInstance() = default;

} // namespace parlavox::toolkit
