// Runs a test inside a fresh empty working directory, removed afterwards.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/flailwick-test-XXXXXX";
        path_ = mkdtemp(pattern);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TempDir() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::filesystem::path previous_;
};

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// Runs fn as an ordinary user: directly when the tests run as one, in a child
// that drops to nobody when they run as root, to whom permissions mean nothing.
inline bool asOrdinaryUser(const std::function<bool()>& fn) {
    if (geteuid() != 0) return fn();
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
        _exit(fn() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs fn as an ordinary user in a working directory nobody can write to.
inline bool inReadOnlyDirectory(const std::function<bool()>& fn) {
    using std::filesystem::perms;
    std::filesystem::permissions(".", perms::owner_read | perms::owner_exec | perms::group_read |
                                          perms::group_exec | perms::others_read |
                                          perms::others_exec);
    return asOrdinaryUser(fn);
}
