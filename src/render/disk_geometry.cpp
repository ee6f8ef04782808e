// The cached LED disk shapes. The vertex arithmetic follows the quadric disk
// step by step (float sine table over a float angle, float radii) because
// any rounding difference would move a vertex and change edge pixels.
#include "render/disk_geometry.h"

#include <GL/gl.h>

#include <cmath>
#include <deque>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::deque<DiskMesh> g_meshes;  // deque: references stay valid as it grows

void BuildMesh(DiskMesh& mesh) {
    const int slices = mesh.slices;
    std::vector<float> sinTable(slices + 1);
    std::vector<float> cosTable(slices + 1);
    for (int i = 0; i <= slices; ++i) {
        const float angle = static_cast<float>(0.0f + ((kPi * 360.0) / 180.0) * i / slices);
        sinTable[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
        cosTable[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
    }
    sinTable[slices] = sinTable[0];
    cosTable[slices] = cosTable[0];

    const float deltaRadius = static_cast<float>(mesh.outer - mesh.inner);
    auto push = [](std::vector<float>& out, float x, float y) {
        out.push_back(x);
        out.push_back(y);
    };
    if (mesh.inner == 0.0) {
        mesh.primitive = GL_TRIANGLE_FAN;
        const float radius = static_cast<float>(mesh.outer - deltaRadius * (0.0f / 1));
        push(mesh.outline, 0.0f, 0.0f);
        for (int i = slices; i >= 0; --i) {
            push(mesh.outline, radius * sinTable[i], radius * cosTable[i]);
        }
        const uint32_t count = static_cast<uint32_t>(mesh.outline.size() / 2);
        for (uint32_t k = 1; k + 1 < count; ++k) {
            mesh.triangles.insert(mesh.triangles.end(), {0, k, k + 1});
        }
    } else {
        mesh.primitive = GL_QUAD_STRIP;
        const float low = static_cast<float>(mesh.outer - deltaRadius * (0.0f / 1));
        const float high = static_cast<float>(mesh.outer - deltaRadius * (1.0f / 1));
        for (int i = 0; i <= slices; ++i) {
            push(mesh.outline, low * sinTable[i], low * cosTable[i]);
            push(mesh.outline, high * sinTable[i], high * cosTable[i]);
        }
        // Quad i is outer i, inner i, inner i + 1, outer i + 1.
        for (uint32_t i = 0; i < static_cast<uint32_t>(slices); ++i) {
            const uint32_t a0 = 2 * i, b0 = a0 + 1, a1 = a0 + 2, b1 = a0 + 3;
            mesh.triangles.insert(mesh.triangles.end(), {a0, b0, b1, a0, b1, a1});
        }
    }
}

}  // namespace

const DiskMesh& DiskMeshFor(double outer, double inner, int slices) {
    for (const DiskMesh& mesh : g_meshes) {
        if (mesh.outer == outer && mesh.inner == inner && mesh.slices == slices) return mesh;
    }
    DiskMesh& mesh = g_meshes.emplace_back();
    mesh.outer = outer;
    mesh.inner = inner;
    mesh.slices = slices;
    BuildMesh(mesh);
    return mesh;
}
