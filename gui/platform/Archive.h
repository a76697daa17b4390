// CArchive: the library's persistence stream. Little-endian, fixed integer
// widths, strings as a 32-bit length and their bytes, and objects as a
// class record (the registered class name) followed by the object's own
// record. Loading checks every length and count against the bytes that
// remain; damaged data raises CArchiveException, never a crash or a huge
// allocation.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Kestrum::GUI {

class CArchive;

struct KESTRUM_GRIDCORE_EXPORT CArchiveException : std::runtime_error {
    enum Cause {
        Generic = 1,
        EndOfFile = 2,  // the data ends early or a count exceeds it
        BadSchema = 3,  // a version newer than this code, or an unknown part class
        BadClass = 4,   // an unknown class name, or an object of the wrong class
        WrongMode = 5,  // a store on a loading archive or the reverse
    };
    CArchiveException(Cause cause, const std::string& what) : std::runtime_error(what), cause(cause) {}
    Cause cause;
};

// The root of the classes an archive can store and re-create by name.
class KESTRUM_GRIDCORE_EXPORT CArchiveObject {
public:
    virtual ~CArchiveObject() = default;
    virtual std::string GetRuntimeClassName() const = 0;
    virtual void Serialize(CArchive& archive) = 0;
};

using ArchiveCreator = std::function<CArchiveObject*()>;
// Registers a class for dynamic creation; false when the name exists.
KESTRUM_GRIDCORE_EXPORT bool RegisterArchiveClass(const std::string& name, ArchiveCreator creator);
// A new object of a registered class, or null.
KESTRUM_GRIDCORE_EXPORT CArchiveObject* CreateArchiveObject(const std::string& name);
KESTRUM_GRIDCORE_EXPORT bool IsArchiveClassRegistered(const std::string& name);

class KESTRUM_GRIDCORE_EXPORT CArchive {
public:
    enum Mode { Store, Load };

    // A storing archive that collects bytes.
    CArchive();
    // A loading archive over a copy of the bytes.
    explicit CArchive(std::vector<std::uint8_t> bytes);
    CArchive(const void* data, std::size_t size);

    bool IsStoring() const noexcept { return m_mode == Store; }
    bool IsLoading() const noexcept { return m_mode == Load; }
    const std::vector<std::uint8_t>& GetBytes() const noexcept { return m_bytes; }
    std::size_t GetRemaining() const noexcept { return m_bytes.size() - m_position; }
    std::size_t GetPosition() const noexcept { return m_position; }

    void WriteInt32(std::int32_t value);
    void WriteUInt32(std::uint32_t value);
    void WriteInt64(std::int64_t value);
    void WriteByte(std::uint8_t value);
    void WriteBool(bool value) { WriteByte(value ? 1 : 0); }
    void WriteString(const std::string& value);
    void WriteBytes(const void* data, std::size_t count);
    // A class record: the registered name, or the empty name for none.
    void WriteClass(const std::string& className);
    // A class record followed by the object's record; null writes an empty class.
    void WriteObject(CArchiveObject* object);

    std::int32_t ReadInt32();
    std::uint32_t ReadUInt32();
    std::int64_t ReadInt64();
    std::uint8_t ReadByte();
    bool ReadBool() { return ReadByte() != 0; }
    std::string ReadString();
    void ReadBytes(void* data, std::size_t count);
    // Reads a class record: empty for none; an unregistered name raises BadClass.
    std::string ReadClass();
    // Checks that `count` records of at least `minimumBytes` each can follow.
    void RequireCount(std::int64_t count, std::size_t minimumBytes) const;

    // Reads an object of class T (or none); a record of another class raises
    // BadClass.
    template <class T> std::unique_ptr<T> ReadObject()
    {
        const std::string name = ReadClass();
        if (name.empty())
            return nullptr;
        std::unique_ptr<CArchiveObject> object(CreateArchiveObject(name));
        auto* typed = dynamic_cast<T*>(object.get());
        if (!typed)
            throw CArchiveException(CArchiveException::BadClass, "Archive holds an object of class " + name +
                                                                     " where another class was expected");
        object.release();
        std::unique_ptr<T> result(typed);
        result->Serialize(*this);
        return result;
    }

    [[noreturn]] static void ThrowBadSchema(const std::string& what);
    // Reads a record's 32-bit version: a newer one than 1 raises BadSchema
    // naming `what`; false when it is 0 or less (nothing more follows).
    bool ReadVersion(const char* what);

private:
    void RequireMode(Mode mode) const;
    const std::uint8_t* Take(std::size_t count);

    Mode m_mode;
    std::vector<std::uint8_t> m_bytes;
    std::size_t m_position = 0;
};

} // namespace Kestrum::GUI
