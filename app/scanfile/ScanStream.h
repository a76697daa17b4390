// Byte streams of saved scans: a file, standard output or input ("-"), and
// gzip when the name ends in ".gz" (reading takes either, whatever the name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Velmora::ScanFile {

class COutput {
public:
    // Opens `path` ("-": standard output); `error` tells why it failed.
    static std::unique_ptr<COutput> Open(const std::string& path, std::string& error);
    virtual ~COutput() = default;
    virtual bool Write(const char* data, std::size_t size) = 0;
    // Flushes and closes; false (with the reason) when anything was lost.
    virtual bool Close(std::string& error) = 0;
};

class CInput {
public:
    static std::unique_ptr<CInput> Open(const std::string& path, std::string& error);
    virtual ~CInput() = default;
    // Up to `size` bytes; 0 at the end or on an error (see Error).
    virtual std::size_t Read(char* data, std::size_t size) = 0;
    virtual std::string Error() const = 0;
    // Bytes of the file read so far (compressed bytes for gzip) and the
    // file's size (0 when unknown, as for a pipe), for progress.
    virtual std::uint64_t Position() const = 0;
    virtual std::uint64_t Size() const = 0;
};

} // namespace Velmora::ScanFile
