// The control program's connection and forms against the real
// quorvane_scripted under Xvfb: this test is the control program (the
// stand-in Quorvane_Net.exe that Quorvane launches only sleeps). A burst of
// commands while Quorvane opens and redraws a full layout must arrive
// complete and in order, as Quorvane's own log shows; a save is reported
// only when Quorvane wrote the file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "files/project_file.h"
#include "model/layout.h"
#include "qt_wait.h"
#include "render/view_state.h"
#include "scripted_quorvane.h"
#include "support/process.h"
#include "support/test_support.h"
#include "window.h"

namespace {

using ControlLinkEndToEnd = ScriptedQuorvane;

// Every port full: 256 chains of 2048 LEDs over the whole grid.
void BuildFullLayout() {
    ResetRunState();
    static ChainPoint points[kChainCapacity];
    for (int port = 0; port < kPortCount; ++port) {
        for (int i = 0; i < kChainCapacity; ++i) {
            const int g = port * kChainCapacity + i;
            points[i] = {uint16_t((g % 1024) * 2), uint16_t(2047 - (g / 1024) * 4)};
        }
        const uint8_t color[3] = {uint8_t(port * 37), uint8_t(255 - port), uint8_t(port * 11)};
        InstallLoadedChain(port, color, points, kChainCapacity, kChainCapacity);
    }
}

// The "Get: <code>----<n> Bytes" lines of Quorvane's log, in order.
std::vector<std::string> Arrivals(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Get: ", 0) == 0) lines.push_back(line);
    return lines;
}

int Dispatches(const std::string& log) {
    int count = 0;
    for (size_t at = log.find("Send_Windows_Pos \n"); at != std::string::npos;
         at = log.find("Send_Windows_Pos \n", at + 1))
        ++count;
    return count;
}

std::string ArrivalLine(const Packet& packet) {
    return "Get: " + std::to_string(packet[0] * 256 + packet[1]) + "----" +
           std::to_string(packet.size()) + " Bytes";
}

TEST_F(ControlLinkEndToEnd, BurstWhileAFullLayoutOpensAndRedrawsArrivesCompleteAndInOrder) {
    const std::string project = dir.File("full.quor");
    BuildFullLayout();
    SaveProject(project.c_str(), HeaderView{View().cellSize, View().scrollX, View().scrollY});
    ASSERT_TRUE(QFileInfo(QString::fromStdString(project)).isFile());

    // Commands whose log lines differ from their neighbours', so a lost or
    // swapped one shows.
    const Packet kinds[] = {
        EncodeSelectPort(3),
        EncodeBare(CommandCode::SetLedShapeSquare),
        EncodeSetEditMode(true),
        EncodeBare(CommandCode::SetLedShapeDisk),
        EncodeBare(CommandCode::ToggleBoundingFrame),
        EncodeSetLedSize(2),
        EncodeViewJump(kJumpCentre),
    };
    std::vector<std::string> expected = Arrivals(Log());
    Packet open = EncodeOpenFile(project);
    ASSERT_TRUE(SendCommand(control->link, open));
    expected.push_back(ArrivalLine(open));
    for (int i = 0; i < 50; ++i) {
        const Packet& packet = kinds[i % 7];
        ASSERT_TRUE(SendCommand(control->link, packet));
        expected.push_back(ArrivalLine(packet));
    }

    EXPECT_TRUE(WaitFor([this] { return LinkIdle(control->link); }, 120000));
    // Quorvane's receive thread logs every packet that reaches it, in order;
    // its dispatcher logs "Send_Windows_Pos " for each one it runs. A packet
    // replaced in the mailbox would be logged but never run.
    EXPECT_TRUE(WaitFor([&] { return Dispatches(Log()) >= int(expected.size()); }, 5000));
    EXPECT_EQ(Arrivals(Log()), expected);
    EXPECT_EQ(Dispatches(Log()), int(expected.size()));
    // Quorvane did load the whole layout, so every redraw drew all of it.
    EXPECT_TRUE(WaitFor([this] { return control->portHasChain[kPortCount - 1]; }, 5000));
    // Every geometry message answered a packet, through all those redraws.
    EXPECT_EQ(control->link.unrequestedAnswers, 0);
}

TEST_F(ControlLinkEndToEnd, AWindowMoveSendsNoGeometryMessageOfItsOwn) {
    // The pacing counts every geometry message as the answer to a packet, so
    // Quorvane must not send one when its window moves.
    ASSERT_TRUE(control->geometryKnown);
    const int before[2] = {control->quorvaneGeometry[0], control->quorvaneGeometry[1]};
    const int x = before[0] + 37, y = before[1] + 23;
    ASSERT_EQ(std::system(("xdotool search --name '^Quorvane 1.46 EN beta$' windowmove " +
                           std::to_string(x) + " " + std::to_string(y))
                              .c_str()),
              0);
    WaitFor([] { return false; }, 600);  // many redraws see the new place
    EXPECT_EQ(control->link.unrequestedAnswers, 0);

    ASSERT_TRUE(SendCommand(control->link, EncodeBare(CommandCode::SetLedShapeDisk)));
    ASSERT_TRUE(WaitFor([this] { return LinkIdle(control->link); }, 5000));
    EXPECT_EQ(control->quorvaneGeometry[0], x);
    EXPECT_EQ(control->quorvaneGeometry[1], y);
    EXPECT_EQ(control->link.unrequestedAnswers, 0);
}

TEST_F(ControlLinkEndToEnd, SaveIsReportedAsQuorvaneDidIt) {
    WriteWholeFile(dir.File("frames.raw"), std::string(3 * 4 * 4 * 3, '\x40'));
    const QString folder = QString::fromStdString(dir.path());
    const struct {
        const char* name;
        QString chosen;  // project: the name chosen in the dialog; video: the output
        QString raw;     // empty: a project save
        QString expected;
    } cases[] = {
        {"project", folder + "/show", "", "Project saved as " + folder + "/show.quor"},
        {"project in a missing folder", folder + "/no-such-folder/show", "",
         "Quorvane did not save the project as " + folder + "/no-such-folder/show.quor"},
        {"raw video", folder + "/clip.avi", folder + "/frames.raw",
         "Video saved as " + folder + "/clip.avi"},
        {"raw video from a missing file", folder + "/none.avi", folder + "/missing.raw",
         "Quorvane did not save the video " + folder + "/none.avi (from " + folder +
             "/missing.raw)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.raw.isEmpty()) {
            nextPath = c.chosen;
            control->saveProjectButton->click();
        } else {
            control->rawPath->setText(c.raw);
            control->rawOutput->setText(c.chosen);
            control->rawWidth->setValue(4);
            control->rawHeight->setValue(4);
            control->convertRawButton->click();
        }
        ASSERT_TRUE(WaitFor(
            [this] { return !control->messageLabel->text().startsWith("Waiting for Quorvane"); },
            30000));
        EXPECT_EQ(control->messageLabel->text(), c.expected);
        const bool saved = !c.expected.startsWith("Quorvane did not");
        const QString file = c.raw.isEmpty() ? c.chosen + ".quor" : c.chosen;
        EXPECT_EQ(QFileInfo(file).isFile(), saved);
    }
}

}  // namespace
