#include "platform/InstanceLock.h"

#include <QFile>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace tessaro::platform {

#ifdef _WIN32

FileInstanceLock::~FileInstanceLock() {
    if (m_handle) CloseHandle(static_cast<HANDLE>(m_handle));
}

InstanceLock::Outcome FileInstanceLock::acquire(const QString& lockFile) {
    if (m_handle) return Outcome::Taken;
    // Shared for reading and writing, so that the lock alone decides; the handle is not inheritable.
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t*>(lockFile.utf16()), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return Outcome::Unavailable;
    OVERLAPPED start{};
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &start)) {
        const DWORD error = GetLastError();
        CloseHandle(handle);
        return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? Outcome::HeldElsewhere
                                                                          : Outcome::Unavailable;
    }
    m_handle = handle;
    return Outcome::Taken;
}

#else

FileInstanceLock::~FileInstanceLock() {
    if (m_descriptor >= 0) ::close(m_descriptor);
}

InstanceLock::Outcome FileInstanceLock::acquire(const QString& lockFile) {
    if (m_descriptor >= 0) return Outcome::Taken;
    // flock belongs to the open file, not to the process: two objects of one process exclude each other too.
    const int descriptor = ::open(QFile::encodeName(lockFile).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor < 0) return Outcome::Unavailable;
    int result;
    do result = ::flock(descriptor, LOCK_EX | LOCK_NB);
    while (result < 0 && errno == EINTR);
    if (result < 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(descriptor);
        return held ? Outcome::HeldElsewhere : Outcome::Unavailable;
    }
    m_descriptor = descriptor;
    return Outcome::Taken;
}

#endif

}  // namespace tessaro::platform
