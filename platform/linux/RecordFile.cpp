#include "platform/RecordFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An open file description's lock excludes other processes (on NFS too,
// through its lock manager) and other descriptions in this process; the
// mutex keeps this process's own threads in turn without spinning on it.
std::mutex g_appending;

bool Failed(const std::string& path, const char* what, std::string& error) {
    error =
        "cannot " + std::string(what) + " the record file " + path + ": " + std::strerror(errno);
    return false;
}

} // namespace

bool AppendRecordLine(const std::string& path, const std::string& line, std::string& error,
                      const std::function<void()>& whileLocked) {
    std::lock_guard guard(g_appending);
    // One descriptor, read and append: a classic record lock would be
    // dropped by closing any other descriptor of the file, so the last byte
    // is read through this one, under a lock of this description's own.
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return Failed(path, "open", error);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    while (::fcntl(fd, F_OFD_SETLKW, &whole) != 0) {
        if (errno != EINTR) {
            Failed(path, "lock", error);
            ::close(fd);
            return false;
        }
    }
    bool ok = true;
    if (!line.empty()) {
        std::string text = line;
        struct stat st {};
        char last = '\n';
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
            ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
            text.insert(0, "\n");
        std::size_t done = 0;
        while (ok && done < text.size()) {
            ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n > 0)
                done += std::size_t(n);
            else if (n < 0 && errno != EINTR)
                ok = Failed(path, "write", error);
        }
        if (ok && whileLocked) whileLocked();
        if (ok && ::fdatasync(fd) != 0 && errno != EINVAL) ok = Failed(path, "flush", error);
    }
    ::close(fd); // the only descriptor of its description: releases the lock
    return ok;
}

TFileHold::~TFileHold() {
    if (handle_ >= 0) ::close(int(handle_)); // drops the description's lock
}

bool TFileHold::Take(const std::string& path, std::string& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return Failed(path, "open", error);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &whole) != 0) {
        error = errno == EAGAIN || errno == EACCES
                    ? path + " is held by another program"
                    : "cannot lock " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}
