// Start-up and the heartbeat of the program: the GLUT window, the 40 ms
// command tick, the 25 ms idle redraw and the fixed drawing order. Every
// callback runs on the GUI thread; the receive thread only fills the mailbox.
// The command channel sits above this layer and comes in as ShellHooks.
#include "app/shell.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <cstdint>
#include <cstdlib>

#include "app/input.h"
#include "app/video_window.h"
#include "app/view.h"
#include "model/layout.h"
#include "platform/boxes.h"
#include "platform/sys.h"
#include "render/background.h"
#include "render/scene.h"
#include "render/settings.h"
#include "render/window.h"
#include "video/video.h"

const char kWindowTitle[] = "Quorvane 1.46 EN beta";
const char kControlProgramName[] = "Quorvane_Net.exe";

namespace {

constexpr int kFirstTimerDelayMs = 16;
constexpr uint64_t kTickPeriodNs = 40 * 1000000ull;
constexpr uint64_t kIdleSleepNs = 25 * 1000000ull;
constexpr int kLaunchPauseMs = 1000;

ShellHooks g_hooks = {nullptr, nullptr};

// The command tick comes 40 ms after the end of the one before, as a GLUT
// timer re-armed from its own callback would. GLUT looks at its timers only
// between one idle pause and the next redraw, though, so such a timer came
// round every second loop, 60 ms and more apart, and a command waited up
// to that long. After the first (a GLUT timer, before the first redraw), each
// tick runs at its time inside the idle pause, or at the pause's start when
// it fell due during a redraw; the pause still sleeps its full 25 ms, the
// tick's work in between.
uint64_t g_nextTickNs = UINT64_MAX;

void RunCommandTick() {
    if (g_hooks.pollCommand != nullptr) g_hooks.pollCommand();
    g_nextTickNs = Sys_MonotonicNanoseconds() + kTickPeriodNs;
}

// A playback advances one frame per redraw, but GLUT draws no window that
// is hidden (fully covered, minimised, unmapped), so a conversion would stop
// until the window shows again. The idle handler asks for a redraw every
// tick; when a whole tick passed without one, nothing is drawing, and the
// idle handler runs the frame step itself, one frame per tick. Counting
// missed redraws rather than following GLUT's visibility reports keeps
// this independent of how a window manager or compositor reports (or fails
// to report) visibility: whatever stops the redraws, the playback goes on.
// The grid keeps the colours stepped meanwhile, so the picture catches up
// with the first redraw once the window shows.
constexpr int kIdleTicksWithoutRedraw = 2;
int g_idleTicksSinceRedraw = 0;

void OnFirstTimer(int) {
    RunCommandTick();
}

void OnIdle() {
    uint64_t pauseEnd = Sys_MonotonicNanoseconds() + kIdleSleepNs;
    while (g_nextTickNs <= pauseEnd) {
        Sys_SleepUntilNanoseconds(g_nextTickNs);
        const uint64_t tickStart = Sys_MonotonicNanoseconds();
        RunCommandTick();
        pauseEnd += g_nextTickNs - kTickPeriodNs - tickStart;
    }
    Sys_SleepUntilNanoseconds(pauseEnd);
    if (++g_idleTicksSinceRedraw >= kIdleTicksWithoutRedraw && VideoMode() != VideoModeKind::Idle)
        StepVideoFrame();
    glutPostRedisplay();
}

void OnDisplay() {
    g_idleTicksSinceRedraw = 0;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    DrawScene();
    glutSwapBuffers();
}

// The model's tables (40 MB for the grid, and the chains' of a full
// project) are written once, within the launch pause, and kept from forked
// children. Until first written their pages are not the program's, and after
// any fork (the window library forks helpers of its own) every page is
// copy-on-write again: either way the next open or playback would stop for
// the system at each of its 10,000 pages (a first open took 150 ms more than
// the next ones).
void PrepareModelMemory() {
    MemoryPiece pieces[kLayoutMemoryPieces];
    PrepareLayoutMemory(kPortCount, pieces);
    for (const MemoryPiece& piece : pieces)
        if (piece.size > 0) Sys_KeepFromChildren(piece.start, piece.size);
}

}  // namespace

void ApplyMaterialAndLight() {
    static const GLfloat ambient[] = {0.5f, 0.5f, 0.5f, 1.0f};
    static const GLfloat diffuse[] = {0.5f, 0.5f, 0.5f, 1.0f};
    static const GLfloat specular[] = {0.5f, 0.5f, 0.5f, 1.0f};
    static const GLfloat emission[] = {0.01f, 0.01f, 0.01f, 1.0f};
    static const GLfloat modelAmbient[] = {1.0f, 1.0f, 1.0f, 1.0f};
    static const GLfloat lightPosition[] = {0.0f, 100.0f, -250.0f, 1.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT, GL_EMISSION, emission);
    glMaterialf(GL_FRONT, GL_SHININESS, 90.0f);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glShadeModel(GL_SMOOTH);
}

void ApplyWindowProjection(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluOrtho2D(0, width, 0, height);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void DrawScene() {
    const PackedColor background = CurrentSettings().backgroundColor;
    glClearColor(background.red / 255.0f, background.green / 255.0f, background.blue / 255.0f,
                 0.0f);
    ApplyMaterialAndLight();
    HoldWindowSize();
    ApplyWindowProjection(WindowWidth(), WindowHeight());
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    TrackWindowGeometry();
    const VideoModeKind mode = VideoMode();
    const bool videoShowing = mode == VideoModeKind::Preview || mode == VideoModeKind::Convert;
    DrawGridDots(videoShowing);
    DrawBackgroundImage();
    SaveFrameImageIfRequested();
    StepVideoFrame();
    if (mode != VideoModeKind::ConvertHidden) DrawChains(videoShowing);
    if (CurrentSceneOptions().boundingFrameVisible) DrawBoundingFrame();
    const MousePosition mouse = LastMousePosition();
    DrawCursorReadout(ScreenToGrid(PackWindowPosition(mouse.x, mouse.y)));
    ReleaseWindowSize();
}

int RunShell(int argc, char** argv, const ShellHooks& hooks) {
    g_hooks = hooks;
    Sys_Init(&argc, argv);
    glutInit(&argc, argv);
    glutInitContextVersion(2, 0);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);

    if (LoadSettings()) {
        const Settings& settings = CurrentSettings();
        PlaceWindow(settings.windowX, settings.windowY, settings.windowWidth,
                    settings.windowHeight);
    } else {
        ApplyDefaultSettings();
        glutInitWindowSize(640, 480);
    }

    glutCreateWindow(kWindowTitle);
    SettleWindowPosition();
    glutTimerFunc(kFirstTimerDelayMs, OnFirstTimer, 0);
    glutIdleFunc(OnIdle);

    InstallVideoWindow();
    if (g_hooks.startCommandServer != nullptr) g_hooks.startCommandServer();
    const uint64_t pauseStart = Sys_MonotonicNanoseconds();
    PrepareModelMemory();
    Sys_SleepUntilNanoseconds(pauseStart + uint64_t(kLaunchPauseMs) * 1000000u);

    if (!Sys_FileExists(kControlProgramName)) {
        ShowErrorBox("Unable to open application Quorvane_Net.exe");
        std::exit(-1);
    }
    Sys_StartProgram(kControlProgramName);

    glutMouseFunc(MouseInput);
    glutKeyboardFunc(KeyboardInput);
    glutPassiveMotionFunc(PassiveMotionInput);

    ApplyMaterialAndLight();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);

    Sys_HideConsole();

    glutDisplayFunc(OnDisplay);
    glutMainLoop();
    return 0;
}
