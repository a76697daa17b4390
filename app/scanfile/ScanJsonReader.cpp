#include "app/scanfile/ScanJsonReader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <cstring>
#include <limits>
#include <vector>

namespace Velmora::ScanFile {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

// rapidjson's input stream over a CInput, refilled a chunk at a time.
class CChunkStream {
public:
    using Ch = char;
    CChunkStream(CInput& input, const ReadProgress& progress) : m_input(input), m_progress(progress), m_buffer(kChunk)
    {
        Refill();
    }
    Ch Peek() const { return m_at < m_end ? m_buffer[m_at] : '\0'; }
    Ch Take()
    {
        if (m_at >= m_end)
            return '\0';
        const Ch c = m_buffer[m_at++];
        if (m_at == m_end)
            Refill();
        return c;
    }
    std::size_t Tell() const { return m_consumed + m_at; }
    bool AtEnd() const { return m_at >= m_end; }
    bool Stopped() const { return m_stopped; }
    // Unused by a parse that does not work in place.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

private:
    void Refill()
    {
        m_consumed += m_end;
        m_at = m_end = 0;
        if (m_stopped)
            return;
        if (m_progress && !m_progress(m_input.Position(), m_input.Size())) {
            m_stopped = true;
            return;
        }
        m_end = m_input.Read(m_buffer.data(), m_buffer.size());
    }

    CInput& m_input;
    const ReadProgress& m_progress;
    std::vector<char> m_buffer;
    std::size_t m_at = 0, m_end = 0, m_consumed = 0;
    bool m_stopped = false;
};

enum class Field { None, Name, Asize, Dsize, Dev, Ino, Nlink, Hlnkc, Mtime, ReadError, Excluded, NotReg, Roots, Other };

Field KeyOf(const char* text, std::size_t length)
{
    static const struct {
        const char* name;
        Field key;
    } kKeys[] = {{"name", Field::Name},   {"asize", Field::Asize}, {"dsize", Field::Dsize},          {"dev", Field::Dev},
                 {"ino", Field::Ino},     {"nlink", Field::Nlink}, {"hlnkc", Field::Hlnkc},          {"mtime", Field::Mtime},
                 {"read_error", Field::ReadError}, {"excluded", Field::Excluded}, {"notreg", Field::NotReg},
                 {"velmora_roots", Field::Roots}};
    for (const auto& entry : kKeys)
        if (std::strlen(entry.name) == length && std::memcmp(entry.name, text, length) == 0)
            return entry.key;
    return Field::Other;
}

const char* KeyName(Field key)
{
    switch (key) {
    case Field::Name: return "name";
    case Field::Asize: return "asize";
    case Field::Dsize: return "dsize";
    case Field::Dev: return "dev";
    case Field::Ino: return "ino";
    case Field::Nlink: return "nlink";
    case Field::Hlnkc: return "hlnkc";
    case Field::Mtime: return "mtime";
    case Field::ReadError: return "read_error";
    case Field::Excluded: return "excluded";
    case Field::NotReg: return "notreg";
    default: return "member";
    }
}

// The SAX handler: a state machine over the format's shape.
class CHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, CHandler> {
public:
    explicit CHandler(IScanSink& sink) : m_sink(sink) {}

    enum Phase { Start, Major, Minor, Meta, Root, EndTop, Done };
    Phase phase = Start;
    std::string error;
    bool sinkStopped = false;

    bool StartObject()
    {
        if (m_skip > 0 || m_inRecord || phase == Meta)
            return StartSkip();
        if (phase == Start)
            return Fail("not a scan: it does not begin with the format version");
        if (m_folders == 0 || phase != Root)
            return Fail("a record where none belongs");
        m_inRecord = true;
        m_isFolder = m_needRecord;
        m_record.Clear();
        m_key = Field::None;
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool)
    {
        if (m_skip == 0 && m_inRecord)
            m_key = KeyOf(text, length);
        return true;
    }
    bool EndObject(rapidjson::SizeType)
    {
        if (m_skip > 0)
            return EndSkip();
        m_inRecord = false;
        if ((m_record.present & kHasName) == 0)
            return Fail("an entry without a name");
        const bool root = m_isFolder && m_folders == 1;
        const bool belowHolder = m_folders == 2 && m_rootsHolder && m_isFolder && m_record.name[0] == '/';
        if (m_record.name.empty() && !root)
            return Fail("an entry with an empty name");
        if (m_record.name.find('\0') != std::string::npos)
            return Fail("a name holding a NUL character");
        if (!root && !belowHolder &&
            (m_record.name.find('/') != std::string::npos || m_record.name == "." || m_record.name == ".."))
            return Fail("a name holding '/' (or naming . or ..) below the root");
        m_record.present &= ~kHasName;
        if (m_isFolder) {
            m_needRecord = false;
            if (root)
                m_rootsHolder = m_record.Has(ScanRecord::Roots);
            return Forward(m_sink.OpenFolder(m_record));
        }
        return Forward(m_sink.AddFile(m_record));
    }
    bool StartArray()
    {
        if (m_skip > 0 || m_inRecord)
            return StartSkip();
        switch (phase) {
        case Start: phase = Major; return true;
        case Root:
            if (m_needRecord)
                return Fail("a folder's list that does not begin with its record");
            ++m_folders;
            m_needRecord = true;
            return true;
        default: return Fail("a list where none belongs");
        }
    }
    bool EndArray(rapidjson::SizeType)
    {
        if (m_skip > 0)
            return EndSkip();
        if (phase == Root && m_folders > 0) {
            if (m_needRecord)
                return Fail("a folder's list without its record");
            --m_folders;
            if (m_folders == 0)
                phase = EndTop;
            return Forward(m_sink.CloseFolder());
        }
        if (phase == EndTop) {
            phase = Done;
            return true;
        }
        if (phase == Root)
            return Fail("no folder in the scan");
        return Fail("the scan's header ends too early");
    }
    bool Null() { return Scalar(); }
    bool Bool(bool value)
    {
        if (!InValue())
            return Scalar();
        switch (m_key) {
        case Field::Hlnkc: return Set(ScanRecord::Hlnkc, value);
        case Field::ReadError: return Set(ScanRecord::ReadError, value);
        case Field::NotReg: return Set(ScanRecord::NotReg, value);
        case Field::Roots: return Set(ScanRecord::Roots, value);
        case Field::Other: return true;
        default: return WrongKind();
        }
    }
    bool Int(int value) { return Int64(value); }
    bool Uint(unsigned value) { return Uint64(value); }
    bool Int64(std::int64_t value)
    {
        if (value >= 0)
            return Uint64(static_cast<std::uint64_t>(value));
        if (!InValue())
            return Scalar();
        if (m_key == Field::Mtime) {
            m_record.mtime = value;
            m_record.present |= ScanRecord::Mtime;
            return true;
        }
        if (m_key == Field::Other)
            return true;
        return Fail(std::string("a negative ") + KeyName(m_key));
    }
    bool Uint64(std::uint64_t value)
    {
        if (m_skip > 0)
            return true;
        if (phase == Major) {
            if (value != kFormatMajor)
                return Fail("format version " + std::to_string(value) + ", this program reads version " +
                            std::to_string(kFormatMajor));
            phase = Minor;
            return true;
        }
        if (phase == Minor) {
            phase = Meta;
            return true;
        }
        if (!InValue())
            return Scalar();
        constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        switch (m_key) {
        case Field::Asize:
        case Field::Dsize:
        case Field::Mtime:
            if (value > kMax)
                return TooLarge();
            (m_key == Field::Asize ? m_record.asize : m_key == Field::Dsize ? m_record.dsize : m_record.mtime) =
                static_cast<std::int64_t>(value);
            m_record.present |= m_key == Field::Asize ? ScanRecord::Asize
                                : m_key == Field::Dsize ? ScanRecord::Dsize
                                                      : ScanRecord::Mtime;
            return true;
        case Field::Dev: m_record.dev = value; m_record.present |= ScanRecord::Dev; return true;
        case Field::Ino: m_record.ino = value; m_record.present |= ScanRecord::Ino; return true;
        case Field::Nlink:
            if (value > std::numeric_limits<std::uint32_t>::max())
                return TooLarge();
            m_record.nlink = static_cast<std::uint32_t>(value);
            m_record.present |= ScanRecord::Nlink;
            return true;
        case Field::Other: return true;
        default: return WrongKind();
        }
    }
    bool Double(double)
    {
        if (!InValue())
            return Scalar();
        switch (m_key) {
        case Field::Asize:
        case Field::Dsize:
        case Field::Dev:
        case Field::Ino:
        case Field::Nlink:
        case Field::Mtime: return Fail(std::string(KeyName(m_key)) + " is too large or not a whole number");
        case Field::Other: return true;
        default: return WrongKind();
        }
    }
    bool String(const char* text, rapidjson::SizeType length, bool)
    {
        if (!InValue())
            return Scalar();
        switch (m_key) {
        case Field::Name:
            m_record.name.assign(text, length);
            m_record.present |= kHasName;
            return true;
        case Field::Excluded:
            m_record.excluded.assign(text, length);
            m_record.present |= ScanRecord::Excluded;
            return true;
        case Field::Other: return true;
        default: return WrongKind();
        }
    }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return Scalar(); }

private:
    static constexpr std::uint32_t kHasName = 1u << 31;

    bool InValue() const { return m_skip == 0 && m_inRecord; }
    bool Scalar()
    {
        if (m_skip > 0 || m_inRecord)
            return true; // an unknown member's value, or a null
        if (phase == Start || phase == Major || phase == Minor)
            return Fail("not a scan: it does not begin with the format version");
        return Fail("a value where none belongs");
    }
    bool StartSkip()
    {
        if (m_skip == 0 && m_inRecord && m_key != Field::Other)
            return WrongKind();
        ++m_skip;
        return true;
    }
    bool EndSkip()
    {
        if (--m_skip == 0 && !m_inRecord && phase == Meta)
            phase = Root;
        return true;
    }
    bool Set(ScanRecord::Member member, bool value)
    {
        if (value)
            m_record.present |= member;
        return true;
    }
    bool WrongKind() { return Fail(std::string(KeyName(m_key)) + " holds a value of the wrong kind"); }
    bool TooLarge() { return Fail(std::string(KeyName(m_key)) + " is too large"); }
    bool Fail(std::string why)
    {
        error = std::move(why);
        return false;
    }
    bool Forward(bool carryOn)
    {
        sinkStopped = !carryOn;
        return carryOn;
    }

    IScanSink& m_sink;
    ScanRecord m_record;
    Field m_key = Field::None;
    std::size_t m_skip = 0;    // depth within a value that is passed over
    std::size_t m_folders = 0; // folder lists open
    bool m_inRecord = false;
    bool m_isFolder = false;
    bool m_needRecord = false; // the open folder list's record comes next
    bool m_rootsHolder = false;
};

} // namespace

ReadOutcome ReadScan(CInput& input, IScanSink& sink, const ReadProgress& progress)
{
    CChunkStream stream(input, progress);
    CHandler handler(sink);
    rapidjson::Reader reader;
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseStopWhenDoneFlag;
    const rapidjson::ParseResult result = reader.Parse<kFlags>(stream, handler);
    ReadOutcome outcome;
    if (stream.Stopped() || handler.sinkStopped) {
        outcome.stopped = true;
        return outcome;
    }
    const std::string inputError = input.Error();
    if (!inputError.empty()) {
        outcome.error = "cannot read it: " + inputError;
        return outcome;
    }
    const std::string where = "at byte " + std::to_string(result.IsError() ? result.Offset() : stream.Tell()) + ": ";
    if (!handler.error.empty()) {
        outcome.error = where + handler.error;
        return outcome;
    }
    if (result.IsError()) {
        if (stream.AtEnd() && result.Offset() >= stream.Tell())
            outcome.error = where + "the file ends too early (cut short?)";
        else
            outcome.error = where + "not JSON: " + rapidjson::GetParseError_En(result.Code());
        return outcome;
    }
    if (handler.phase != CHandler::Done) {
        outcome.error = where + "not a scan";
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

} // namespace Velmora::ScanFile
