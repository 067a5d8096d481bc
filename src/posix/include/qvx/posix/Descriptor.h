#pragma once
// The one owner of a POSIX file descriptor: it closes it exactly once, at the end of its scope
// unless handed on, and leaves errno as the failure that made the caller give up.
#include <cerrno>
#include <unistd.h>
#include <utility>

namespace qvx::posix {

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor &&other) noexcept : m_fd(other.release()) {}
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd = -1)
    {
        const int err = errno;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
        errno = err;
    }

private:
    int m_fd;
};

} // namespace qvx::posix
