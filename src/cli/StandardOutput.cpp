#include "cli/StandardOutput.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "core/documents/Errors.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tessaro::cli {

namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

// Writes all of data to standard output or throws the system's reason: a short write goes on with the rest, so
// only a write that takes nothing (and says why) stops it.
void writeAll(const char* data, std::size_t count) {
    while (count > 0) {
#ifdef _WIN32
        const unsigned piece = count > 0x40000000u ? 0x40000000u : unsigned(count);
        const int written = ::_write(1, data, piece);
#else
        const ssize_t written = ::write(1, data, count);
#endif
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) throw Error(std::string(kCannotWriteOutput) + ". " + std::strerror(errno));
        if (written == 0) throw Error(std::string(kCannotWriteOutput));
        data += written;
        count -= std::size_t(written);
    }
}

}  // namespace

StandardOutputBuffer::StandardOutputBuffer() : m_buffer(kBufferSize) {
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
}

StandardOutputBuffer::~StandardOutputBuffer() {
    try {
        writeBuffered();
    } catch (const Error&) {
    }
}

// What is buffered goes out, or is dropped with the failure: a second attempt would only fail again.
void StandardOutputBuffer::writeBuffered() {
    const char* begin = pbase();
    const std::size_t count = std::size_t(pptr() - pbase());
    setp(m_buffer.data(), m_buffer.data() + m_buffer.size());
    writeAll(begin, count);
}

StandardOutputBuffer::int_type StandardOutputBuffer::overflow(int_type c) {
    writeBuffered();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

// A piece larger than the buffer (the map's output comes in pieces of tens of kilobytes) goes out directly.
std::streamsize StandardOutputBuffer::xsputn(const char* data, std::streamsize count) {
    const std::size_t size = std::size_t(count);
    if (size <= std::size_t(epptr() - pptr())) {
        std::memcpy(pptr(), data, size);
        pbump(int(size));
        return count;
    }
    writeBuffered();
    if (size < m_buffer.size()) {
        std::memcpy(pptr(), data, size);
        pbump(int(size));
    } else {
        writeAll(data, size);
    }
    return count;
}

int StandardOutputBuffer::sync() {
    writeBuffered();
    return 0;
}

}  // namespace tessaro::cli
