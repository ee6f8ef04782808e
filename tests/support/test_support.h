// Shared test helpers: a temporary working directory per test, and a reset
// of every run-wide record so one process can run many cases.
#pragma once

#include <string>

// Creates a fresh directory /tmp/<prefix>-XXXXXX, makes it the working
// directory, and removes it (and returns to the old working directory) when
// destroyed. temp_dir.cpp holds this and the file helpers, free of the
// program's modules; reset_<level>.cpp holds the ResetRunState of the
// layers a test links (reset_all.cpp: the whole program).
class ScopedTempDir {
public:
    explicit ScopedTempDir(const char* prefix = "quorvane-test");
    ~ScopedTempDir();
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::string previous_;
};

// Every linked module's state back to process start.
void ResetRunState();

// Whole file as bytes ("" when missing).
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// The build directory (where quorvane, quorvane_scripted and the tools are).
std::string BuildDirectory();
