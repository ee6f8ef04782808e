// Layouts from outside the window: generated matrices and lines, point lists
// (CSV), custom models (.xmodel) and LED maps (ledmap.json) read into pieces,
// pieces put onto the ports of a layout, the checks a layout must pass, the
// same formats written back, and the layout saved as the project the window's
// save writes. No window parts and no run-wide state of its own; saving goes
// through the file layer's path state.
//
// Positions here are in the tool's cells: column x from the left, row y from
// the top of the 2048 x 2048 grid (grid y = 2047 - row), as the window shows
// them. They are signed, so a position off the grid survives until the check
// names it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/protocol.h"  // kPortCount
#include "files/file_formats.h"
#include "model/layout.h"

struct PlacedLed {
    int64_t x;           // column from the left
    int64_t y;           // row from the top
    uint32_t line;       // line of the source file it came from; 0 for none
    uint32_t entry = 0;  // its number in a source that names its entries (entryName)
};

// One run of LEDs in chain order. `port` is an index 0..255 when the source
// names it, or -1 for "the next free port" (and on along the free ports when
// the run is longer than a port holds).
struct PieceChain {
    int port;
    std::vector<PlacedLed> leds;
};

// What a reader or generator gives: chains to be put onto ports, the name of
// its source for messages ("walls.csv", "matrix 64x32"), what its entries are
// called there, and the warnings about what was changed on the way (depth
// layers flattened, ...).
struct LayoutPiece {
    std::string source;
    std::vector<PieceChain> chains;
    std::vector<std::string> warnings;
    std::string entryName = "";  // "node", "map entry": what PlacedLed::entry counts
};

// A whole layout: per port index its chain (empty for an unused port), the
// chain colour, and where each LED came from for messages.
struct Layout {
    std::vector<PlacedLed> ports[kPortCount];
    uint8_t colors[kPortCount][3];
    std::string sources[kPortCount];     // "walls.csv", or the project it was read from
    std::string entryNames[kPortCount];  // the source's LayoutPiece::entryName
};

// Every port empty, the colours those of fresh generated ports.
void ClearLayout(Layout* layout);

// ---- placing a source on the grid ----------------------------------------------

// Where a source's own coordinates land: cell = origin + round(v * scale) *
// pitch, with v the source's column and row (row downwards, or upwards with
// `yUp`, where a row above the origin has a smaller y).
struct Placement {
    int64_t originX = 0;
    int64_t originY = 0;
    bool originGiven = false;  // false: (0, 0), or (0, 2047) for y up
    double scale = 1.0;
    int64_t pitch = 1;
    bool yUp = false;
};

// ---- generators ---------------------------------------------------------------------

enum class Wiring : uint8_t { Zigzag, Progressive };
enum class StartCorner : uint8_t { TopLeft, TopRight, BottomLeft, BottomRight };
enum class Direction : uint8_t { Horizontal, Vertical };

struct MatrixOptions {
    int width = 0;
    int height = 0;
    Wiring wiring = Wiring::Zigzag;
    StartCorner start = StartCorner::TopLeft;
    Direction direction = Direction::Horizontal;
};

// A width x height matrix as one chain for the next free port: the first LED
// in the start corner, lines along the direction, every other line reversed
// for zigzag. Cell (c, r) of the matrix lies at origin + (c, r) * pitch.
LayoutPiece GenerateMatrix(const MatrixOptions& options, const Placement& place);

// `count` LEDs from cell `from` to cell `to` (both included), evenly spaced
// and rounded to cells; count 0 takes one LED per cell along the longer axis.
LayoutPiece GenerateLine(int64_t fromX, int64_t fromY, int64_t toX, int64_t toY, int count);

// ---- readers: false with "<file>[:<line>]: <cause>" -------------------------------

enum class LayoutFormat : uint8_t { Csv, Xmodel, Ledmap };

// By the name's ending: .csv, .xmodel, .json; false for any other.
bool LayoutFormatOfName(const std::string& path, LayoutFormat* format);
bool LayoutFormatByName(const std::string& name, LayoutFormat* format);  // "csv", ...

struct ReadOptions {
    Placement place;
    int port = -1;  // CSV without a port column: the port index of every point
};

// A header row naming the columns (any order, any case): x and y, with port
// (1..256) unless `port` is given, index (chain order within the port, file
// order without it); other columns are ignored. Separated by commas,
// semicolons or tabs; empty lines and lines starting with # are skipped.
bool ReadCsvLayout(const std::string& name, const std::string& text, const ReadOptions& options,
                   LayoutPiece* piece, std::string* error);
// A custommodel: CustomModelCompressed when not empty, else CustomModel;
// nodes in number order, one chain per string (CustomStrings, String<k>).
bool ReadXmodelLayout(const std::string& name, const std::string& text, const ReadOptions& options,
                      LayoutPiece* piece, std::string* error);
// A map of physical LED numbers by logical position, width at a time; the
// LEDs in physical order as one chain.
bool ReadLedmapLayout(const std::string& name, const std::string& text, const ReadOptions& options,
                      LayoutPiece* piece, std::string* error);
bool ReadLayoutText(LayoutFormat format, const std::string& name, const std::string& text,
                    const ReadOptions& options, LayoutPiece* piece, std::string* error);

// ---- putting pieces onto ports and the checks ------------------------------------

// Adds the piece's chains to `layout`: a chain naming its port goes there (a
// port already holding LEDs is refused); the others start at the first free
// port from `firstPort` and go on to the next free port after every
// `ledsPerPort` LEDs (1..2048). Then the whole layout is checked: at most
// 2048 LEDs a port, every LED on the grid, no two LEDs on one cell. On any
// refusal `layout` is unchanged and `error` names the first offending LED: of
// LEDs without a source line by port and chain position, then of the others
// by line.
bool AddPiece(const LayoutPiece& piece, int firstPort, int ledsPerPort, Layout* layout,
              std::string* error);

int LayoutLedCount(const Layout& layout);
int LayoutPortCount(const Layout& layout);

// ---- writers -------------------------------------------------------------------------

// port,index,x,y for every LED (port 1..256, index from 0, cells as above).
std::string WriteCsvLayout(const Layout& layout);
// One custommodel over the layout's bounding box, ports in order as strings,
// nodes numbered along them; the compressed form too when it is shorter.
std::string WriteXmodelLayout(const Layout& layout, const std::string& name);
// The layout's bounding box (at most 255 x 255 cells) with the LEDs numbered
// along the ports in order; false when it does not fit.
bool WriteLedmapLayout(const Layout& layout, const std::string& name, std::string* text,
                       std::string* error);

// ---- the model and the project ----------------------------------------------------------

// The chains of the layout model (an opened project) as a layout.
void LayoutFromModel(const std::string& source, Layout* layout);

// The files the window's project save (command 176) writes for this layout:
// `header` with the used ports flagged and `view` set, and one chain file
// per used port, named by the file layer's rule. All of them are written to
// temporary files first and renamed into place only when every one was
// written, so a failure leaves no part of the new project behind. The layout
// must have passed AddPiece's checks.
bool SaveLayoutProject(const std::string& path, const Layout& layout, const ProjectHeader& header,
                       const HeaderView& view, std::string* error);

// The view a project of a fresh window is saved with: cell size 16, the
// top-left corner of the grid.
HeaderView StartView();
