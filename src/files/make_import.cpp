// quorvane_make_import: writes an import list (.iqp) and its encrypted chain
// files (.iql) from a saved project, so that layouts can be handed on as an
// import. Usage:
//   quorvane_make_import <project file> <import list>
// The project file and its chain files are read as an open would read them;
// one .iql file per chain file is written beside the list, named
// <list name up to ".iqp">_<port number>.iql, and the list names them in
// ascending port order, each line ended by CR LF. Exit status 0 on success.
#include <openssl/rand.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/common.h"
#include "common/file_io.h"
#include "files/chain_file.h"
#include "files/file_formats.h"
#include "files/project_file.h"

namespace {

int Fail(const std::string& text) {
    std::fprintf(stderr, "quorvane_make_import: %s\n", text.c_str());
    return 1;
}

// The encrypted record of one chain, with fresh key variation bytes.
bool BuildImportRecord(const ChainFileData& chain, ImportRecord& record) {
    std::memset(&record, 0, sizeof record);
    WriteLE16(record.bytes, uint16_t(chain.port + 1));
    WriteLE16(record.bytes + 2, chain.count);
    if (RAND_bytes(record.bytes + kImportKeyVariationOffset, 16) != 1) return false;
    for (int i = 0; i < chain.count; ++i) SetImportLedPoint(record, i, chain.points[i]);
    return EncryptImportRecord(record);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvane_make_import <project file> <import list>\n");
        return 2;
    }
    const char* projectPath = argv[1];
    const char* listPath = argv[2];

    std::string listName = FileNameOf(listPath);
    size_t extension = listName.find(".iqp");
    if (extension == std::string::npos) return Fail("the import list name must contain \".iqp\"");
    std::string stem = listName.substr(0, extension);
    if (stem.find(".iql") != std::string::npos)
        return Fail("the import list name must not contain \".iql\"");
    std::string outputDirectory = DirectoryOf(listPath);

    if (!SetProjectPaths(projectPath)) return Fail("project path too long");
    std::vector<uint8_t> headerBytes;
    if (!ReadFilePrefix(projectPath, kProjectHeaderSize, headerBytes))
        return Fail(std::string("cannot read ") + projectPath + ": " + OpenFailureText(errno));
    if (headerBytes.size() != kProjectHeaderSize)
        return Fail(std::string("not a project file (short): ") + projectPath);
    ProjectHeader header;
    ApplyProjectHeaderBytes(header, headerBytes.data(), headerBytes.size());

    std::string list;
    int written = 0;
    static ChainFileData chain;
    static ImportRecord record;
    for (int port = 0; port < kPortCount; ++port) {
        if (!HeaderPortFlag(header, port)) continue;
        std::string chainPath = ChainFilePath(port + 1);
        if (!ReadChainFile(chainPath.c_str(), chain)) {
            std::fprintf(stderr, "quorvane_make_import: skipped %s (missing or damaged)\n",
                         chainPath.c_str());
            continue;
        }
        if (!BuildImportRecord(chain, record)) return Fail("encryption failed");
        std::string name = stem + "_" + std::to_string(port + 1) + ".iql";
        std::string path = JoinPath(outputDirectory, name);
        if (!SaveFileReplacing(path.c_str(), record.bytes, sizeof record.bytes))
            return Fail("cannot write " + path);
        list += name + "\r\n";
        ++written;
    }
    if (!SaveFileReplacing(listPath, list.data(), list.size()))
        return Fail(std::string("cannot write ") + listPath);
    std::printf("%s: %d chain file%s\n", listPath, written, written == 1 ? "" : "s");
    return 0;
}
