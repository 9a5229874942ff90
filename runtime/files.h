// Files and embedded resources, read and written line by line. Text is one
// byte per character; lines are written with CR LF and read with either.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class Stream;

struct StreamDeleter {
    void operator()(Stream* stream) const;
};
using StreamPtr = std::unique_ptr<Stream, StreamDeleter>;

// Embedded resources are opened through "incbin::" + name. Adding a name that
// is already present keeps the first entry and reports false.
bool addResource(const std::string& name, const unsigned char* bytes, std::size_t size);
void clearResources();  // tests only

// Deletes the file if present and creates it empty; true when a regular file
// of that name exists afterwards.
bool createFile(const std::string& path);

// Null when the file (or resource) cannot be opened.
StreamPtr openForReading(const std::string& path);

// Written lines reach the file when the stream is closed: through a temporary
// file beside the target, renamed over it, or, where no temporary file can be
// made, by overwriting the target in place. A failed, abandoned or interrupted
// save never leaves a half-written file behind. A symbolic link is followed
// and kept; the file keeps its permission bits. Null when the file can be
// neither replaced nor overwritten.
StreamPtr openForWriting(const std::string& path);

// True when anything (even a dangling link) stands at the path.
bool fileExists(const std::string& path);

// The game's way of opening its own files. Loading: when there is no file,
// writeDefaults() saves the values in force and it is tried once more; a file
// that exists but cannot be read is never overwritten with defaults. Saving:
// when the file cannot be opened for writing and does not exist, it is
// created and tried once more. Null when it still fails; the game then
// carries on silently.
template <typename WriteDefaults>
StreamPtr openForLoading(const std::string& path, WriteDefaults writeDefaults) {
    StreamPtr stream = openForReading(path);
    if (stream || fileExists(path)) return stream;
    writeDefaults();
    return openForReading(path);
}
StreamPtr openForSaving(const std::string& path);

std::string readLine(Stream& stream);
void writeLine(Stream& stream, const std::string& text);
bool atEnd(const Stream& stream);

// Closes the stream; for a written file this is the moment the target is
// replaced. Returns false when anything written was lost.
bool closeStream(StreamPtr& stream);

// Binary access, for the sound and picture readers.
std::size_t readBytes(Stream& stream, void* into, std::size_t count);
std::vector<unsigned char> readRest(Stream& stream);
std::size_t bytesLeft(const Stream& stream);

// Backslashes become forward slashes before a file is opened.
std::string normalisePath(const std::string& path);

// --- Whole files and directories, for the recorded fights ---
// Off, nothing is written, created or removed: watching or checking a
// recorded fight leaves the player's files as they were.
void allowSaving(bool allowed);
// Through a temporary file renamed over the target, or not at all.
bool writeWholeFile(const std::string& path, const std::string& bytes);
// False for anything but a regular file of at most maxBytes.
bool readWholeFile(const std::string& path, std::size_t maxBytes, std::vector<unsigned char>& out);
// Like mkdir -p; true when the directory exists afterwards.
bool makeDirectories(const std::string& path);
// Names, not paths, sorted.
std::vector<std::string> filesEndingIn(const std::string& directory, const std::string& suffix);
bool removeFile(const std::string& path);
// $XDG_DATA_HOME/flailwick, by default ~/.local/share/flailwick; empty when
// there is no home to put it in.
std::string userDataDirectory();
