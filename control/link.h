// The control connection to Quorvane: connects to 127.0.0.1 on the command
// port, retrying while Quorvane starts, sends the queued commands one at a
// time and feeds the incoming bytes to the status parser. Quorvane serves
// exactly one connection per run and keeps one untaken packet (a newer
// packet replaces it), so a command goes out as one write, and only after
// Quorvane's window-geometry message answered the one before (link.cpp has
// the reasoning). Commands wait here, in order, meanwhile.
//
// Everything here runs on the Qt GUI thread; the callbacks are called from
// the event loop.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <deque>
#include <functional>

#include "encoder.h"
#include "status.h"

constexpr int kConnectRetryMs = 250;
constexpr int kConnectAttempts = 40;  // about ten seconds
// An answer later than this means Quorvane is held up (a dialog is open, a
// long save or conversion runs); the window then says so, once a second.
constexpr int kAnswerWaitNoticeMs = 1500;
constexpr int kAnswerWaitRepeatMs = 1000;

enum class LinkState { Connecting, Connected, NotFound, Lost };

// One command waiting to go out, with what to do once Quorvane has taken it.
struct QueuedCommand {
    Packet packet;
    std::function<void()> answered;  // may be empty
};

struct ControlLink {
    QTcpSocket* socket = nullptr;
    QTimer* retryTimer = nullptr;
    QTimer* answerTimer = nullptr;  // runs while a command is unanswered
    QElapsedTimer sinceLastWrite;
    std::deque<QueuedCommand> queue;
    bool awaitingAnswer = false;  // one command is out and not yet answered
    std::function<void()> inFlightAnswered;
    bool waitShown = false;      // the "held up" notice is showing
    int unrequestedAnswers = 0;  // geometry messages that answered nothing we sent
    uint16_t port = kCommandPort;
    int attemptsLeft = 0;
    LinkState state = LinkState::Connecting;
    StatusStream stream = {};
    std::function<void(LinkState)> onState;
    std::function<void(const StatusMessage&)> onMessage;
    // Quorvane has not answered for `waitedMs`, with `queued` more commands
    // behind; called with 0 when the answer came.
    std::function<void(qint64 waitedMs, size_t queued)> onWaiting;
};

// The command port: QUORVANE_NET_PORT when set to a valid number, else 2023.
uint16_t CommandPortFromEnvironment();

// Creates the socket and timers (children of `parent`) and starts connecting.
// The callbacks must be set before.
void StartControlLink(ControlLink& link, QObject* parent, uint16_t port);

// Starts a new round of connection attempts (after NotFound).
void RetryControlLink(ControlLink& link);

// Queues one command; false (and nothing queued) when the packet is empty
// or there is no connection. `answered` runs when Quorvane's answer to this
// command arrives, that is when Quorvane has taken it and is running it; it
// never runs when the connection is lost first.
bool SendCommand(ControlLink& link, const Packet& packet, std::function<void()> answered = nullptr);

// True when nothing is queued or unanswered.
bool LinkIdle(const ControlLink& link);

const char* LinkStateText(LinkState state);
// The status line while Quorvane holds up the commands.
QString WaitingText(qint64 waitedMs, size_t queued);
