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

// Writes go to a temporary file beside the target, which replaces the target
// only when the stream is closed without error: a failed or interrupted save
// never leaves a half-written file behind.
StreamPtr openForWriting(const std::string& path);

// The game's way of opening its own files. Loading: when the file cannot be
// read, writeDefaults() saves the values in force and it is tried once more.
// Saving: when the file cannot be opened for writing, it is created and tried
// once more. Null when it still fails; the game then carries on silently.
template <typename WriteDefaults>
StreamPtr openForLoading(const std::string& path, WriteDefaults writeDefaults) {
    StreamPtr stream = openForReading(path);
    if (stream) return stream;
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
