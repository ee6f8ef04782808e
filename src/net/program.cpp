// The program's wiring: the shell's timer takes the newest packet from the
// mailbox and dispatches it, and the loaders' and the playback's reports
// become status messages to the control program.
#include "net/program.h"

#include "app/shell.h"
#include "common/packet.h"
#include "common/report.h"
#include "net/dispatch.h"
#include "net/messages.h"
#include "net/server.h"

namespace {

uint8_t g_packet[kPacketSize];  // the timer's private copy of the mailbox

void PollCommand() {
    int length = 0;
    if (TakePacket(g_packet, &length)) DispatchCommand(g_packet, length);
}

void SendPortLoaded(uint16_t port) {
    SendPortLoadedMessage(port);
}

// The hook that sends "port loaded" and "frame done" as status messages.
void InstallStatusReports() {
    SetReportHook({SendPortLoaded, SendVideoProgressMessage});
}

}  // namespace

int RunQuorvane(int argc, char** argv) {
    InstallStatusReports();
    return RunShell(argc, argv, {StartCommandServer, PollCommand});
}
