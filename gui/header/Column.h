// CColumn: one column of a grid: the field it shows, caption, width,
// alignment, images, the format of its text, its paint formats, and whether
// it is shown and editable.
//
// Columns are read from the grid's thread and may be changed from any
// thread: every property is guarded by the column's data lock, and notices
// go out after that lock is released, to a copy of the subscriber list, on
// the thread that made the change.
#pragma once

#include "gui/platform/Export.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/SubscriberList.h"
#include "common/Types.h"
#include "gui/platform/Archive.h"

namespace Kestrum::Common {
class CFormat;
}

namespace Kestrum::GUI {

class ICellPaintFormat;
class IColumnPaintFormat;

enum ColumnChange : std::int32_t {
    ColumnWidthChanged = 1,
    ColumnVisibilityChanged = 9,
    ColumnDestroyed = 11,
};

enum ColumnAlignment : std::int32_t { AlignAuto = 0, AlignLeft = 1, AlignRight = 2, AlignCenter = 3 };
enum ImageAlignment : std::int32_t { ImageLeft = 0, ImageRight = 1, ImageCenter = 2 };

class KESTRUM_GRIDCORE_EXPORT CColumn : public CArchiveObject {
public:
    class INotify {
    public:
        // Codes other than those of ColumnChange are reserved: ignore them.
        virtual void OnColumnChanged(CColumn* column, std::int32_t code) = 0;

    protected:
        ~INotify() = default;
    };

    CColumn();
    // Takes ownership of the format and the two paint formats (each may be null).
    CColumn(std::int32_t fieldId, const std::string& caption, std::int32_t width, std::int32_t alignment,
            bool editable, std::int32_t imageIndex, std::int32_t headerImageIndex, Common::CFormat* format,
            ICellPaintFormat* cellPaintFormat, IColumnPaintFormat* columnPaintFormat, const std::string& text);
    CColumn(const CColumn&) = delete;
    CColumn& operator=(const CColumn&) = delete;
    ~CColumn() override;

    std::string GetRuntimeClassName() const override { return "CColumn"; }
    void Serialize(CArchive& archive) override;

    std::int32_t GetFieldId() const noexcept { return m_fieldId.load(std::memory_order_relaxed); }
    std::string GetCaption() const;
    std::string GetText() const;
    std::int32_t GetWidth() const;
    // Refuses widths below 1; announces a different width.
    bool SetWidth(std::int32_t width);
    std::int32_t GetAlignment() const;
    std::int32_t GetImageIndex() const;
    std::int32_t GetHeaderImageIndex() const;
    std::int32_t GetImageAlignment() const;
    Common::CFormat* GetFormat() const;
    ICellPaintFormat* GetCellPaintFormat() const;
    IColumnPaintFormat* GetColumnPaintFormat() const;
    bool IsVisible() const;
    // Announces a different flag.
    void SetVisible(bool visible);
    bool IsEditable() const;

    void AddNotify(INotify* subscriber);
    void RemoveNotify(INotify* subscriber);

private:
    struct Record;
    void Notify(std::int32_t code);

    std::atomic<std::int32_t> m_fieldId;
    std::unique_ptr<Record> m_record;
    Common::CSubscriberList<INotify> m_subscribers;
    mutable std::recursive_mutex m_dataLock;
};

// The alignment a cell uses for a value of the given type tag: automatic
// means right for numbers and left for everything else.
KESTRUM_GRIDCORE_EXPORT std::int32_t ResolveAlignment(std::int32_t alignment, std::int32_t valueType);

} // namespace Kestrum::GUI
