// The straightforward drawing of one port, for comparison with the program's
// batched drawing in the drawing tests and the rendering benchmark.
#pragma once

// Every LED of a port with a new GLU quadric and an immediate-mode disk (a
// square point in the square shape), then every chain line in its own
// glBegin/glEnd: the picture the batched drawing must give, pixel for pixel.
void DrawPortOneByOne(int port, int c);
