// The generators: a wired matrix and a straight line of LEDs.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "layouts/layouts.h"
#include "layouts/layouts_internal.h"

LayoutPiece GenerateMatrix(const MatrixOptions& options, const Placement& place) {
    LayoutPiece piece;
    piece.source = "matrix " + std::to_string(options.width) + "x" + std::to_string(options.height);
    PieceChain chain{-1, {}};
    const int w = options.width, h = options.height;
    chain.leds.reserve(size_t(w > 0 ? w : 0) * size_t(h > 0 ? h : 0));
    const bool top =
        options.start == StartCorner::TopLeft || options.start == StartCorner::TopRight;
    const bool left =
        options.start == StartCorner::TopLeft || options.start == StartCorner::BottomLeft;
    const bool horizontal = options.direction == Direction::Horizontal;
    const int lines = horizontal ? h : w;
    const int along = horizontal ? w : h;
    for (int k = 0; k < lines; ++k) {
        const bool reversed = options.wiring == Wiring::Zigzag && (k % 2) == 1;
        for (int j = 0; j < along; ++j) {
            int column, row;
            if (horizontal) {
                row = top ? k : h - 1 - k;
                column = (left != reversed) ? j : w - 1 - j;
            } else {
                column = left ? k : w - 1 - k;
                row = (top != reversed) ? j : h - 1 - j;
            }
            chain.leds.push_back(PlaceLed(place, column, row, 0));
        }
    }
    piece.chains.push_back(std::move(chain));
    return piece;
}

LayoutPiece GenerateLine(int64_t fromX, int64_t fromY, int64_t toX, int64_t toY, int count) {
    LayoutPiece piece;
    piece.source = "line " + CellText(fromX, fromY) + " to " + CellText(toX, toY);
    const int64_t dx = toX - fromX, dy = toY - fromY;
    if (count <= 0) count = int(std::max(std::llabs(dx), std::llabs(dy)) + 1);
    PieceChain chain{-1, {}};
    chain.leds.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const double t = count == 1 ? 0.0 : double(i) / double(count - 1);
        chain.leds.push_back({fromX + int64_t(std::llround(t * double(dx))),
                              fromY + int64_t(std::llround(t * double(dy))), 0});
    }
    piece.chains.push_back(std::move(chain));
    return piece;
}
