#pragma once

#include <streambuf>
#include <string_view>
#include <vector>

namespace tessaro::cli {

// The text of a failed write to standard output, followed by the system's reason when there is one.
inline constexpr std::string_view kCannotWriteOutput = "Cannot write to standard output";

// tessaro-cli's standard output: buffered, and written with the system's own write so that a failed or short
// write (a full disk, a closed pipe, a file size limit) is seen at once with its reason. The failure is thrown as
// tessaro::Error; a stream over this buffer with badbit among its exceptions hands it to the command, which stops
// there with exit status 1.
class StandardOutputBuffer : public std::streambuf {
public:
    StandardOutputBuffer();
    // Writes what is left, quietly: the command's own end has already flushed and checked.
    ~StandardOutputBuffer() override;
    StandardOutputBuffer(const StandardOutputBuffer&) = delete;
    StandardOutputBuffer& operator=(const StandardOutputBuffer&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize count) override;
    int sync() override;

private:
    void writeBuffered();
    std::vector<char> m_buffer;
};

}  // namespace tessaro::cli
