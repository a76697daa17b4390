#include "gui/header/Column.h"

#include <algorithm>

#include "common/Format.h"
#include "common/FormatRegistry.h"
#include "gui/paint/PaintFormat.h"

namespace Kestrum::GUI {

using Common::CFormat;

struct CColumn::Record {
    std::int32_t fieldId = Common::FIELD_NONE;
    std::string caption;
    std::int32_t width = 0;
    std::unique_ptr<ICellPaintFormat> cellPaintFormat;
    std::unique_ptr<IColumnPaintFormat> columnPaintFormat;
    std::int32_t alignment = AlignLeft;
    std::int32_t imageIndex = -1;
    std::int32_t headerImageIndex = -1;
    std::unique_ptr<CFormat> format;
    bool visible = true;
    bool editable = false;
    std::string text;
    std::int32_t imageAlignment = ImageLeft;
};

namespace {
const bool s_registered = RegisterArchiveClass("CColumn", [] { return new CColumn; });

template <class Format> void StorePaintFormat(CArchive& archive, Format* format)
{
    const std::int32_t version = format ? format->GetVersion() : 0;
    archive.WriteInt32(version);
    if (version != 0) {
        archive.WriteString(format->GetClassName());
        format->Serialize(archive);
    }
}

template <class Format, class Create> std::unique_ptr<Format> LoadPaintFormat(CArchive& archive, Create create)
{
    if (archive.ReadInt32() == 0)
        return nullptr;
    const std::string name = archive.ReadString();
    std::unique_ptr<Format> format(create(name));
    if (!format)
        CArchive::ThrowBadSchema("Unknown paint format class " + name);
    format->Serialize(archive);
    return format;
}
} // namespace

std::int32_t ResolveAlignment(std::int32_t alignment, std::int32_t valueType)
{
    if (alignment != AlignAuto)
        return alignment;
    const bool numeric = (valueType >= Common::FT_CHAR && valueType <= Common::FT_INT64) ||
                         valueType == Common::FT_FLOAT || valueType == Common::FT_DOUBLE;
    return numeric ? AlignRight : AlignLeft;
}

CColumn::CColumn() : m_fieldId(Common::FIELD_NONE), m_record(std::make_unique<Record>()) { (void)s_registered; }

CColumn::CColumn(std::int32_t fieldId, const std::string& caption, std::int32_t width, std::int32_t alignment,
                 bool editable, std::int32_t imageIndex, std::int32_t headerImageIndex, CFormat* format,
                 ICellPaintFormat* cellPaintFormat, IColumnPaintFormat* columnPaintFormat, const std::string& text)
    : m_fieldId(fieldId), m_record(std::make_unique<Record>())
{
    m_record->fieldId = fieldId;
    m_record->caption = caption;
    m_record->width = width;
    m_record->alignment = alignment;
    m_record->editable = editable;
    m_record->imageIndex = imageIndex;
    m_record->headerImageIndex = headerImageIndex;
    m_record->format.reset(format);
    m_record->cellPaintFormat.reset(cellPaintFormat);
    m_record->columnPaintFormat.reset(columnPaintFormat);
    m_record->text = text;
}

CColumn::~CColumn() { Notify(ColumnDestroyed); }

void CColumn::Notify(std::int32_t code)
{
    m_subscribers.ForEach([&](INotify* subscriber) { subscriber->OnColumnChanged(this, code); });
}

void CColumn::AddNotify(INotify* subscriber) { m_subscribers.Add(subscriber); }

void CColumn::RemoveNotify(INotify* subscriber) { m_subscribers.Remove(subscriber); }

#define KESTRUM_LOCKED_GET(Type, Name, member)   \
    Type CColumn::Name() const                   \
    {                                            \
        std::lock_guard lock(m_dataLock);        \
        return m_record->member;                 \
    }
KESTRUM_LOCKED_GET(std::string, GetCaption, caption)
KESTRUM_LOCKED_GET(std::string, GetText, text)
KESTRUM_LOCKED_GET(std::int32_t, GetWidth, width)
KESTRUM_LOCKED_GET(std::int32_t, GetAlignment, alignment)
KESTRUM_LOCKED_GET(std::int32_t, GetImageIndex, imageIndex)
KESTRUM_LOCKED_GET(std::int32_t, GetHeaderImageIndex, headerImageIndex)
KESTRUM_LOCKED_GET(std::int32_t, GetImageAlignment, imageAlignment)
KESTRUM_LOCKED_GET(CFormat*, GetFormat, format.get())
KESTRUM_LOCKED_GET(ICellPaintFormat*, GetCellPaintFormat, cellPaintFormat.get())
KESTRUM_LOCKED_GET(IColumnPaintFormat*, GetColumnPaintFormat, columnPaintFormat.get())
KESTRUM_LOCKED_GET(bool, IsVisible, visible)
KESTRUM_LOCKED_GET(bool, IsEditable, editable)
#undef KESTRUM_LOCKED_GET

bool CColumn::SetWidth(std::int32_t width)
{
    if (width < 1)
        return false;
    bool changed = false;
    {
        std::lock_guard lock(m_dataLock);
        changed = m_record->width != width;
        m_record->width = width;
    }
    if (changed)
        Notify(ColumnWidthChanged);
    return true;
}

void CColumn::SetVisible(bool visible)
{
    bool changed = false;
    {
        std::lock_guard lock(m_dataLock);
        changed = m_record->visible != visible;
        m_record->visible = visible;
    }
    if (changed)
        Notify(ColumnVisibilityChanged);
}

void CColumn::Serialize(CArchive& archive)
{
    if (archive.IsStoring()) {
        std::lock_guard lock(m_dataLock);
        const Record& r = *m_record;
        archive.WriteInt32(1);
        archive.WriteInt32(r.fieldId);
        archive.WriteString(r.caption);
        archive.WriteInt32(r.width);
        archive.WriteInt32(r.alignment);
        archive.WriteInt32(r.imageIndex);
        archive.WriteInt32(r.headerImageIndex);
        archive.WriteBool(r.visible);
        archive.WriteBool(r.editable);
        archive.WriteString(r.text);
        Common::StoredFormat stored;
        const bool hasFormat = Common::CaptureFormat(r.format.get(), stored);
        archive.WriteBool(hasFormat);
        if (hasFormat) {
            archive.WriteString(stored.className);
            archive.WriteInt32(static_cast<std::int32_t>(stored.settings.size()));
            archive.WriteBytes(stored.settings.data(), stored.settings.size());
        }
        StorePaintFormat(archive, r.cellPaintFormat.get());
        StorePaintFormat(archive, r.columnPaintFormat.get());
        return;
    }

    if (!archive.ReadVersion("CColumn"))
        return;
    // Read into a fresh record: damaged data leaves the column as it was.
    auto loaded = std::make_unique<Record>();
    Record& r = *loaded;
    r.fieldId = archive.ReadInt32();
    r.caption = archive.ReadString();
    r.width = archive.ReadInt32();
    r.alignment = archive.ReadInt32();
    r.imageIndex = archive.ReadInt32();
    r.headerImageIndex = archive.ReadInt32();
    r.visible = archive.ReadBool();
    r.editable = archive.ReadBool();
    r.text = archive.ReadString();
    if (archive.ReadBool()) {
        Common::StoredFormat stored;
        stored.className = archive.ReadString();
        const std::int32_t count = archive.ReadInt32();
        archive.RequireCount(count, 1);
        stored.settings.resize(static_cast<std::size_t>(count));
        archive.ReadBytes(stored.settings.data(), stored.settings.size());
        try {
            r.format.reset(Common::RecreateFormat(stored));
        } catch (const Common::CommonException& error) {
            CArchive::ThrowBadSchema(std::string("Damaged format settings: ") + error.what());
        }
    }
    r.cellPaintFormat = LoadPaintFormat<ICellPaintFormat>(archive, &CreateCellPaintFormat);
    r.columnPaintFormat = LoadPaintFormat<IColumnPaintFormat>(archive, &CreateColumnPaintFormat);
    {
        std::lock_guard lock(m_dataLock);
        m_record.swap(loaded);
        m_fieldId = m_record->fieldId;
    }
}

} // namespace Kestrum::GUI
