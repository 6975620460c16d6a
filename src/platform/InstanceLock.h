#pragma once

#include "platform/Platform.h"

namespace tessaro::platform {

// flock on POSIX, LockFileEx on Windows, on a lock file opened for the life of this object. The file is never
// inherited by a started program, so an updater that outlives the tool does not keep the lock.
class FileInstanceLock : public InstanceLock {
public:
    FileInstanceLock() = default;
    ~FileInstanceLock() override;
    FileInstanceLock(const FileInstanceLock&) = delete;
    FileInstanceLock& operator=(const FileInstanceLock&) = delete;

    // Once taken, a second acquire keeps the lock and says Taken.
    Outcome acquire(const QString& lockFile) override;

private:
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_descriptor = -1;
#endif
};

}  // namespace tessaro::platform
