// The Convert section and the Live page against the real quorvane_scripted
// and the real tools: the layout reaches a tool only through Quorvane's own
// save, into a temporary folder that is gone after the run. An FSEQ
// conversion from the form, power report included, is byte for byte what
// quorvane-convert writes when run by hand; a stopped one leaves nothing; a
// refused OUTPUTS file shows the tool's line whole; a live run reaches a
// receiver, with its frames counted in the form while it plays and the
// power measured under a limit shown when it stops. Packets go to 127.0.0.1 only,
// and CTest starts every case in a network namespace of its own with
// loopback only (tests/control/CMakeLists.txt).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTableWidgetItem>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "files/project_file.h"
#include "model/layout.h"
#include "platform/sys.h"
#include "scripted_quorvane.h"
#include "support/edits.h"

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 12;

void WriteVideo(const std::string& path, int frames) {
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc('F', 'F', 'V', '1'), 25.0,
                           cv::Size(kWidth, kHeight), true);
    ASSERT_TRUE(writer.isOpened()) << path;
    cv::RNG rng(77);
    for (int f = 0; f < frames; ++f) {
        cv::Mat frame(kHeight, kWidth, CV_8UC3);
        rng.fill(frame, cv::RNG::UNIFORM, 0, 256);
        writer.write(frame);
    }
}

// Port 1 along the picture's third row, port 3 down its sixth column below
// that row (y from the picture's top).
constexpr int kLeds = kWidth + kHeight - 3;
void SaveLayout(const std::string& project) {
    ResetRunState();
    for (int x = 0; x < kWidth; ++x) AddLed(0, {uint16_t(x), uint16_t(kGridMax - 2)});
    for (int y = 3; y < kHeight; ++y) AddLed(2, {uint16_t(5), uint16_t(kGridMax - y)});
    SaveProject(project.c_str(), HeaderView{});
    ResetRunState();
}

struct HandRun {
    int status;
    std::string error;
};

HandRun RunByHand(const std::string& tool, const std::string& args, const std::string& dir) {
    const std::string err = dir + "/" + tool + ".err";
    const std::string command =
        BuildDirectory() + "/" + tool + " " + args + " > /dev/null 2> " + err + " < /dev/null";
    const int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadWholeFile(err)};
}

// True where loopback is the only network interface.
bool OnlyLoopback() {
    const QStringList lines = QString::fromStdString(ReadWholeFile("/proc/net/dev"))
                                  .split('\n', Qt::SkipEmptyParts)
                                  .mid(2);
    for (const QString& line : lines)
        if (line.section(':', 0, 0).trimmed() != "lo") return false;
    return !lines.isEmpty();
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

class ToolForms : public ScriptedQuorvane {
protected:
    void SetUp() override {
        ScriptedQuorvane::SetUp();
        if (HasFatalFailure()) return;
        project = dir.File("show.quor");
        SaveLayout(project);
        ASSERT_TRUE(SendCommand(control->link, EncodeOpenFile(project)));
        ASSERT_TRUE(WaitFor([this] { return control->portHasChain[2]; }, 10000));
    }

    // Waits for the form's run to end, layout save included.
    bool WaitForEnd(ToolForm& form, int ms) {
        return WaitFor([&form] { return !form.savingLayout && !ToolRunning(form.run); }, ms);
    }

    // The project Quorvane saved for the last run, as the tool was given it.
    QString ToolProject(const ToolForm& form) {
        QStringList arguments = form.run.process->arguments();
        int at = arguments.indexOf("--");
        return at >= 0 && at + 1 < arguments.size() ? arguments[at + 1] : QString();
    }

    std::string project;
};

TEST_F(ToolForms, FseqFromTheFormIsWhatTheToolWritesByHand) {
    const std::string video = dir.File("clip.avi");
    WriteVideo(video, 6);
    control->convertVideo->setText(Q(video));
    control->convertFormat->setCurrentIndex(1);
    control->convertCompression->setCurrentText("zstd");
    control->convertStepMs->setValue(40);
    control->convertTarget->setText(Q(dir.File("form")));  // the form adds ".fseq"
    ToolColorFields& colors = control->convertColors;
    colors.order->setCurrentText("GRB");
    colors.brightness[0]->setValue(90);
    colors.blackLevel[2]->setValue(4);
    colors.gamma->setText("2.2");
    colors.white->setText("100,90,80");
    colors.resizeOn->setChecked(true);
    colors.resizeWidth->setValue(32);
    colors.resizeHeight->setValue(24);
    colors.resizeMethod->setCurrentIndex(3);
    colors.sample->setCurrentIndex(1);
    colors.powerReport->setText(Q(dir.File("form.csv")));
    colors.maPerChannel->setValue(12);
    colors.volts->setValue(12);
    colors.limitAmps->setValue(0.05);
    control->convertForm.start->click();
    ASSERT_TRUE(control->convertForm.savingLayout);
    ASSERT_TRUE(WaitForEnd(control->convertForm, 60000));
    const QString status = control->convertForm.status->text();
    ASSERT_TRUE(status.startsWith("Converted 6 frames")) << status.toStdString();
    EXPECT_TRUE(
        status.contains(QRegularExpression("; power: peak [0-9.]+ A \\([0-9.]+ W\\) at "
                                           "frame \\d+, mean [0-9.]+ A, \\d+ frames "
                                           "limited, \\d+ files? written:$")))
        << status.toStdString();
    const QString form = Q(dir.File("form.fseq"));
    EXPECT_EQ(control->convertOutputs->text(), form + "\n" + form + ".channels.csv");
    EXPECT_EQ(control->convertProgress->value(), 100);

    // The temporary project the tool read is gone.
    const QString saved = ToolProject(control->convertForm);
    ASSERT_TRUE(saved.endsWith(".quor")) << saved.toStdString();
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(saved).absolutePath()));

    HandRun hand = RunByHand("quorvane-convert",
                             "--format fseq --fseq-compression zstd --step-ms 40 --order GRB "
                             "--brightness 90,100,100 --black 0,0,4 --gamma 2.2 --white 100,90,80 "
                             "--resize 32x24:area --sample area --power-report " +
                                 dir.File("hand.csv") +
                                 " --ma-per-channel 12 --volts 12 --limit-amps 0.05 "
                                 "--progress none " +
                                 project + " " + video + " " + dir.File("hand.fseq"),
                             dir.path());
    ASSERT_EQ(hand.status, 0) << hand.error;
    // Equal but for the unique id (header bytes 24..31), the time each was made.
    std::string formBytes = ReadWholeFile(dir.File("form.fseq"));
    std::string handBytes = ReadWholeFile(dir.File("hand.fseq"));
    ASSERT_GT(formBytes.size(), 32u);
    ASSERT_EQ(formBytes.size(), handBytes.size());
    formBytes.replace(24, 8, 8, '\0');
    handBytes.replace(24, 8, 8, '\0');
    EXPECT_EQ(formBytes, handBytes);
    EXPECT_EQ(ReadWholeFile(dir.File("form.fseq.channels.csv")),
              ReadWholeFile(dir.File("hand.fseq.channels.csv")));
    EXPECT_EQ(ReadWholeFile(dir.File("form.csv")), ReadWholeFile(dir.File("hand.csv")));
}

TEST_F(ToolForms, StoppedConversionLeavesNothingAndTheNextRunEnds) {
    // Every frame scaled to the whole grid: slow enough to stop halfway.
    const std::string video = dir.File("long.avi");
    WriteVideo(video, 200);
    control->convertVideo->setText(Q(video));
    control->convertTarget->setText(Q(dir.File("out/stopped.led")));
    ASSERT_TRUE(QDir().mkpath(Q(dir.File("out"))));
    control->convertColors.resizeOn->setChecked(true);
    control->convertColors.resizeWidth->setValue(2048);
    control->convertColors.resizeHeight->setValue(2048);
    control->convertColors.resizeMethod->setCurrentIndex(4);
    control->convertForm.start->click();
    ASSERT_TRUE(WaitFor([this] { return control->convertProgress->value() > 0; }, 60000))
        << control->convertForm.status->text().toStdString();
    ASSERT_TRUE(ToolRunning(control->convertForm.run));
    control->convertForm.stop->click();
    ASSERT_TRUE(WaitForEnd(control->convertForm, 30000));
    EXPECT_EQ(control->convertForm.status->text(),
              "Stopped: no file was written and none replaced.");
    EXPECT_EQ(QDir(Q(dir.File("out"))).entryList(QDir::Files | QDir::Hidden), QStringList());
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(ToolProject(control->convertForm)).absolutePath()));

    // Run again to the end: one controller file per port, listed in port order.
    ASSERT_TRUE(control->convertForm.start->isEnabled());
    control->convertColors.resizeOn->setChecked(false);
    control->convertForm.start->click();
    ASSERT_TRUE(WaitForEnd(control->convertForm, 60000));
    EXPECT_TRUE(control->convertForm.status->text().startsWith("Converted 200 frames"))
        << control->convertForm.status->text().toStdString();
    EXPECT_EQ(control->convertOutputs->text(),
              Q(dir.File("out/PORT-1-stopped.led") + "\n" + dir.File("out/PORT-3-stopped.led")));
}

TEST_F(ToolForms, RefusedOutputsShowTheToolsLineWhole) {
    const std::string video = dir.File("clip.avi");
    WriteVideo(video, 3);
    const std::string outputs = dir.File("twice.json");
    WriteWholeFile(outputs, R"({"outputs": [
        {"protocol": "ddp", "address": "127.0.0.1", "ports": [1, 3]},
        {"protocol": "artnet", "address": "127.0.0.1", "ports": [3]}]})");
    nextPath = Q(outputs);
    control->outputsOpenButton->click();
    ASSERT_EQ(control->outputsTable->rowCount(), 2);
    control->liveVideo->setText(Q(video));
    control->liveForm.start->click();
    ASSERT_TRUE(WaitForEnd(control->liveForm, 30000));

    HandRun hand = RunByHand("quorvane-play", project + " " + video + " " + outputs, dir.path());
    ASSERT_EQ(hand.status, 1);
    ASSERT_NE(hand.error.find("port 3 is listed twice"), std::string::npos) << hand.error;
    EXPECT_EQ(control->liveForm.status->text().toStdString() + "\n", hand.error);
    EXPECT_TRUE(control->liveForm.status->styleSheet().contains("#b00000"));
}

TEST_F(ToolForms, LiveRunReachesTheReceiverAndCountsItsFrames) {
    ASSERT_TRUE(OnlyLoopback()) << "run through CTest, which gives the test a network namespace";
    SysSocket receiver = Sys_UdpSocket();
    uint16_t port = 0;
    ASSERT_TRUE(Sys_UdpBind(receiver, 0x7f000001, 0, &port));
    const std::string video = dir.File("clip.avi");
    WriteVideo(video, 10);
    // The receiver's port has no column: it stays as the file had it while
    // the table is edited and saved again.
    const std::string outputs = dir.File("outputs.json");
    WriteWholeFile(outputs, R"({"outputs": [{"protocol": "ddp", "address": "127.0.0.1",
        "ports": [1], "udp_port": )" +
                                std::to_string(port) + "}]}");
    nextPath = Q(outputs);
    control->outputsOpenButton->click();
    ASSERT_EQ(control->outputsTable->rowCount(), 1);
    control->outputsTable->item(0, 2)->setText("1, 3");
    control->liveVideo->setText(Q(video));
    control->liveFps->setValue(50);
    control->liveLoop->setChecked(true);
    control->liveColors.limitAmps->setValue(0.05);
    control->liveForm.start->click();
    // The once-a-second line counts the frames while it plays.
    ASSERT_TRUE(WaitFor(
        [this] {
            return control->liveStats->text().startsWith("Frames sent: ") &&
                   control->liveStats->text() != "Frames sent: 0";
        },
        30000))
        << control->liveForm.status->text().toStdString();
    EXPECT_TRUE(ToolRunning(control->liveForm.run));
    control->liveForm.stop->click();
    ASSERT_TRUE(WaitForEnd(control->liveForm, 10000));
    // The last line, the power the limit measured included, stays.
    const QString status = control->liveForm.status->text();
    EXPECT_TRUE(status.startsWith("Stopped: ")) << status.toStdString();
    EXPECT_TRUE(status.contains(QRegularExpression("; power: peak .* frames limited$")))
        << status.toStdString();
    EXPECT_NE(control->liveStats->text().indexOf("dropped: "), -1);
    EXPECT_NE(control->liveStats->text().indexOf("\npower: peak "), -1);

    // Ports 1 and 3 back to back, one push packet per frame.
    const size_t frameBytes = 3 * kLeds;
    int pushes = 0;
    uint8_t buffer[2048];
    int n;
    while ((n = Sys_UdpReceiveFrom(receiver, buffer, sizeof buffer, 200, nullptr, nullptr)) > 0) {
        ASSERT_GE(n, 10);
        EXPECT_EQ(size_t(n - 10), frameBytes);
        if (buffer[0] & 0x01) ++pushes;
    }
    Sys_CloseSocket(receiver);
    EXPECT_GT(pushes, 10);  // past the first pass of the loop
    EXPECT_NE(ReadWholeFile(outputs).find("\"udp_port\": " + std::to_string(port)),
              std::string::npos);
}

}  // namespace
