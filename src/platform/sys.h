// The platform layer: every operating-system service the program uses, as
// plain Sys_* functions. One implementation file per platform is chosen by
// the build (sys_posix.cpp with sys_linux_ui.cpp on Linux); sys_fake_ui.cpp
// replaces the interactive parts with a script for tests. Nothing outside
// this folder talks to the operating system's dialogs, sockets or threads.
//
// Texts handed to the dialogs are single-byte Windows-1251 strings, exactly
// as the program holds them; the implementation converts them for display.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- start-up -------------------------------------------------------------

// Called once at the top of main, before anything else here.
void Sys_Init(int* argc, char** argv);

// ---- sockets --------------------------------------------------------------

typedef intptr_t SysSocket;
constexpr SysSocket kSysInvalidSocket = -1;

// Starts the socket library (WSAStartup on Windows); false when it cannot.
bool Sys_NetStartup();
void Sys_NetCleanup();
// The last socket error code, for the log lines.
int Sys_LastSocketError();
// The last system error code (thread creation).
int Sys_LastError();

SysSocket Sys_TcpSocket();
// Binds to 127.0.0.1:port with address reuse, so a restart binds at once
// while a second running copy still fails.
bool Sys_BindLoopback(SysSocket socket, uint16_t port);
bool Sys_Listen(SysSocket socket, int backlog);
// Blocks until a client connects; fills the peer's dotted address and port.
SysSocket Sys_Accept(SysSocket listener, char peerAddress[16], uint16_t* peerPort);
// >0 bytes received, 0 when the peer closed, -1 on error.
int Sys_Recv(SysSocket socket, void* buffer, int size);
// One send call without flags; the count sent or -1.
int Sys_Send(SysSocket socket, const void* data, int size);
// Every send on `socket` goes out at once instead of waiting to be merged
// with later ones (TCP_NODELAY).
void Sys_SendImmediately(SysSocket socket);
void Sys_CloseSocket(SysSocket socket);

// ---- UDP --------------------------------------------------------------------

// One datagram to send: `size` bytes to IPv4 `address` (host byte order).
struct SysDatagram {
    const void* data;
    uint32_t size;
    uint32_t address;
    uint16_t port;
};

// An IPv4 UDP socket for sending to unicast and multicast addresses (one hop
// for multicast); kSysInvalidSocket when it cannot be made.
SysSocket Sys_UdpSocket();
// Sends the datagrams in order, many per system call. Returns how many went
// out; fewer than `count` when one failed (Sys_LastSocketError gives why).
int Sys_UdpSendBatch(SysSocket socket, const SysDatagram* datagrams, int count);
// For receivers: binds to `address`:`port` (host byte order; port 0 picks a
// free one) and gives the bound port.
bool Sys_UdpBind(SysSocket socket, uint32_t address, uint16_t port, uint16_t* boundPort);
// Waits up to `timeoutMs` for one datagram: its size, 0 on timeout, -1 on
// error; the sender's address and port (host byte order) where not null.
int Sys_UdpReceiveFrom(SysSocket socket, void* buffer, int size, int timeoutMs, uint32_t* address,
                       uint16_t* port);
// Multicast leaves through the interface holding local IPv4 `address`.
bool Sys_UdpSetMulticastInterface(SysSocket socket, uint32_t address);
// Lets the socket send to broadcast addresses.
bool Sys_UdpAllowBroadcast(SysSocket socket);
// The directed broadcast address of the directly connected network that
// holds `address` (host byte order); false when no broadcast-capable
// interface of this machine is on that network.
bool Sys_Ipv4BroadcastFor(uint32_t address, uint32_t* broadcast);
// Whether `address`:`port` can be reached from local `local` (0: any),
// asked of the routing table without sending anything: 0, or the error.
int Sys_UdpRouteError(uint32_t local, uint32_t address, uint16_t port);

// ---- the machine -------------------------------------------------------------

// The machine's fixed identity (its machine id, else its host name), the
// same on every run; false when there is none.
bool Sys_MachineId(char* out, size_t size);

// ---- threads and time -----------------------------------------------------

// Starts a detached thread running fn(arg); false when it cannot be created.
bool Sys_StartThread(void (*fn)(void*), void* arg);
// Lowers the calling thread's scheduling priority; threads it starts
// afterwards inherit it. Background work (decoding ahead) then yields to the
// GUI thread on a busy machine and loses nothing on an idle one.
void Sys_LowerThreadPriority();
// For a thread that must act at exact times (live output): wakes it from
// its sleeps without the timer's usual slack, and raises its priority
// above normal where the system allows it (real-time where permitted, else
// a higher nice value; false when neither is, as for a user without the
// privilege). Threads it starts afterwards inherit both.
bool Sys_RaiseThreadPriority();
// The calling thread back to the normal priority and timer, where allowed.
void Sys_NormalThreadPriority();
void Sys_Sleep(int milliseconds);
// A monotonic clock in nanoseconds, and a sleep until one of its times.
uint64_t Sys_MonotonicNanoseconds();
void Sys_SleepUntilNanoseconds(uint64_t deadline);
// For a thread that must act at the deadline itself: sleeps until `spinNs`
// before it, then watches the clock until it comes. A wake-up from sleep
// comes late by up to a few tenths of a millisecond on a busy machine; the
// watching costs spinNs of one core per call.
void Sys_WaitUntilNanoseconds(uint64_t deadline, uint64_t spinNs);

// ---- memory -----------------------------------------------------------------

// The whole pages within `size` bytes at `start` are not passed to the child
// of a fork (a library's helper started with fork and exec), so the fork does
// not leave them copy-on-write and the next write to each of them does not
// stop for the system. Nothing forked may touch them; a started program
// never does.
void Sys_KeepFromChildren(void* start, size_t size);

// ---- message boxes --------------------------------------------------------

// Style bits and answers carry the Windows values, so the Windows file can
// pass them through unchanged.
constexpr unsigned kMbOk = 0x00000000u;
constexpr unsigned kMbYesNo = 0x00000004u;
constexpr unsigned kMbIconError = 0x00000010u;
constexpr unsigned kMbIconQuestion = 0x00000020u;
constexpr unsigned kMbIconWarning = 0x00000030u;
constexpr unsigned kMbIconInformation = 0x00000040u;
constexpr unsigned kMbSystemModal = 0x00001000u;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// A modal box without owner window; returns the button pressed. Blocks the
// calling (GUI) thread until it is answered.
int Sys_MessageBox(const char* text, const char* caption, unsigned style);

// ---- save-file dialog ------------------------------------------------------

struct SysSaveDialog {
    const char* filterName;        // e.g. "Bin Files"
    const char* filterPattern;     // e.g. "*.led"
    const char* defaultExtension;  // e.g. "led", added when the name has none
    bool mustExist;                // only an existing file may be chosen
};

// Shows the dialog; true with the chosen path in `path` (NUL-terminated,
// at most pathSize - 1 bytes), false when cancelled.
bool Sys_SaveFileDialog(const SysSaveDialog& dialog, char* path, size_t pathSize);

// ---- files, processes, screen, console ------------------------------------

bool Sys_FileExists(const char* path);
// Starts the program at `path` without waiting for it, shown normally. The
// child is reaped when it ends. False when it could not be started.
bool Sys_StartProgram(const char* path);
void Sys_ScreenSize(int* width, int* height);
// Hides the process's console window; nothing to hide on Linux.
void Sys_HideConsole();

// ---- keyboard --------------------------------------------------------------

// The Windows-1251 byte of a Cyrillic letter's X key symbol, -1 for any other
// symbol. On X11 the platform layer uses it so that letters typed on a
// Cyrillic keyboard layout reach the window's keyboard callback as these
// bytes (the window library alone passes Latin-1 characters only).
int Sys_KeysymToCp1251(unsigned long keysym);
