// Connection handling: retry timer, the answer-paced send queue and the read
// path.
//
// Why commands wait for answers. Quorvane's receive thread puts each packet
// into a one-slot mailbox, replacing a packet not yet taken; its timer takes
// at most one packet per 40 ms tick, and a tick also waits for a long redraw
// (a full layout, a video frame) and for any dialog or message box Quorvane
// has open. No fixed spacing is safe against that. But the first thing
// Quorvane's dispatcher does with a packet it has taken out of the mailbox is
// send the window-geometry message (00 B1). So that message says "the slot is
// empty again", and the link keeps at most one packet outside the control
// program: the next is written only when the message answering the previous
// one has come. If Quorvane then spends long on the previous command (a save,
// a conversion with its closing box), the next packet simply waits in the
// slot, and nothing else is sent that could replace it. The same rule keeps
// two packets from ever meeting in one read of Quorvane's receive thread.
//
// This holds only while every geometry message answers a packet. One sent on
// Quorvane's own initiative (say, when its window moves) while our packet
// still waits in the slot would let the next packet replace it. The message
// carries nothing that ties it to a packet, so no rule on this side can tell
// such a message from an answer: comparing geometries fails for a packet
// taken right after a move (its answer carries the new geometry), and any
// time limit after which we "assume" an answer fails while a dialog is open.
// Therefore we rely on Quorvane's side: it sends the message nowhere but at
// the start of DispatchCommand (net/dispatch.cpp); redraws and window moves
// only track the geometry into its settings file (TrackWindowGeometry) and
// send nothing. tests/control/link_e2e_test.cpp holds Quorvane to that: no
// message answers nothing we sent (`unrequestedAnswers` stays 0) through the
// redraws of a full layout and a move of its window. A Quorvane
// that ever reports moves by itself must give those reports a tag of their
// own. A geometry message that comes while nothing is out is counted in
// `unrequestedAnswers` and changes nothing.
#include "link.h"

#include <QHostAddress>
#include <cstdlib>
#include <utility>

namespace {

void SetState(ControlLink& link, LinkState state) {
    link.state = state;
    if (link.onState) link.onState(state);
}

// Forgets what was queued or unanswered; for a lost or new connection.
void ForgetCommands(ControlLink& link) {
    link.queue.clear();
    link.awaitingAnswer = false;
    link.inFlightAnswered = nullptr;
    link.waitShown = false;
    if (link.answerTimer) link.answerTimer->stop();
}

void TryConnect(ControlLink& link) {
    link.socket->abort();
    link.socket->connectToHost(QHostAddress(QHostAddress::LocalHost), link.port);
}

void WriteNext(ControlLink& link) {
    if (link.queue.empty() || link.awaitingAnswer || link.state != LinkState::Connected) return;
    QueuedCommand command = std::move(link.queue.front());
    link.queue.pop_front();
    link.socket->write(reinterpret_cast<const char*>(command.packet.data()),
                       qint64(command.packet.size()));
    link.socket->flush();
    link.awaitingAnswer = true;
    link.inFlightAnswered = std::move(command.answered);
    link.sinceLastWrite.start();
    link.answerTimer->start(kAnswerWaitNoticeMs);
}

void AnswerArrived(ControlLink& link) {
    if (!link.awaitingAnswer) {
        ++link.unrequestedAnswers;
        return;
    }
    link.awaitingAnswer = false;
    link.answerTimer->stop();
    std::function<void()> answered = std::move(link.inFlightAnswered);
    link.inFlightAnswered = nullptr;
    if (link.waitShown) {
        link.waitShown = false;
        if (link.onWaiting) link.onWaiting(0, link.queue.size());
    }
    WriteNext(link);
    if (answered) answered();
}

void AnswerLate(ControlLink& link) {
    if (!link.awaitingAnswer) return;
    link.waitShown = true;
    if (link.onWaiting) link.onWaiting(link.sinceLastWrite.elapsed(), link.queue.size());
    link.answerTimer->start(kAnswerWaitRepeatMs);
}

void ReadAvailable(ControlLink& link) {
    QByteArray bytes = link.socket->readAll();
    std::vector<StatusMessage> messages = FeedStatusStream(
        link.stream, reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    for (const StatusMessage& message : messages) {
        if (link.onMessage) link.onMessage(message);
        if (message.kind == StatusKind::WindowGeometry) AnswerArrived(link);
        if (link.state != LinkState::Connected) return;
    }
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
    link.answerTimer = new QTimer(parent);
    link.answerTimer->setSingleShot(true);
    ResetStatusStream(link.stream);

    QObject::connect(link.socket, &QTcpSocket::connected, parent, [&link] {
        link.socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        ForgetCommands(link);
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
            ForgetCommands(link);
            SetState(link, LinkState::Lost);
        }
    });
    QObject::connect(link.socket, &QTcpSocket::readyRead, parent, [&link] { ReadAvailable(link); });
    QObject::connect(link.retryTimer, &QTimer::timeout, parent, [&link] { TryConnect(link); });
    QObject::connect(link.answerTimer, &QTimer::timeout, parent, [&link] { AnswerLate(link); });

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

bool SendCommand(ControlLink& link, const Packet& packet, std::function<void()> answered) {
    if (packet.empty() || link.state != LinkState::Connected) return false;
    link.queue.push_back({packet, std::move(answered)});
    WriteNext(link);
    return true;
}

bool LinkIdle(const ControlLink& link) {
    return link.queue.empty() && !link.awaitingAnswer;
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

QString WaitingText(qint64 waitedMs, size_t queued) {
    QString text = QString(
                       "Waiting for Quorvane: it has not taken the last command for %1 s "
                       "(is a dialog open there?).")
                       .arg(waitedMs / 1000);
    if (queued == 1) text += " 1 more command waits.";
    if (queued > 1) text += QString(" %1 more commands wait, in order.").arg(queued);
    return text;
}
