#include "app/scanfile/ScanStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

namespace Velmora::ScanFile {

namespace {
bool EndsWith(const std::string& text, const char* suffix)
{
    const std::size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

std::string GzError(gzFile file)
{
    int code = 0;
    const char* text = gzerror(file, &code);
    if (code == Z_ERRNO)
        return std::strerror(errno);
    return text ? text : "compression error";
}

class CPlainOutput : public COutput {
public:
    explicit CPlainOutput(int fd) : m_fd(fd) {}
    ~CPlainOutput() override
    {
        std::string ignored;
        Close(ignored);
    }
    bool Write(const char* data, std::size_t size) override
    {
        while (size > 0 && m_error == 0) {
            const ssize_t n = ::write(m_fd, data, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_error = n < 0 ? errno : EIO;
                break;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return m_error == 0;
    }
    bool Close(std::string& error) override
    {
        if (m_fd >= 0 && m_fd != STDOUT_FILENO && ::close(m_fd) != 0 && m_error == 0)
            m_error = errno;
        m_fd = -1;
        if (m_error != 0)
            error = std::strerror(m_error);
        return m_error == 0;
    }

private:
    int m_fd;
    int m_error = 0;
};

class CGzipOutput : public COutput {
public:
    explicit CGzipOutput(gzFile file) : m_file(file) {}
    ~CGzipOutput() override
    {
        std::string ignored;
        Close(ignored);
    }
    bool Write(const char* data, std::size_t size) override
    {
        if (!m_error.empty())
            return false;
        if (size > 0 && gzwrite(m_file, data, static_cast<unsigned>(size)) <= 0)
            m_error = GzError(m_file);
        return m_error.empty();
    }
    bool Close(std::string& error) override
    {
        if (m_file) {
            const int status = gzclose(m_file);
            if (status != Z_OK && m_error.empty())
                m_error = status == Z_ERRNO ? std::strerror(errno) : "compression error";
            m_file = nullptr;
        }
        error = m_error;
        return m_error.empty();
    }

private:
    gzFile m_file;
    std::string m_error;
};

// Reads through zlib, which passes a file that is not gzip through as it is.
class CGzipInput : public CInput {
public:
    CGzipInput(gzFile file, int fd, std::uint64_t size) : m_file(file), m_fd(fd), m_size(size) {}
    ~CGzipInput() override { gzclose(m_file); }
    std::size_t Read(char* data, std::size_t size) override
    {
        const int n = gzread(m_file, data, static_cast<unsigned>(size));
        if (n < 0) {
            m_error = GzError(m_file);
            return 0;
        }
        if (n == 0) {
            int code = 0;
            gzerror(m_file, &code);
            if (code == Z_BUF_ERROR)
                m_error = "the compressed data ends too early";
        }
        return static_cast<std::size_t>(n);
    }
    std::string Error() const override { return m_error; }
    std::uint64_t Position() const override
    {
        const off_t at = ::lseek(m_fd, 0, SEEK_CUR);
        return at < 0 ? 0 : static_cast<std::uint64_t>(at);
    }
    std::uint64_t Size() const override { return m_size; }

private:
    gzFile m_file;
    int m_fd;
    std::uint64_t m_size;
    std::string m_error;
};
} // namespace

std::unique_ptr<COutput> COutput::Open(const std::string& path, std::string& error)
{
    const bool gzip = EndsWith(path, ".gz");
    int fd = STDOUT_FILENO;
    if (path != "-") {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = std::strerror(errno);
            return nullptr;
        }
    }
    if (!gzip)
        return std::make_unique<CPlainOutput>(fd);
    gzFile file = gzdopen(fd == STDOUT_FILENO ? ::dup(fd) : fd, "wb6");
    if (!file) {
        error = "cannot start the compression";
        return nullptr;
    }
    gzbuffer(file, 256 * 1024);
    return std::make_unique<CGzipOutput>(file);
}

std::unique_ptr<CInput> CInput::Open(const std::string& path, std::string& error)
{
    int fd = STDIN_FILENO;
    if (path != "-") {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = std::strerror(errno);
            return nullptr;
        }
    } else {
        fd = ::dup(STDIN_FILENO);
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        error = "is a folder";
        return nullptr;
    }
    const std::uint64_t size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    gzFile file = gzdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        error = "cannot start the decompression";
        return nullptr;
    }
    gzbuffer(file, 256 * 1024);
    return std::make_unique<CGzipInput>(file, fd, size);
}

} // namespace Velmora::ScanFile
