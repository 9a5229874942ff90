// Files and resources: reading lines, and saving whole or not at all.
#include "runtime/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kResourcePrefix = "incbin::";

// Off while a recorded fight is watched or checked: it writes nothing.
bool savingAllowed = true;

struct Resource {
    std::string name;
    const unsigned char* bytes;
    std::size_t size;
};

std::vector<Resource>& resources() {
    static std::vector<Resource> list;
    return list;
}

const Resource* findResource(const std::string& name) {
    for (const Resource& r : resources()) {
        if (r.name == name) return &r;
    }
    return nullptr;
}

mode_t creationMode() {
    // What a plain fopen("wb") would have given the file.
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A save goes to where the player's symbolic link points, so the link stays.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        char buffer[4096];
        const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return path;
        std::string link(buffer, static_cast<std::size_t>(n));
        const std::size_t slash = path.rfind('/');
        if (link[0] != '/' && slash != std::string::npos) link = path.substr(0, slash + 1) + link;
        path = link;
    }
    return path;
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string temporaryPrefix(const std::string& target) { return target + ".tmp-"; }

// A temporary file left by a save that was killed midway is removed by the
// next save. A save in progress holds a lock on its temporary file, so one
// being written right now by another copy of the game is left alone.
void removeAbandonedTemporaries(const std::string& target) {
    const std::string prefix = temporaryPrefix(target);
    const std::size_t slash = prefix.rfind('/');
    const std::string namePrefix = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
    DIR* dir = opendir(directoryOf(target).c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != namePrefix.size() + 6 ||
            name.compare(0, namePrefix.size(), namePrefix) != 0) {
            continue;
        }
        const std::string path = directoryOf(target) + "/" + name;
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) unlink(path.c_str());
        close(fd);
    }
    closedir(dir);
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The usual way: a temporary file beside the target, renamed over it once
// complete, with the old file's permission bits and owner.
bool replaceWhole(const std::string& target, const std::string& bytes) {
    std::string temporary = temporaryPrefix(target) + "XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    flock(fd, LOCK_EX);
    struct stat old;
    if (stat(target.c_str(), &old) == 0) {
        fchmod(fd, old.st_mode & 07777);
        // Only root can give a file away; anyone else's file is theirs already.
        [[maybe_unused]] const int owned = fchown(fd, old.st_uid, old.st_gid);
    } else {
        fchmod(fd, creationMode());
    }
    bool ok = writeAll(fd, bytes) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok) ok = rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the directory.
    const int dirFd = open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

// Where no temporary file can be made (a directory the player cannot write
// to, a file system out of inodes) the file is overwritten in place, and cut
// to its new length only once the new content is all there.
bool overwriteInPlace(const std::string& target, const std::string& bytes) {
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, creationMode());
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes) && ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
              fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    return ok;
}

bool canWrite(const std::string& target) {
    struct stat info;
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0) return true;
    return faccessat(AT_FDCWD, directoryOf(target).c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

}  // namespace

class Stream {
  public:
    // Reading: the whole content is in memory (files here are tiny), or the
    // bytes of an embedded resource.
    std::vector<unsigned char> owned;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;

    // Writing: the lines are gathered here and reach the file only when the
    // stream is closed, so an abandoned save changes nothing.
    bool writing = false;
    std::string target;
    std::string pending;
};

void StreamDeleter::operator()(Stream* stream) const { delete stream; }

std::string normalisePath(const std::string& path) {
    std::string result = path;
    for (char& c : result) {
        if (c == '\\') c = '/';
    }
    return result;
}

bool addResource(const std::string& name, const unsigned char* bytes, std::size_t size) {
    if (findResource(name) != nullptr) return false;
    resources().insert(resources().begin(), Resource{name, bytes, size});
    return true;
}

void clearResources() { resources().clear(); }

bool createFile(const std::string& path) {
    if (!savingAllowed) return false;
    const std::string p = normalisePath(path);
    // unlink, unlike remove, never takes an empty directory with it.
    unlink(p.c_str());
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (f != nullptr) std::fclose(f);
    struct stat info;
    return stat(p.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

StreamPtr openForReading(const std::string& path) {
    if (path.rfind(kResourcePrefix, 0) == 0) {
        const Resource* r = findResource(path.substr(std::strlen(kResourcePrefix)));
        if (r == nullptr) return nullptr;
        StreamPtr stream(new Stream);
        stream->data = r->bytes;
        stream->size = r->size;
        return stream;
    }
    const std::string p = normalisePath(path);
    struct stat info;
    if (stat(p.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return nullptr;
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (f == nullptr) return nullptr;
    StreamPtr stream(new Stream);
    unsigned char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        stream->owned.insert(stream->owned.end(), buffer, buffer + got);
    }
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) return nullptr;
    stream->data = stream->owned.data();
    stream->size = stream->owned.size();
    return stream;
}

StreamPtr openForWriting(const std::string& path) {
    if (!savingAllowed || path.rfind(kResourcePrefix, 0) == 0) return nullptr;
    const std::string target = followLinks(normalisePath(path));
    struct stat info;
    if (stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return nullptr;
    if (!canWrite(target)) return nullptr;
    StreamPtr stream(new Stream);
    stream->writing = true;
    stream->target = target;
    return stream;
}

StreamPtr openForSaving(const std::string& path) {
    StreamPtr stream = openForWriting(path);
    if (stream) return stream;
    // Creating the file can only help when there is none; an existing file
    // is never emptied on the way to a save that may still fail.
    if (fileExists(path)) return nullptr;
    createFile(path);
    return openForWriting(path);
}

bool fileExists(const std::string& path) {
    struct stat info;
    return lstat(normalisePath(path).c_str(), &info) == 0;
}

std::string readLine(Stream& stream) {
    std::string line;
    while (stream.position < stream.size) {
        const unsigned char c = stream.data[stream.position++];
        if (c == 10 || c == 0) break;
        if (c != 13) line.push_back(static_cast<char>(c));
    }
    return line;
}

void writeLine(Stream& stream, const std::string& text) {
    if (!stream.writing) return;
    stream.pending += text;
    stream.pending += "\r\n";
}

bool atEnd(const Stream& stream) {
    if (stream.writing) return true;
    return stream.position == stream.size;
}

bool closeStream(StreamPtr& stream) {
    if (!stream) return false;
    bool ok = true;
    if (stream->writing) {
        removeAbandonedTemporaries(stream->target);
        ok = replaceWhole(stream->target, stream->pending) ||
             overwriteInPlace(stream->target, stream->pending);
    }
    stream.reset();
    return ok;
}

std::size_t readBytes(Stream& stream, void* into, std::size_t count) {
    const std::size_t left = stream.size - stream.position;
    const std::size_t n = count < left ? count : left;
    if (n > 0) std::memcpy(into, stream.data + stream.position, n);
    stream.position += n;
    return n;
}

std::vector<unsigned char> readRest(Stream& stream) {
    std::vector<unsigned char> bytes(stream.data + stream.position, stream.data + stream.size);
    stream.position = stream.size;
    return bytes;
}

std::size_t bytesLeft(const Stream& stream) { return stream.size - stream.position; }

void allowSaving(bool allowed) { savingAllowed = allowed; }

bool writeWholeFile(const std::string& path, const std::string& bytes) {
    if (!savingAllowed) return false;
    removeAbandonedTemporaries(path);
    return replaceWhole(path, bytes);
}

bool readWholeFile(const std::string& path, std::size_t maxBytes, std::vector<unsigned char>& out) {
    out.clear();
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    out.resize(static_cast<std::size_t>(info.st_size));
    const std::size_t got = std::fread(out.data(), 1, out.size(), f);
    // A file that grew since is read no further than it was.
    const bool whole = got == out.size() && std::ferror(f) == 0;
    std::fclose(f);
    return whole;
}

bool makeDirectories(const std::string& path) {
    if (!savingAllowed || path.empty()) return false;
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> filesEndingIn(const std::string& directory, const std::string& suffix) {
    std::vector<std::string> names;
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool removeFile(const std::string& path) { return savingAllowed && unlink(path.c_str()) == 0; }

std::string userDataDirectory() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return std::string(data) + "/flailwick";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share/flailwick";
    return {};
}
