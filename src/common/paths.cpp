// Splitting and joining paths in the Windows and the Posix convention. Both
// are always compiled so that either can be tested on any platform.
#include <cstring>

#include "common/common.h"

namespace {

char PathSeparator(PathStyle style) {
    return style == PathStyle::Windows ? '\\' : '/';
}

}  // namespace

std::string DirectoryOf(const char* path, PathStyle style) {
    const char* backslash = style == PathStyle::Windows ? std::strrchr(path, '\\') : nullptr;
    const char* slash = std::strrchr(path, '/');
    const char* last = backslash > slash ? backslash : slash;
    if (last == nullptr) return std::string();
    // A name right under the root keeps the root as its directory.
    if (last == path) return std::string(1, *last);
    return std::string(path, size_t(last - path));
}

std::string FileNameOf(const char* path, PathStyle style) {
    const char* last = std::strrchr(path, PathSeparator(style));
    return std::string(last == nullptr ? path : last + 1);
}

std::string JoinPath(const std::string& directory, const std::string& name, PathStyle style) {
    if (directory.empty()) return name;
    // A directory that already ends in a separator (the root) gets no second one.
    const char end = directory.back();
    if (end == PathSeparator(style) || (style == PathStyle::Windows && end == '/'))
        return directory + name;
    return directory + PathSeparator(style) + name;
}

// The build chooses: a Windows build splits paths its way, every other
// system as POSIX does.
PathStyle NativePathStyle() {
#ifdef _WIN32
    return PathStyle::Windows;
#else
    return PathStyle::Posix;
#endif
}

std::string DirectoryOf(const char* path) {
    return DirectoryOf(path, NativePathStyle());
}
std::string FileNameOf(const char* path) {
    return FileNameOf(path, NativePathStyle());
}
std::string JoinPath(const std::string& directory, const std::string& name) {
    return JoinPath(directory, name, NativePathStyle());
}
