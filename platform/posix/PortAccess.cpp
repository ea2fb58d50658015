#include "platform/PortAccess.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TPortProblem CheckPortAccess(const std::string& device) {
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return TPortProblem::missing;
        case EBUSY: // another opener asked for exclusive use
            return TPortProblem::busy;
        case EACCES:
        case EPERM:
            return TPortProblem::denied;
        default:
            return TPortProblem::other;
        }
    }
    // The program's own ports are held with an exclusive lock.
    bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked ? TPortProblem::busy : TPortProblem::none;
}

bool PortAccessDenied(const std::string& device) {
    return ::access(device.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM);
}

std::string PortAccessGroup(const std::string& device) {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) return {};
    // Joining a group helps only when the group may read and write; and
    // joining root's group is never advice to give.
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP) || st.st_gid == 0) return {};
    struct group entry {};
    struct group* found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || !found) return {};
    return found->gr_name;
}
