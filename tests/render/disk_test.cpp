// The cached LED shapes against the quadric disk they replace: the same
// pixels for one disk or ring, and for whole ports drawn in one batch.
#include <GL/freeglut.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include "app/shell.h"
#include "app/view.h"
#include "common/common.h"
#include "common/packet.h"
#include "model/layout.h"
#include "net/dispatch.h"
#include "render/disk_geometry.h"
#include "render/gl_window.h"
#include "render/scene.h"
#include "render/settings.h"
#include "support/live_edits.h"
#include "support/reference_drawing.h"
#include "support/test_support.h"

namespace {

// The mesh drawn once at the current matrix, as the scene's batches draw
// each disk.
void DrawDiskMesh(const DiskMesh& mesh) {
    glNormal3f(0.0f, 0.0f, 1.0f);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, mesh.outline.data());
    glDrawArrays(mesh.primitive, 0, static_cast<GLsizei>(mesh.outline.size() / 2));
    glDisableClientState(GL_VERTEX_ARRAY);
}

class DiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRunState();
        EnsureTestWindow();
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        SetSettingsColor(SettingsColor::ChainLine, 26, 230, 128);
    }
    void TearDown() override { ResetRunState(); }

    static void BeginFrame() {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        ApplyWindowProjection(kTestWindowWidth, kTestWindowHeight);
        glColor3f(0.8f, 0.4f, 0.2f);
    }
};

TEST_F(DiskTest, CachedDiskGivesTheQuadricsPixels) {
    struct Case {
        double outer, inner;
        int slices;
        bool empty;  // covers no pixel centre at all
    };
    const Case cases[] = {{1, 0, 12, false},    {1, 0, 4, false},      {1, 0.75, 12, true},
                          {1, 0.75, 4, false},  {7, 0, 4, false},      {7, 0, 12, false},
                          {7, 5.25, 12, false}, {7, 5.25, 4, false},   {3, 2.25, 12, false},
                          {14, 0, 12, false},   {21, 15.75, 12, false}};
    const float centres[][2] = {{100, 100}, {333, 217}, {8, 472}, {639, 3}};
    for (const Case& one : cases) {
        for (const auto& centre : centres) {
            SCOPED_TRACE(testing::Message() << one.outer << "/" << one.inner << "/" << one.slices
                                            << " at " << centre[0] << "," << centre[1]);
            BeginFrame();
            GLUquadric* quadric = gluNewQuadric();
            glPushMatrix();
            glTranslatef(centre[0], centre[1], 0.0f);
            gluDisk(quadric, one.inner, one.outer, one.slices, 1);
            glPopMatrix();
            gluDeleteQuadric(quadric);
            const std::vector<uint8_t> reference = ReadFrame();

            BeginFrame();
            glPushMatrix();
            glTranslatef(centre[0], centre[1], 0.0f);
            DrawDiskMesh(DiskMeshFor(one.outer, one.inner, one.slices));
            glPopMatrix();
            const std::vector<uint8_t> ours = ReadFrame();
            EXPECT_TRUE(reference == ours);
            const bool blank =
                std::count(reference.begin(), reference.end(), 0) == long(reference.size());
            EXPECT_EQ(blank, one.empty);
        }
    }
}

void SendCommand(uint16_t code, uint8_t value) {
    uint8_t packet[kPacketSize] = {};
    WriteBE16(packet, code);
    packet[4] = value;
    DispatchCommand(packet, 5);
}

TEST_F(DiskTest, BatchedPortGivesTheOneByOnePixels) {
    // Two ports of scattered LEDs, some dark, overlapping at small cells.
    for (int port = 0; port < 2; ++port) {
        SetChainColor(port, port ? 30 : 220, 140, port ? 250 : 60);
        SetActiveRange(port, 0, kChainCapacity, 1);
        for (int i = 0; i < 600; ++i) {
            const int g = port * 600 + i;
            AddLed(port, {static_cast<uint16_t>((g * 7) % 160),
                          static_cast<uint16_t>(2047 - (g * 13) % 120)});
        }
        for (int i = 0; i < 600; i += 5) SetActiveRange(port, i, i + 1, 0);
        SetActiveRange(port, 0, 1, port);  // port 0 starts with a dark LED
    }
    // A third port snakes through neighbouring cells, with steps of one to
    // three cells straight and diagonal, and some dark LEDs on the way.
    SetChainColor(2, 250, 250, 20);
    SetActiveRange(2, 0, kChainCapacity, 1);
    for (int i = 0; i < 400; ++i) {
        const int row = i / 20;
        const int along = row % 2 ? 19 - i % 20 : i % 20;
        const int step = (row / 3) % 3 + 1;
        AddLed(2, {static_cast<uint16_t>(40 + along * step + (row % 4 == 3 ? 1 : 0)),
                   static_cast<uint16_t>(2047 - 2 - row * step)});
    }
    for (int i = 6; i < 400; i += 9) SetActiveRange(2, i, i + 1, 0);
    const int ports = 3;
    struct Look {
        uint16_t command;
        uint8_t sizeFactor;
    };
    for (Look look : {Look{171, 1}, Look{171, 2}, Look{171, 5}, Look{172, 1}}) {
        SendCommand(look.command, 0);
        SendCommand(181, look.sizeFactor);
        for (int c : {16, 11, 7, 5, 4, 2, 1}) {
            SCOPED_TRACE(testing::Message() << "command " << look.command << " factor "
                                            << int(look.sizeFactor) << " cell " << c);
            for (uint16_t scrollX : {0, 3}) {
                SetView(c, scrollX, 2047);
                BeginFrame();
                for (int port = 0; port < ports; ++port) DrawPortOneByOne(port, c);
                const std::vector<uint8_t> reference = ReadFrame();
                BeginFrame();
                DrawChains(false);
                EXPECT_TRUE(reference == ReadFrame());
            }
        }
    }
}

}  // namespace
