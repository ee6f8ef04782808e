// quorvane-layout: layouts generated, imported from the peers' formats or
// exported to them, without a window.
//
//   quorvane-layout matrix WxH  [placing] [wiring]  (-o PROJECT | --into PROJECT)
//   quorvane-layout line --from X,Y --to X,Y [--count N] (-o PROJECT | --into PROJECT)
//   quorvane-layout import FILE [placing]           (-o PROJECT | --into PROJECT)
//   quorvane-layout export PROJECT --to csv|xmodel|ledmap OUT
//
// The output is always a project: a .quor file with its chain files, the
// files the window's save writes, so the window, quorvane-convert and
// quorvane-play open it unchanged. PROJECT is a .quor file, or a folder
// that gets one named after it. -o makes a new project, --into adds to the
// free ports of an existing one. Everything is checked before anything is
// written, and a failed write leaves nothing behind. Exit status 0 on
// success, 1 on an error (one line on standard error naming the file, the
// line where there is one, and the cause), 2 on a usage error.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/file_io.h"
#include "common/protocol.h"
#include "files/layout_files.h"
#include "files/project_file.h"
#include "layouts/layouts.h"
#include "model/layout.h"
#include "platform/sys_console.h"
#include "tools/open_layout.h"
#include "tools/tool_main.h"

namespace {

const char kProgram[] = "quorvane-layout";

int Fail(const std::string& line) {
    std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
    return 1;
}

// "X,Y": two whole numbers (negative allowed), each within +-100000.
bool ParseCellPair(const std::string& text, int64_t* x, int64_t* y) {
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    auto number = [](const std::string& t, int64_t* out) {
        if (t.empty() || t.size() > 7) return false;
        size_t i = t[0] == '-' ? 1 : 0;
        if (i == t.size()) return false;
        for (; i < t.size(); ++i)
            if (t[i] < '0' || t[i] > '9') return false;
        *out = std::strtoll(t.c_str(), nullptr, 10);
        return true;
    };
    return number(text.substr(0, comma), x) && number(text.substr(comma + 1), y);
}

// "WxH", each 1..2048.
bool ParseSize(const std::string& text, int* width, int* height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    auto number = [](const std::string& t, int* out) {
        if (t.empty() || t.size() > 4) return false;
        for (char c : t)
            if (c < '0' || c > '9') return false;
        *out = std::atoi(t.c_str());
        return *out >= 1 && *out <= kGridSide;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

CLI::Validator CellPair() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            int64_t x, y;
            return ParseCellPair(text, &x, &y) ? std::string() : std::string("expected X,Y");
        },
        "X,Y");
}

// Where the layout goes and how pieces fill its ports.
struct Target {
    std::string output;  // -o
    std::string into;    // --into
    bool force = false;
    int ledsPerPort = kChainCapacity;
    int firstPort = 1;
};

void AddTargetOptions(CLI::App* command, Target* target) {
    CLI::Option* output =
        command->add_option("-o,--output", target->output,
                            "the new project: a .quor file, or a folder that gets one named "
                            "after it");
    CLI::Option* into = command->add_option("--into", target->into,
                                            "an existing .quor project to add to (its free ports)");
    output->excludes(into);
    command->add_flag("--force", target->force, "with -o: replace a project already there");
    command
        ->add_option("--leds-per-port", target->ledsPerPort,
                     "LEDs on a port before the chain goes on at the next free port")
        ->check(CLI::Range(1, kChainCapacity))
        ->capture_default_str();
    command->add_option("--first-port", target->firstPort, "the first port to fill (1..256)")
        ->check(CLI::Range(1, kPortCount))
        ->capture_default_str();
}

struct PlaceTexts {
    std::string origin;
    int pitch = 1;
};

void AddPlaceOptions(CLI::App* command, PlaceTexts* texts, const char* originHelp) {
    command->add_option("--origin", texts->origin, originHelp)->check(CellPair());
    command->add_option("--pitch", texts->pitch, "cells from one LED to the next")
        ->check(CLI::Range(1, kGridSide))
        ->capture_default_str();
}

Placement PlacementOf(const PlaceTexts& texts) {
    Placement place;
    place.pitch = texts.pitch;
    if (!texts.origin.empty()) {
        ParseCellPair(texts.origin, &place.originX, &place.originY);
        place.originGiven = true;
    }
    return place;
}

// A .quor path as given, or <folder>/<folder's name>.quor.
std::string ProjectPathOf(const std::string& given) {
    if (EndsWith(given, ".quor")) return given;
    std::string folder = given;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::string name = FileNameOf(folder.c_str());
    if (name.empty() || name == "." || name == ".." || name == "/") name = "layout";
    return JoinPath(folder, name + ".quor");
}

// Creates the missing folders above `path`, innermost last in `made`.
bool MakeFolders(const std::string& path, std::vector<std::string>* made, std::string* error) {
    const std::string directory = DirectoryOf(path.c_str());
    if (directory.empty() || directory == "." || directory == "/") return true;
    struct stat info;
    if (::stat(directory.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        *error = directory + ": not a folder";
        return false;
    }
    if (!MakeFolders(directory, made, error)) return false;
    if (::mkdir(directory.c_str(), 0777) != 0) {
        *error = directory + ": cannot create the folder: " + std::strerror(errno);
        return false;
    }
    made->push_back(directory);
    return true;
}

void RemoveFolders(const std::vector<std::string>& made) {
    for (size_t i = made.size(); i-- > 0;) ::rmdir(made[i].c_str());
}

// Opens a project as the window does; the console layer's error boxes become
// the error line.
bool OpenProject(const std::string& path, HeaderView* view, std::string* error) {
    if (path.find(".quor") == std::string::npos) {
        *error = path + ": not a project (a .quor file)";
        return false;
    }
    if (path.size() >= kPathBufferSize) {
        *error = path + ": the path is too long";
        return false;
    }
    if (!IsRegularFile(path.c_str())) {
        *error = path + ": cannot open the project";
        return false;
    }
    SysConsole_ClearErrors();
    OpenFile(path.c_str(), *view);
    if (!SysConsole_FirstError().empty()) {
        *error = path + ": " + SysConsole_FirstError();
        return false;
    }
    return true;
}

// "port 3", "ports 1-4", "ports 2, 7-9".
std::string PortList(const bool added[kPortCount]) {
    std::string list;
    int count = 0;
    for (int port = 0; port < kPortCount; ++port) {
        if (!added[port]) continue;
        int last = port;
        while (last + 1 < kPortCount && added[last + 1]) ++last;
        if (!list.empty()) list += ", ";
        list += std::to_string(port + 1);
        if (last > port) list += "-" + std::to_string(last + 1);
        count += last - port + 1;
        port = last;
    }
    if (count == 0) return "no port";
    return (count == 1 ? "port " : "ports ") + list;
}

// Puts the piece onto the target's project and saves it.
int Place(const LayoutPiece& piece, const Target& target) {
    for (const std::string& warning : piece.warnings)
        std::fprintf(stderr, "%s: warning: %s\n", kProgram, warning.c_str());
    std::unique_ptr<Layout> layout(new Layout);
    ClearLayout(layout.get());
    ProjectHeader header = {};
    HeaderView view = StartView();
    std::string path, error;
    if (!target.into.empty()) {
        path = target.into;
        if (!OpenProject(path, &view, &error)) return Fail(error);
        LayoutFromModel(path, layout.get());
        header = CurrentProjectHeader();
    } else if (!target.output.empty()) {
        path = ProjectPathOf(target.output);
        if (FileSizeOf(path.c_str()) >= 0 && !target.force)
            return Fail(path +
                        ": a project is already there (--force replaces it, --into adds "
                        "to it)");
    } else {
        std::fprintf(stderr, "%s: give the project: -o PROJECT or --into PROJECT\n", kProgram);
        return 2;
    }
    bool before[kPortCount];
    for (int port = 0; port < kPortCount; ++port) before[port] = !layout->ports[port].empty();
    if (!AddPiece(piece, target.firstPort - 1, target.ledsPerPort, layout.get(), &error))
        return Fail(error);

    // Ctrl+C or a stop during the save takes effect once it is over, so the
    // project is there whole or not at all.
    sigset_t stops, previous;
    sigemptyset(&stops);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
    sigprocmask(SIG_BLOCK, &stops, &previous);
    std::vector<std::string> made;
    bool saved = MakeFolders(path, &made, &error);
    saved = saved && SaveLayoutProject(path, *layout, header, view, &error);
    if (!saved) RemoveFolders(made);
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (!saved) return Fail(error);
    bool addedPorts[kPortCount];
    int added = 0;
    for (int port = 0; port < kPortCount; ++port) {
        addedPorts[port] = !before[port] && !layout->ports[port].empty();
        if (addedPorts[port]) added += int(layout->ports[port].size());
    }
    const int ports = LayoutPortCount(*layout);
    std::printf("%s: %d LEDs added on %s; %d LEDs on %d %s in all\n", path.c_str(), added,
                PortList(addedPorts).c_str(), LayoutLedCount(*layout), ports,
                ports == 1 ? "port" : "ports");
    return 0;
}

int Export(const std::string& project, const std::string& format, const std::string& out) {
    std::string error;
    if (!OpenLayoutForTool(project, &error)) return Fail(error);
    std::unique_ptr<Layout> layout(new Layout);
    LayoutFromModel(project, layout.get());
    std::string name = FileNameOf(project.c_str());
    if (EndsWith(name, ".quor")) name.resize(name.size() - 5);
    LayoutFormat chosen;
    LayoutFormatByName(format, &chosen);
    std::string text;
    if (chosen == LayoutFormat::Csv) text = WriteCsvLayout(*layout);
    if (chosen == LayoutFormat::Xmodel) text = WriteXmodelLayout(*layout, name);
    if (chosen == LayoutFormat::Ledmap && !WriteLedmapLayout(*layout, name, &text, &error))
        return Fail(out + ": " + error);
    if (!SaveFileReplacing(out.c_str(), text.data(), text.size()))
        return Fail(out + ": cannot write: " + std::strerror(errno));
    std::printf("%s: %d LEDs of %d ports\n", out.c_str(), LayoutLedCount(*layout),
                LayoutPortCount(*layout));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Generates, imports and exports Quorvane layouts.", kProgram};
    AddVersionFlag(app, kProgram);
    app.require_subcommand(1);

    // matrix
    CLI::App* matrix = app.add_subcommand("matrix", "a matrix of LEDs, wired as you say");
    std::string size;
    matrix->add_option("SIZE", size, "WxH, LEDs across and down (each 1..2048)")
        ->required()
        ->check(CLI::Validator(
            [](std::string& text) -> std::string {
                int w, h;
                return ParseSize(text, &w, &h) ? std::string() : std::string("expected WxH");
            },
            "WxH"));
    PlaceTexts matrixPlace;
    AddPlaceOptions(matrix, &matrixPlace, "the cell of the matrix's top-left LED (default 0,0)");
    std::string wiring = "zigzag", start = "top-left", direction = "horizontal";
    matrix
        ->add_option("--wiring", wiring,
                     "zigzag: every other line runs back; progressive: "
                     "every line runs the same way")
        ->check(CLI::IsMember({"zigzag", "progressive"}))
        ->capture_default_str();
    matrix->add_option("--start", start, "the corner of the first LED")
        ->check(CLI::IsMember({"top-left", "top-right", "bottom-left", "bottom-right"}))
        ->capture_default_str();
    matrix->add_option("--direction", direction, "the lines run along rows or columns")
        ->check(CLI::IsMember({"horizontal", "vertical"}))
        ->capture_default_str();
    Target matrixTarget;
    AddTargetOptions(matrix, &matrixTarget);

    // line
    CLI::App* line =
        app.add_subcommand("line", "a straight strip of LEDs from one cell to another");
    std::string from, to;
    int count = 0;
    line->add_option("--from", from, "the cell of the first LED")->required()->check(CellPair());
    line->add_option("--to", to, "the cell of the last LED")->required()->check(CellPair());
    line->add_option("--count", count, "LEDs on the line (default: one a cell)")
        ->check(CLI::Range(1, kChainCapacity * kPortCount));
    Target lineTarget;
    AddTargetOptions(line, &lineTarget);

    // import
    CLI::App* import = app.add_subcommand("import", "a point list, custom model or LED map");
    std::string file, format;
    import->add_option("FILE", file, "a .csv point list, an .xmodel custom model or a ledmap .json")
        ->required();
    import->add_option("--format", format, "the file's format when its name does not tell")
        ->check(CLI::IsMember({"csv", "xmodel", "ledmap"}));
    int port = 0;
    double scale = 1.0;
    bool yUp = false;
    import->add_option("--port", port, "csv without a port column: the port of every point")
        ->check(CLI::Range(1, kPortCount));
    import
        ->add_option("--scale", scale,
                     "csv: cells per unit of the file (0.1 for millimetres "
                     "to 10 mm cells)")
        ->check(CLI::PositiveNumber);
    import->add_flag("--y-up", yUp, "csv: y grows upwards (default: downwards, as on screen)");
    PlaceTexts importPlace;
    AddPlaceOptions(import, &importPlace,
                    "the cell of the file's 0,0 (default 0,0; with --y-up 0,2047)");
    Target importTarget;
    AddTargetOptions(import, &importTarget);

    // export
    CLI::App* exporter = app.add_subcommand("export", "a project into a peer's format");
    std::string project, exportFormat, out;
    exporter->add_option("PROJECT", project, "the .quor project")->required();
    exporter->add_option("--to", exportFormat, "the format to write")
        ->required()
        ->check(CLI::IsMember({"csv", "xmodel", "ledmap"}));
    exporter->add_option("OUT", out, "the file to write")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", kProgram, e.what(),
                     kProgram);
        return 2;
    }

    if (matrix->parsed()) {
        MatrixOptions options;
        ParseSize(size, &options.width, &options.height);
        options.wiring = wiring == "zigzag" ? Wiring::Zigzag : Wiring::Progressive;
        options.start = start == "top-left"      ? StartCorner::TopLeft
                        : start == "top-right"   ? StartCorner::TopRight
                        : start == "bottom-left" ? StartCorner::BottomLeft
                                                 : StartCorner::BottomRight;
        options.direction = direction == "horizontal" ? Direction::Horizontal : Direction::Vertical;
        const long long leds = (long long)options.width * options.height;
        if (leds > (long long)kPortCount * matrixTarget.ledsPerPort)
            return Fail("matrix " + size + ": " + std::to_string(leds) +
                        " LEDs need more than 256 ports of " +
                        std::to_string(matrixTarget.ledsPerPort));
        return Place(GenerateMatrix(options, PlacementOf(matrixPlace)), matrixTarget);
    }
    if (line->parsed()) {
        int64_t x0, y0, x1, y1;
        ParseCellPair(from, &x0, &y0);
        ParseCellPair(to, &x1, &y1);
        const long long longest = std::max(std::llabs(x1 - x0), std::llabs(y1 - y0)) + 1;
        if ((count == 0 ? longest : count) > (long long)kPortCount * lineTarget.ledsPerPort)
            return Fail("line: more LEDs than 256 ports of " +
                        std::to_string(lineTarget.ledsPerPort) + " hold");
        return Place(GenerateLine(x0, y0, x1, y1, count), lineTarget);
    }
    if (import->parsed()) {
        LayoutFormat chosen;
        if (!format.empty()) {
            LayoutFormatByName(format, &chosen);
        } else if (!LayoutFormatOfName(file, &chosen)) {
            std::fprintf(stderr,
                         "%s: %s: cannot tell the format by its name (.csv, .xmodel, .json); "
                         "give --format\n",
                         kProgram, file.c_str());
            return 2;
        }
        if (chosen != LayoutFormat::Csv && (port != 0 || yUp || scale != 1.0)) {
            std::fprintf(stderr, "%s: --port, --scale and --y-up are for csv point lists\n",
                         kProgram);
            return 2;
        }
        std::vector<uint8_t> bytes;
        const long fileSize = FileSizeOf(file.c_str());
        if (fileSize < 0 || !ReadFilePrefix(file.c_str(), size_t(fileSize), bytes))
            return Fail(file + ": cannot open the file: " + OpenFailureText(errno));
        ReadOptions options;
        options.place = PlacementOf(importPlace);
        options.place.scale = scale;
        options.place.yUp = yUp;
        options.port = port - 1;
        LayoutPiece piece;
        std::string error;
        const std::string text(bytes.begin(), bytes.end());
        if (!ReadLayoutText(chosen, file, text, options, &piece, &error)) return Fail(error);
        return Place(piece, importTarget);
    }
    return Export(project, exportFormat, out);
}
