#include "platform/RecordFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A record lock excludes other processes (on NFS too, through its lock
// manager) but not this process's own threads.
std::mutex g_appending;

bool Failed(const std::string& path, const char* what, std::string& error) {
    error =
        "cannot " + std::string(what) + " the record file " + path + ": " + std::strerror(errno);
    return false;
}

} // namespace

bool AppendRecordLine(const std::string& path, const std::string& line, std::string& error) {
    std::lock_guard guard(g_appending);
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return Failed(path, "open", error);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    while (::fcntl(fd, F_SETLKW, &whole) != 0) {
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
        if (::fstat(fd, &st) == 0 && st.st_size > 0) {
            // O_APPEND files can still be read through a second handle.
            int reader = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            char last = '\n';
            if (reader >= 0) {
                if (::pread(reader, &last, 1, st.st_size - 1) != 1) last = '\n';
                ::close(reader);
            }
            if (last != '\n') text.insert(0, "\n");
        }
        std::size_t done = 0;
        while (ok && done < text.size()) {
            ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n > 0)
                done += std::size_t(n);
            else if (n < 0 && errno != EINTR)
                ok = Failed(path, "write", error);
        }
        if (ok && ::fdatasync(fd) != 0) ok = Failed(path, "flush", error);
    }
    ::close(fd); // releases the lock
    return ok;
}
