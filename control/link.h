// The control connection to Quorvane: connects to 127.0.0.1 on the command
// port, retrying while Quorvane starts, paces outgoing commands and feeds the
// incoming bytes to the status parser. Quorvane serves exactly one connection
// per run and takes at most one packet per 40 ms tick (a newer packet
// replaces an untaken one), so every command goes out as one write, and
// writes are at least kCommandSpacingMs apart.
//
// Everything here runs on the Qt GUI thread; the callbacks are called from
// the event loop.
#pragma once

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <deque>
#include <functional>

#include "encoder.h"
#include "status.h"

constexpr int kCommandSpacingMs = 60;
constexpr int kConnectRetryMs = 250;
constexpr int kConnectAttempts = 40;  // about ten seconds

enum class LinkState { Connecting, Connected, NotFound, Lost };

struct ControlLink {
    QTcpSocket* socket = nullptr;
    QTimer* retryTimer = nullptr;
    QTimer* paceTimer = nullptr;
    QElapsedTimer sinceLastWrite;
    std::deque<Packet> queue;
    uint16_t port = kCommandPort;
    int attemptsLeft = 0;
    LinkState state = LinkState::Connecting;
    StatusStream stream = {};
    std::function<void(LinkState)> onState;
    std::function<void(const StatusMessage&)> onMessage;
};

// The command port: QUORVANE_NET_PORT when set to a valid number, else 2023.
uint16_t CommandPortFromEnvironment();

// Creates the socket and timers (children of `parent`) and starts connecting.
// The callbacks must be set before.
void StartControlLink(ControlLink& link, QObject* parent, uint16_t port);

// Starts a new round of connection attempts (after NotFound).
void RetryControlLink(ControlLink& link);

// Queues one command; false (and nothing queued) when the packet is empty
// or there is no connection.
bool SendCommand(ControlLink& link, const Packet& packet);

const char* LinkStateText(LinkState state);
