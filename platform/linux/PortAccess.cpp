#include "platform/PortAccess.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
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
