// quorvane_inspect_fseq: checks an FSEQ v2 sequence without a player.
//
//   quorvane_inspect_fseq FILE              header, block index, variables
//   quorvane_inspect_fseq FILE --raw OUT    the same, and every frame
//                                           decoded into OUT
//
// OUT holds the frames one after another, channels-per-frame bytes each,
// exactly as the sequence stores them (three bytes per LED in the colour
// order of the conversion), without header or padding. Every frame is
// decoded and checked also without --raw. Exit status 0 when the file is
// sound, 1 when it is not (the reason on standard error), 2 on bad
// arguments.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "common/file_io.h"
#include "convert/fseq_format.h"

namespace {

bool ReadAt(void* context, uint64_t offset, void* buffer, size_t size) {
    FILE* file = static_cast<FILE*>(context);
    return fseeko(file, off_t(offset), SEEK_SET) == 0 && std::fread(buffer, 1, size, file) == size;
}

struct Output {
    FILE* file;
    uint32_t channels;
    uint32_t frames;
    bool progress;
    bool failed;
};

bool TakeFrame(void* context, uint32_t index, const uint8_t* data) {
    Output* out = static_cast<Output*>(context);
    if (out->file != nullptr && std::fwrite(data, 1, out->channels, out->file) != out->channels) {
        out->failed = true;
        return false;
    }
    if (out->progress && (index % 50 == 0 || index + 1 == out->frames))
        std::fprintf(stderr, "\rframe %u of %u", index + 1, out->frames);
    return true;
}

std::string Printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F && c != '"' && c != '\\') {
            out += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out;
}

void PrintInfo(const char* path, const FseqFileInfo& info) {
    const FseqHeader& h = info.header;
    std::printf("file %s\n", path);
    std::printf("version %u.%u\n", h.majorVersion, h.minorVersion);
    std::printf("channels per frame %u\n", h.channelCount);
    std::printf("frames %u\n", h.frameCount);
    std::printf("step time %u ms\n", h.stepMs);
    std::printf("flags %u\n", h.flags);
    std::printf("compression %s\n", h.compression == kFseqZstd ? "zstd" : "none");
    std::printf("block index %zu entries, %zu used\n", info.indexSlots, info.blocks.size());
    std::printf("sparse ranges %u\n", h.sparseRangeCount);
    std::printf("first variable header %u\n", h.variableHeaderOffset);
    std::printf("channel data offset %u\n", h.channelDataOffset);
    std::printf("unique id %llu\n", static_cast<unsigned long long>(h.uniqueId));
    for (const FseqVariable& v : info.variables)
        std::printf("variable %s \"%s\"\n", Printable(v.code).c_str(), Printable(v.data).c_str());
    for (size_t k = 0; k < info.blocks.size(); ++k)
        std::printf("block %zu first frame %u size %u\n", k, info.blocks[k].firstFrame,
                    info.blocks[k].size);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Prints the header of an FSEQ v2 sequence, checks every frame and writes the "
        "frames out as raw bytes.",
        "quorvane_inspect_fseq"};
    std::string path;
    std::string rawPath;
    app.add_option("FILE", path, "the .fseq file")->required();
    app.add_option("--raw", rawPath,
                   "write the frames to this file: channels-per-frame bytes each, as stored");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        std::printf("%s", app.help().c_str());
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "quorvane_inspect_fseq: %s\n", e.what());
        std::fprintf(stderr, "Run with --help for usage.\n");
        return 2;
    }

    long fileSize = -1;
    errno = 0;
    FILE* file = OpenRegularFileForReading(path.c_str(), &fileSize);
    if (file == nullptr) {
        std::fprintf(stderr, "%s: cannot open the file: %s\n", path.c_str(),
                     OpenFailureText(errno));
        return 1;
    }
    std::vector<uint8_t> head(fileSize > 0 ? size_t(std::min<long>(fileSize, 0xFFFF)) : 0);
    FseqFileInfo info;
    std::string error;
    bool ok = fileSize >= 0 && ReadAt(file, 0, head.data(), head.size());
    if (!ok) error = "cannot read the file";
    ok = ok && ParseFseqFile(head.data(), head.size(), uint64_t(fileSize), &info, &error);
    if (!ok) {
        std::fclose(file);
        std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    PrintInfo(path.c_str(), info);
    std::fflush(stdout);

    Output out = {nullptr, info.header.channelCount, info.header.frameCount,
                  isatty(STDERR_FILENO) == 1, false};
    if (!rawPath.empty()) {
        errno = 0;
        const int fd = OpenRegularFileForWriting(rawPath.c_str());
        out.file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
        if (out.file == nullptr) {
            const int cause = errno;
            if (fd >= 0) close(fd);
            std::fclose(file);
            std::fprintf(stderr, "%s: cannot create the file: %s\n", rawPath.c_str(),
                         OpenFailureText(cause));
            return 1;
        }
    }
    const FseqByteSource source = {file, ReadAt};
    ok = DecodeFseqFrames(info, source, TakeFrame, &out, &error);
    if (out.progress && info.header.frameCount > 0) std::fprintf(stderr, "\n");
    std::fclose(file);
    if (out.file != nullptr) out.failed = std::fclose(out.file) != 0 || out.failed;
    if (!ok || out.failed) {
        if (!ok) std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
        if (out.failed) std::fprintf(stderr, "%s: write failed\n", rawPath.c_str());
        if (out.file != nullptr) std::remove(rawPath.c_str());  // no partial frames left
        return 1;
    }
    return 0;
}
