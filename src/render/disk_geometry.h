// LED disk geometry computed once per (outer radius, ring, slices): the very
// vertices a GLU quadric disk with one loop emits (a triangle fan for a
// filled disk, a quad strip for a ring), in the same float arithmetic, so
// drawing them gives the same pixels without building a quadric per LED.
#pragma once

#include <cstdint>
#include <vector>

struct DiskMesh {
    double outer;
    double inner;
    int slices;
    // The primitive as the quadric sends it: GL_TRIANGLE_FAN (centre first)
    // or GL_QUAD_STRIP; x, y pairs around the origin.
    unsigned primitive;
    std::vector<float> outline;
    // The same surface as triangles over the outline vertices, for batching.
    std::vector<uint32_t> triangles;
};

// Radii as the quadric gets them: inner 0 for a filled disk. The reference
// stays valid for the whole run. Outer radius must be above 0.
const DiskMesh& DiskMeshFor(double outer, double inner, int slices);
