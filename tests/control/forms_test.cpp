// The control window under Qt's offscreen platform against a fake Quorvane:
// a QTcpServer on a free port that records what arrives, answers every
// packet with a window-geometry message as Quorvane does when it takes one
// (unless a test holds the answers back) and sends status messages.
#include "forms.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "qt_wait.h"
#include "window.h"

namespace {

void Pause(int ms) {
    WaitFor([] { return false; }, ms);
}

Packet Bytes(std::initializer_list<int> values) {
    Packet packet;
    for (int value : values) packet.push_back(uint8_t(value));
    return packet;
}

// Longer than a few of Quorvane's 40 ms ticks: what has not come by then won't.
constexpr int kQuietMs = 150;

// Quorvane's answer to a packet: its window geometry, 640 x 480 at (100, 50).
const Packet kAnswer = {0x00, 0xB1, 100, 0, 0, 0, 50, 0, 0, 0, 0x80, 0x02, 0, 0, 0xE0, 0x01, 0, 0};

// One read of the fake server: its bytes and when they came.
struct Arrival {
    Packet bytes;
    qint64 atMs;
};

class ControlForms : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(settingsDir.isValid());
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        clock.start();
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            client = server.nextPendingConnection();
            QObject::connect(client, &QTcpSocket::readyRead, [this] {
                QByteArray data = client->readAll();
                arrivals.push_back({Packet(data.begin(), data.end()), clock.elapsed()});
                if (onArrival) onArrival(arrivals.back().bytes);
                if (autoAnswer) SendStatus(kAnswer);
            });
        });
        hooks.chooseColor = [this](const QColor&, const QString&) { return nextColor; };
        hooks.openFile = [this](const QString&, const QString&, const QString&) {
            return nextPath;
        };
        hooks.saveFile = hooks.openFile;
        hooks.settingsFile = settingsDir.filePath("control.ini");
        control = CreateControlWindow(server.serverPort(), hooks);
        control->window->show();
        ASSERT_TRUE(WaitFor([this] { return control->link.state == LinkState::Connected; }));
        // The window makes Quorvane's edit mode agree with its own on connecting.
        ASSERT_TRUE(WaitFor([this] { return Stream() == Bytes({0x00, 0xB2, 0x00, 0x00}); }));
        ASSERT_TRUE(WaitFor([this] { return LinkIdle(control->link); }));
        arrivals.clear();
    }

    // Everything received so far, as one stream.
    Packet Stream() const {
        Packet all;
        for (const Arrival& arrival : arrivals)
            all.insert(all.end(), arrival.bytes.begin(), arrival.bytes.end());
        return all;
    }

    bool WaitForStream(const Packet& expected) {
        bool ok = WaitFor([&] { return Stream().size() >= expected.size(); });
        Pause(kQuietMs);  // nothing further may follow
        EXPECT_EQ(Stream(), expected);
        return ok;
    }

    // A new window whose quorvane-convert is a shell script with `body`.
    void UseStandInConverter(const QTemporaryDir& tools, const QByteArray& body) {
        QFile tool(tools.filePath("quorvane-convert"));
        ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
        tool.write(QByteArray("#!/bin/sh\n") + body);
        tool.close();
        tool.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        control.reset();
        hooks.toolFolder = tools.path();
        control = CreateControlWindow(server.serverPort(), hooks);
        ASSERT_TRUE(WaitFor([this] { return control->link.state == LinkState::Connected; }));
        ASSERT_TRUE(WaitFor([this] { return LinkIdle(control->link); }));
        arrivals.clear();
    }

    void SendStatus(const Packet& bytes) {
        client->write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        client->flush();
    }

    QTemporaryDir settingsDir;
    QTcpServer server;
    QTcpSocket* client = nullptr;
    QElapsedTimer clock;
    std::vector<Arrival> arrivals;
    bool autoAnswer = true;
    std::function<void(const Packet&)> onArrival;
    ControlHooks hooks;
    QColor nextColor;
    QString nextPath;
    std::unique_ptr<ControlWindow> control;
};

TEST_F(ControlForms, SelectingPortFiveSendsItsIndex) {
    control->portList->setCurrentRow(4);
    WaitForStream(Bytes({0x00, 0xA3, 0x00, 0x04}));
    EXPECT_EQ(control->portLabel->text(), "Selected: port 5");
}

TEST_F(ControlForms, PickedColorGoesToThePortNumber) {
    control->portList->setCurrentRow(5);
    nextColor = QColor(10, 20, 30);
    control->portColorButton->click();
    WaitForStream(Bytes({0x00, 0xA3, 0x00, 0x05, 0x00, 0xA5, 0x00, 0x06, 10, 20, 30}));
    EXPECT_EQ(control->portColors[5], QColor(10, 20, 30));

    // Undo takes the port number, clear the index.
    arrivals.clear();
    control->undoButton->click();
    control->clearButton->click();
    WaitForStream(Bytes({0x00, 0xA0, 0x00, 0x06, 0x00, 0xAE, 0x00, 0x05}));
}

TEST_F(ControlForms, CancelledColorSendsNothing) {
    nextColor = QColor();
    control->portColorButton->click();
    WaitForStream({});
}

TEST_F(ControlForms, ConvertSendsPathThenSettingsOnlyAfterThePathIsAnswered) {
    control->videoPath->setText("/videos/show.avi");
    control->colorOrder->setCurrentIndex(kOrderGRB);
    int brightness[3] = {90, 80, 70}, black[3] = {1, 2, 3};
    for (int i = 0; i < 3; ++i) {
        control->brightness[i]->setValue(brightness[i]);
        control->blackLevel[i]->setValue(black[i]);
    }
    control->videoMode->setCurrentIndex(kStartConvert);
    autoAnswer = false;
    control->startButton->click();

    Packet path = Bytes({0x00, 0xA4, 0, 0});
    for (char ch : std::string("/videos/show.avi")) path.push_back(uint8_t(ch));
    path.push_back(0);
    Packet start = Bytes({0x00, 0xAA, 2, 90, 80, 70, 1, 1, 2, 3});
    // Quorvane has not taken the path yet (a long redraw): the settings wait,
    // or they would replace the path in Quorvane's one-packet mailbox.
    WaitForStream(path);
    Pause(300);
    ASSERT_EQ(arrivals.size(), 1u);
    SendStatus(kAnswer);
    ASSERT_TRUE(WaitFor([this] { return arrivals.size() == 2; }));
    EXPECT_EQ(arrivals[1].bytes, start);
}

TEST_F(ControlForms, DefaultsStartAPlainConversion) {
    control->videoPath->setText("v.avi");
    control->startButton->click();
    Packet expected = Bytes({0x00, 0xA4, 0, 0, 'v', '.', 'a', 'v', 'i', 0});
    Packet start = Bytes({0x00, 0xAA, kOrderRGB, 100, 100, 100, kStartConvert, 0, 0, 0});
    expected.insert(expected.end(), start.begin(), start.end());
    WaitForStream(expected);
}

TEST_F(ControlForms, TooLongPathsAreRefusedInTheForm) {
    control->videoPath->setText(QString(kMaxPathBytes + 1, 'x'));
    control->startButton->click();
    WaitForStream({});
    EXPECT_EQ(control->messageLabel->text(), kPathTooLongText);

    nextPath = "/" + QString(kMaxPathBytes, 'p');
    control->openProjectButton->click();
    WaitForStream({});
    EXPECT_EQ(control->messageLabel->text(), kPathTooLongText);
}

TEST_F(ControlForms, FileDialogsSendTheirCommandsAndRememberTheFolder) {
    nextPath = "/work/shows/stage";  // no extension: the project one is added
    control->saveProjectButton->click();
    Packet expected = Bytes({0x00, 0xB0, 0, 0});
    for (char ch : std::string("/work/shows/stage.quor")) expected.push_back(uint8_t(ch));
    expected.push_back(0);
    expected.insert(expected.end(), {0x00, 0x00});  // asks when Quorvane has finished the save
    WaitForStream(expected);
    EXPECT_EQ(LastFolder(*control, "project"), "/work/shows");

    arrivals.clear();
    control->portList->setCurrentRow(2);
    nextPath = "/c/a.line";
    control->saveChainButton->click();
    expected = Bytes({0x00, 0xA3, 0, 2, 0x00, 0xA1, 0x00, 0x03});
    for (char ch : std::string("/c/a.line")) expected.push_back(uint8_t(ch));
    expected.push_back(0);
    expected.insert(expected.end(), {0x00, 0x00});
    WaitForStream(expected);
}

TEST_F(ControlForms, ResizeAndRawFramesCarryTheirTextFields) {
    control->resizeOn->setChecked(true);
    control->resizeWidth->setValue(320);
    control->resizeHeight->setValue(2048);
    control->interpolation->setCurrentIndex(2);
    control->applyResizeButton->click();
    WaitForStream(Bytes({0x00, 0xB9, 0, 0, '3', '2', '0', 0, 0, '2', '0', '4', '8', 0, 1, 2}));

    arrivals.clear();
    control->rawPath->setText("in.raw");
    control->rawOutput->setText("out.avi");
    control->rawWidth->setValue(16);
    control->rawHeight->setValue(1024);
    control->convertRawButton->click();
    WaitForStream(Bytes({0x00, 0xD0, 0,   0,   'i', 'n', '.', 'r', 'a', 'w',  0,
                         0x00, 0xD1, 0,   0,   '1', '6', 0,   0,   '1', '0',  '2',
                         '4',  'o',  'u', 't', '.', 'a', 'v', 'i', 0,   0x00, 0x00}));
}

TEST_F(ControlForms, ProgressMessageMovesTheBar) {
    // Frame 3 of 10, 30 %.
    SendStatus(Bytes({0x00, 0xB2, 0x00, 30, 0, 0, 0, 10, 0, 0, 0, 3}));
    ASSERT_TRUE(WaitFor([this] { return control->progress->value() == 30; }));
    EXPECT_EQ(control->progress->text(), "3 / 10 frames (30 %)");
}

TEST_F(ControlForms, SplitAndJoinedMessagesAreAllApplied) {
    // A progress message cut in two writes.
    SendStatus(Bytes({0x00, 0xB2, 0x00, 50, 0, 0}));
    Pause(50);
    SendStatus(Bytes({0, 4, 0, 0, 0, 2}));
    ASSERT_TRUE(WaitFor([this] { return control->progress->value() == 50; }));
    EXPECT_EQ(control->progress->text(), "2 / 4 frames (50 %)");

    // Geometry, two loaded ports and the final progress in one write.
    SendStatus(Bytes({0x00, 0xB1, 100,  0,   0, 0,    50,   0,    0,    0,    0x80, 0x02, 0,
                      0,    0xE0, 0x01, 0,   0, 0x00, 0xB0, 0x00, 0x07, 0x00, 0xB0, 0x00, 0xFF,
                      0x00, 0xB2, 0x00, 100, 0, 0,    0,    4,    0,    0,    0,    4}));
    ASSERT_TRUE(WaitFor([this] { return control->progress->value() == 100; }));
    EXPECT_TRUE(control->portHasChain[7]);
    EXPECT_TRUE(control->portHasChain[255]);
    EXPECT_FALSE(control->portHasChain[6]);
    EXPECT_TRUE(control->portList->item(7)->text().contains("chain"));
    EXPECT_TRUE(control->geometryKnown);
    EXPECT_EQ(control->quorvaneGeometry[2], 640);
}

TEST_F(ControlForms, HeldUpCommandsWaitInOrderAndTheStatusLineSaysSo) {
    // A geometry message while nothing is out answers nothing.
    SendStatus(kAnswer);
    ASSERT_TRUE(WaitFor([this] { return control->link.unrequestedAnswers == 1; }));

    // A dialog is open in Quorvane: nothing is answered for a while.
    autoAnswer = false;
    Packet expected;
    for (int row = 1; row <= 20; ++row) {
        control->portList->setCurrentRow(row);
        Packet one = Bytes({0x00, 0xA3, 0x00, row});
        expected.insert(expected.end(), one.begin(), one.end());
    }
    ASSERT_TRUE(WaitFor([this] { return arrivals.size() == 1; }));
    Pause(kAnswerWaitNoticeMs + 300);
    EXPECT_EQ(arrivals.size(), 1u);
    EXPECT_TRUE(control->connectionLabel->text().contains("Waiting for Quorvane"));
    EXPECT_TRUE(control->connectionLabel->text().contains("19 more commands wait"));

    // The dialog closes: the rest follows, one packet per answer, in order.
    autoAnswer = true;
    SendStatus(kAnswer);
    ASSERT_TRUE(WaitFor([this] { return LinkIdle(control->link); }));
    WaitForStream(expected);
    EXPECT_EQ(arrivals.size(), 20u);
    EXPECT_TRUE(control->connectionLabel->text().contains("Connected to Quorvane"));
}

TEST_F(ControlForms, SaveIsReportedOnlyWhenTheFileWasWritten) {
    QTemporaryDir files;
    ASSERT_TRUE(files.isValid());
    const QString project = files.filePath("stage.quor");
    const QString chain = files.filePath("port.line");
    const QString video = files.filePath("out.avi");
    const struct {
        const char* name;
        QString path;
        uint8_t code;       // the save command that writes the file
        bool oldFileThere;  // a file of an hour ago is at the path
        bool quorvaneWrites;
        const char* expected;
    } cases[] = {
        {"project written", project, 0xB0, false, true, "Project saved as "},
        {"project not written", project, 0xB0, false, false,
         "Quorvane did not save the project as "},
        {"old project left alone", project, 0xB0, true, false,
         "Quorvane did not save the project as "},
        {"old project replaced", project, 0xB0, true, true, "Project saved as "},
        {"chain written", chain, 0xA1, false, true, "Chain of port 1 saved as "},
        {"chain not written", chain, 0xA1, false, false,
         "Quorvane did not save the chain of port 1 as "},
        {"video written", video, 0xD1, false, true, "Video saved as "},
        {"video not written", video, 0xD1, true, false, "Quorvane did not save the video "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(c.path);
        if (c.oldFileThere) {
            QFile old(c.path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
            ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                        QFileDevice::FileModificationTime));
        }
        onArrival = [&](const Packet& bytes) {
            if (!c.quorvaneWrites || bytes.size() < 2 || bytes[1] != c.code) return;
            QFile file(c.path);
            if (file.open(QIODevice::WriteOnly)) file.write("new");
        };
        nextPath = c.path;
        if (c.code == 0xB0) control->saveProjectButton->click();
        if (c.code == 0xA1) control->saveChainButton->click();
        if (c.code == 0xD1) {
            control->rawPath->setText("in.raw");
            control->rawOutput->setText(c.path);
            control->convertRawButton->click();
        }
        // Not before Quorvane has finished the command.
        EXPECT_TRUE(control->messageLabel->text().startsWith("Waiting for Quorvane to save"));
        ASSERT_TRUE(WaitFor(
            [this] { return !control->messageLabel->text().startsWith("Waiting for Quorvane"); }));
        EXPECT_EQ(
            control->messageLabel->text(),
            c.expected + c.path + (c.code == 0xD1 && !c.quorvaneWrites ? " (from in.raw)" : ""));
        EXPECT_EQ(control->messageLabel->styleSheet().isEmpty(), c.quorvaneWrites);
        ASSERT_TRUE(WaitFor([this] { return LinkIdle(control->link); }));
    }
}

TEST(ControlPlacement, BesideQuorvaneAndOnTheScreen) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize ours(500, 700);
    const struct {
        QRect quorvane;
        QPoint expected;
    } cases[] = {
        {QRect(100, 50, 640, 480), QPoint(752, 50)},    // room on the right
        {QRect(1300, 50, 600, 480), QPoint(788, 50)},   // no room: on the left
        {QRect(-8, -20, 1920, 1000), QPoint(1420, 0)},  // no room either side
        {QRect(100, 900, 640, 480), QPoint(752, 380)},  // kept above the bottom
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceBeside(c.quorvane, ours, screen), c.expected) << c.quorvane.x();
}

TEST_F(ControlForms, OpeningAFileReplacesTheChainMarks) {
    SendStatus(Bytes({0x00, 0xB0, 0x00, 0x02}));
    ASSERT_TRUE(WaitFor([this] { return control->portHasChain[2]; }));

    nextPath = "/shows/stage.quor";
    control->openProjectButton->click();
    Packet expected = Bytes({0x00, 0xB1, 0, 0});
    for (char ch : std::string("/shows/stage.quor")) expected.push_back(uint8_t(ch));
    expected.push_back(0);
    WaitForStream(expected);
    EXPECT_FALSE(control->portHasChain[2]);

    SendStatus(Bytes({0x00, 0xB0, 0x00, 0x09}));
    ASSERT_TRUE(WaitFor([this] { return control->portHasChain[9]; }));
    EXPECT_FALSE(control->portHasChain[2]);
}

TEST_F(ControlForms, LostConnectionIsShownAndCommandsAreRefused) {
    // A save that Quorvane never finished: its outcome is not claimed.
    autoAnswer = false;
    nextPath = "/shows/late.quor";
    control->saveProjectButton->click();
    ASSERT_TRUE(WaitFor([this] { return arrivals.size() == 1; }));
    client->disconnectFromHost();
    ASSERT_TRUE(WaitFor([this] { return control->link.state == LinkState::Lost; }));
    EXPECT_TRUE(control->connectionLabel->text().contains("Connection lost"));
    EXPECT_EQ(control->messageLabel->text(),
              "The connection was lost before Quorvane finished saving /shows/late.quor: check "
              "the file.");
    control->portList->setCurrentRow(9);
    EXPECT_TRUE(control->messageLabel->text().contains("no connection"));
}

TEST_F(ControlForms, MissingToolsAreNamedInTheirForms) {
    // Nothing beside this test program is a tool.
    const QString folder = QCoreApplication::applicationDirPath();
    const struct {
        ToolForm* form;
        const char* tool;
    } forms[] = {{&control->convertForm, "quorvane-convert"},
                 {&control->liveForm, "quorvane-play"}};
    const QString missing =
        " was not found in " + folder + "; it is installed beside the control program.";
    for (const auto& f : forms) {
        SCOPED_TRACE(f.tool);
        EXPECT_EQ(f.form->status->text(), f.tool + missing);
        EXPECT_TRUE(f.form->status->styleSheet().contains("#b00000"));
    }
    control->convertVideo->setText("/media/clip.mp4");
    control->convertTarget->setText("/shows/out.led");
    control->convertForm.status->clear();
    control->convertForm.start->click();
    EXPECT_EQ(control->convertForm.status->text(), QString("quorvane-convert") + missing);
    Pause(kQuietMs);
    EXPECT_TRUE(arrivals.empty());  // Quorvane was not asked to save for nothing
}

TEST_F(ControlForms, SamplingAndPowerOptionsArePassedOnlyWhenSet) {
    // Both tool forms, their colour fields at the defaults: only the options
    // the tools always take.
    const QStringList always = {"--order",     "RGB",     "--brightness",
                                "100,100,100", "--black", "0,0,0"};
    for (ToolColorFields* fields : {&control->convertColors, &control->liveColors}) {
        EXPECT_EQ(ColorArguments(*fields), always);
        fields->sample->setCurrentIndex(1);
        fields->powerReport->setText(" /shows/power.csv ");
        fields->maPerChannel->setValue(12.5);
        fields->volts->setValue(12);
        fields->limitAmps->setValue(2.25);
        EXPECT_EQ(ColorArguments(*fields), QStringList(always) << "--sample"
                                                               << "area"
                                                               << "--power-report"
                                                               << "/shows/power.csv"
                                                               << "--ma-per-channel"
                                                               << "12.5"
                                                               << "--volts"
                                                               << "12"
                                                               << "--limit-amps"
                                                               << "2.25");
    }
}

TEST_F(ControlForms, LayoutSaveForAToolEndsWithTheConnection) {
    QTemporaryDir tools;
    ASSERT_NO_FATAL_FAILURE(UseStandInConverter(tools, "exit 0\n"));
    autoAnswer = false;
    control->convertVideo->setText("/media/clip.mp4");
    control->convertTarget->setText("/shows/out.led");
    control->convertForm.start->click();
    ASSERT_TRUE(WaitFor([this] { return arrivals.size() == 1; }));
    // Command 176 with a project in a folder of the control program's own.
    Packet save = arrivals[0].bytes;
    ASSERT_GT(save.size(), 5u);
    EXPECT_EQ(save[1], 0xB0);
    const QString project = QString::fromLocal8Bit(reinterpret_cast<const char*>(save.data()) + 4,
                                                   int(save.size()) - 5);
    const QString folder = QFileInfo(project).absolutePath();
    EXPECT_TRUE(QFileInfo(folder).fileName().startsWith("quorvane-layout-"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(control->convertForm.start->isEnabled());

    client->disconnectFromHost();
    ASSERT_TRUE(WaitFor([this] { return control->link.state == LinkState::Lost; }));
    EXPECT_EQ(control->convertForm.status->text(),
              "The connection to Quorvane was lost before it saved the layout.");
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_TRUE(control->convertForm.start->isEnabled());
}

TEST_F(ControlForms, StopWhileQuorvaneSavesKeepsTheToolFromStarting) {
    QTemporaryDir tools;
    ASSERT_NO_FATAL_FAILURE(
        UseStandInConverter(tools, QString("touch '%1'\n").arg(tools.filePath("ran")).toUtf8()));
    autoAnswer = false;
    control->convertVideo->setText("/media/clip.mp4");
    control->convertTarget->setText("/shows/out.led");
    control->convertForm.start->click();
    ASSERT_TRUE(WaitFor([this] { return arrivals.size() == 1; }));
    control->convertForm.stop->click();
    // Quorvane takes the save, then the code-0 packet behind it.
    SendStatus(kAnswer);
    ASSERT_TRUE(WaitFor([this] { return arrivals.size() == 2; }));
    SendStatus(kAnswer);
    ASSERT_TRUE(WaitFor([this] { return !control->convertForm.savingLayout; }));
    EXPECT_EQ(control->convertForm.status->text(), "Stopped before quorvane-convert started.");
    EXPECT_FALSE(ToolRunning(control->convertForm.run));
    Pause(kQuietMs);
    EXPECT_FALSE(QFileInfo::exists(tools.filePath("ran")));
    EXPECT_TRUE(control->convertForm.start->isEnabled());
}

TEST_F(ControlForms, OutputsTableKeepsWhatItHasNoColumnFor) {
    const QString path = settingsDir.filePath("outputs.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"source_name": "Stage", "outputs": [
        {"protocol": "sacn", "address": "192.0.2.5", "ports": [1, 2, 3, 7], "universe": 5,
         "priority": 150, "sync_universe": 7000, "pixels_per_universe": 100},
        {"protocol": "artnet", "address": "192.0.2.6", "ports": [4], "sync": true,
         "udp_port": 6455}]})");
    file.close();
    nextPath = path;
    control->outputsOpenButton->click();
    QTableWidget* table = control->outputsTable;
    ASSERT_EQ(table->rowCount(), 2);
    const QStringList first = {table->item(0, 1)->text(), table->item(0, 2)->text(),
                               table->item(0, 3)->text(), table->item(0, 4)->text(),
                               table->item(0, 5)->text()};
    EXPECT_EQ(first, QStringList({"192.0.2.5", "1-3, 7", "5", "150", "7000"}));
    EXPECT_EQ(table->item(1, 5)->text(), "yes");
    EXPECT_FALSE(control->outputsEdited);

    table->item(0, 2)->setText("1-2, 9");
    control->outputsAddButton->click();
    qobject_cast<QComboBox*>(table->cellWidget(2, 0))->setCurrentText("ddp");
    table->item(2, 1)->setText("192.0.2.9");
    table->item(2, 2)->setText("5, x");  // not port numbers: for the tool to refuse
    EXPECT_TRUE(control->outputsEdited);
    nextPath = settingsDir.filePath("edited");
    control->outputsSaveButton->click();
    EXPECT_EQ(control->outputsPath->text(), nextPath + ".json");
    QFile saved(nextPath + ".json");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QJsonObject expected = QJsonDocument::fromJson(R"({"source_name": "Stage", "outputs": [
        {"protocol": "sacn", "address": "192.0.2.5", "ports": [1, 2, 9], "universe": 5,
         "priority": 150, "sync_universe": 7000, "pixels_per_universe": 100},
        {"protocol": "artnet", "address": "192.0.2.6", "ports": [4], "sync": true,
         "udp_port": 6455},
        {"protocol": "ddp", "address": "192.0.2.9", "ports": "5, x"}]})")
                                     .object();
    EXPECT_EQ(QJsonDocument::fromJson(saved.readAll()).object(), expected);
    EXPECT_FALSE(control->outputsEdited);
}

TEST(ControlConnect, RetriesUntilQuorvaneListens) {
    QTemporaryDir settingsDir;
    // Find a free port, then start listening on it only after the window tried.
    quint16 port;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    ControlHooks hooks;
    hooks.settingsFile = settingsDir.filePath("control.ini");
    std::unique_ptr<ControlWindow> control = CreateControlWindow(port, hooks);
    Pause(3 * kConnectRetryMs);
    EXPECT_EQ(control->link.state, LinkState::Connecting);
    // Chosen while not connected: the form says so, and the choice goes out on connecting.
    control->portList->setCurrentRow(7);
    EXPECT_TRUE(control->messageLabel->text().contains("no connection"));

    QTcpServer late;
    QByteArray received;
    QObject::connect(&late, &QTcpServer::newConnection, [&] {
        QTcpSocket* client = late.nextPendingConnection();
        QObject::connect(client, &QTcpSocket::readyRead, [&, client] {
            received += client->readAll();
            client->write(reinterpret_cast<const char*>(kAnswer.data()), qint64(kAnswer.size()));
        });
    });
    ASSERT_TRUE(late.listen(QHostAddress::LocalHost, port));
    EXPECT_TRUE(WaitFor([&] { return control->link.state == LinkState::Connected; }));
    EXPECT_TRUE(control->connectionLabel->text().contains("Connected"));
    EXPECT_TRUE(WaitFor([&] { return received.size() >= 8; }));
    EXPECT_EQ(received, QByteArray::fromHex("00b2000000a30007"));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
