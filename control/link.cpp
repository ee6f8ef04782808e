// Connection handling: retry timer, the paced send queue and the read path.
#include "link.h"

#include <QHostAddress>
#include <cstdlib>

namespace {

void SetState(ControlLink& link, LinkState state) {
    link.state = state;
    if (link.onState) link.onState(state);
}

void TryConnect(ControlLink& link) {
    link.socket->abort();
    link.socket->connectToHost(QHostAddress(QHostAddress::LocalHost), link.port);
}

void WriteNext(ControlLink& link) {
    if (link.queue.empty() || link.state != LinkState::Connected) {
        link.paceTimer->stop();
        return;
    }
    if (link.sinceLastWrite.isValid() && link.sinceLastWrite.elapsed() < kCommandSpacingMs) {
        link.paceTimer->start(int(kCommandSpacingMs - link.sinceLastWrite.elapsed()));
        return;
    }
    const Packet& packet = link.queue.front();
    link.socket->write(reinterpret_cast<const char*>(packet.data()), qint64(packet.size()));
    link.socket->flush();
    link.sinceLastWrite.start();
    link.queue.pop_front();
    if (!link.queue.empty()) link.paceTimer->start(kCommandSpacingMs);
}

void ReadAvailable(ControlLink& link) {
    QByteArray bytes = link.socket->readAll();
    std::vector<StatusMessage> messages = FeedStatusStream(
        link.stream, reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    for (const StatusMessage& message : messages)
        if (link.onMessage) link.onMessage(message);
}

}  // namespace

uint16_t CommandPortFromEnvironment() {
    const char* text = std::getenv("QUORVANE_NET_PORT");
    if (!text) return kCommandPort;
    int value = std::atoi(text);
    return value > 0 && value < 65536 ? uint16_t(value) : kCommandPort;
}

void StartControlLink(ControlLink& link, QObject* parent, uint16_t port) {
    link.port = port;
    link.socket = new QTcpSocket(parent);
    link.retryTimer = new QTimer(parent);
    link.retryTimer->setSingleShot(true);
    link.paceTimer = new QTimer(parent);
    link.paceTimer->setSingleShot(true);
    ResetStatusStream(link.stream);

    QObject::connect(link.socket, &QTcpSocket::connected, parent, [&link] {
        link.socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        SetState(link, LinkState::Connected);
        WriteNext(link);
    });
    QObject::connect(link.socket, &QTcpSocket::errorOccurred, parent,
                     [&link](QAbstractSocket::SocketError) {
                         if (link.state == LinkState::Connecting) {
                             if (--link.attemptsLeft > 0) {
                                 link.retryTimer->start(kConnectRetryMs);
                             } else {
                                 SetState(link, LinkState::NotFound);
                             }
                         }
                     });
    QObject::connect(link.socket, &QTcpSocket::disconnected, parent, [&link] {
        if (link.state == LinkState::Connected) {
            link.queue.clear();
            SetState(link, LinkState::Lost);
        }
    });
    QObject::connect(link.socket, &QTcpSocket::readyRead, parent, [&link] { ReadAvailable(link); });
    QObject::connect(link.retryTimer, &QTimer::timeout, parent, [&link] { TryConnect(link); });
    QObject::connect(link.paceTimer, &QTimer::timeout, parent, [&link] { WriteNext(link); });

    link.attemptsLeft = kConnectAttempts;
    SetState(link, LinkState::Connecting);
    TryConnect(link);
}

void RetryControlLink(ControlLink& link) {
    if (link.state == LinkState::Connected || link.state == LinkState::Connecting) return;
    link.attemptsLeft = kConnectAttempts;
    ResetStatusStream(link.stream);
    SetState(link, LinkState::Connecting);
    TryConnect(link);
}

bool SendCommand(ControlLink& link, const Packet& packet) {
    if (packet.empty() || link.state != LinkState::Connected) return false;
    link.queue.push_back(packet);
    if (!link.paceTimer->isActive()) WriteNext(link);
    return true;
}

const char* LinkStateText(LinkState state) {
    switch (state) {
        case LinkState::Connecting:
            return "Connecting to Quorvane...";
        case LinkState::Connected:
            return "Connected to Quorvane";
        case LinkState::NotFound:
            return "Not connected: Quorvane did not answer on the command port";
        case LinkState::Lost:
            return "Connection lost: Quorvane closed the connection. Restart Quorvane to continue.";
    }
    return "";
}
