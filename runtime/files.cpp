#include "runtime/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kResourcePrefix = "incbin::";

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

}  // namespace

class Stream {
  public:
    // Reading: the whole content is in memory (files here are tiny), or the
    // bytes of an embedded resource.
    std::vector<unsigned char> owned;
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    std::size_t position = 0;

    // Writing: a temporary file that is renamed over the target on close.
    std::FILE* file = nullptr;
    std::string target;
    std::string temporary;
    bool failed = false;
    std::size_t written = 0;

    ~Stream() {
        if (file != nullptr) {
            std::fclose(file);
            std::remove(temporary.c_str());
        }
    }
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
    if (path.rfind(kResourcePrefix, 0) == 0) return nullptr;
    const std::string p = normalisePath(path);
    struct stat info;
    if (stat(p.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return nullptr;
    std::string temporary = p + ".tmp-XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return nullptr;
    fchmod(fd, creationMode());
    std::FILE* f = fdopen(fd, "wb");
    if (f == nullptr) {
        close(fd);
        std::remove(temporary.c_str());
        return nullptr;
    }
    StreamPtr stream(new Stream);
    stream->file = f;
    stream->target = p;
    stream->temporary = temporary;
    return stream;
}

StreamPtr openForSaving(const std::string& path) {
    StreamPtr stream = openForWriting(path);
    if (stream) return stream;
    createFile(path);
    return openForWriting(path);
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
    if (stream.file == nullptr) {
        stream.failed = true;
        return;
    }
    if (std::fwrite(text.data(), 1, text.size(), stream.file) != text.size() ||
        std::fwrite("\r\n", 1, 2, stream.file) != 2) {
        stream.failed = true;
    }
    stream.written += text.size() + 2;
}

bool atEnd(const Stream& stream) {
    if (stream.file != nullptr) return true;
    return stream.position == stream.size;
}

bool closeStream(StreamPtr& stream) {
    if (!stream) return false;
    bool ok = true;
    if (stream->file != nullptr) {
        std::FILE* f = stream->file;
        stream->file = nullptr;
        ok = !stream->failed && std::fflush(f) == 0 && fsync(fileno(f)) == 0;
        ok = std::fclose(f) == 0 && ok;
        if (ok) ok = std::rename(stream->temporary.c_str(), stream->target.c_str()) == 0;
        if (!ok) std::remove(stream->temporary.c_str());
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
