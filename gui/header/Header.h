// CHeader: the column set of a grid. It owns the columns in stored order,
// derives the visible list and the horizontal geometry, keeps leading
// visible columns fixed, and holds the sort levels (at most five), the
// height, font, image list and behaviour switches.
//
// Threads: any thread may call any operation; the data lock guards the
// state. Notices (to CHeader::INotify subscribers) are collected while the
// lock is held and delivered after the outermost lock is released, on the
// thread that made the change, so a subscriber may wait for another thread
// that takes the header's lock without deadlocking. A removed column is
// destroyed only after its removal notice has been delivered.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/header/Column.h"
#include "gui/grid/AutoDelete.h"
#include "gui/platform/Archive.h"
#include "gui/platform/Geometry.h"

class QFont;

namespace Kestrum::GUI {

class CImageList;

enum HeaderChange : std::int32_t {
    HeaderColumnAdded = 0,
    HeaderColumnRemoved = 1,
    HeaderColumnResized = 2,
    HeaderColumnChanged = 3,
    HeaderColumnVisibilityChanged = 4,
    HeaderColumnMoved = 5,
    HeaderFixedCountChanged = 6,
    HeaderSortChanged = 7,
    HeaderHeightChanged = 9,
    HeaderFontChanged = 10,
    HeaderImageListChanged = 11,
};

inline constexpr int kMaxSortLevels = 5;

// One sort level: a field and a direction. Field id -2 means no level.
class KESTRUM_GRIDCORE_EXPORT CSortInfo {
public:
    CSortInfo() = default;
    CSortInfo(std::int32_t fieldId, bool descending) : m_fieldId(fieldId), m_descending(descending) {}
    CSortInfo(const CSortInfo&) = default;
    CSortInfo& operator=(const CSortInfo&) = default;
    virtual ~CSortInfo() = default;
    virtual void Serialize(CArchive& archive);

    std::int32_t GetFieldId() const noexcept { return m_fieldId; }
    bool IsDescending() const noexcept { return m_descending; }
    friend bool operator==(const CSortInfo& a, const CSortInfo& b)
    {
        return a.m_fieldId == b.m_fieldId && a.m_descending == b.m_descending;
    }

private:
    std::int32_t m_fieldId = Common::FIELD_NONE;
    bool m_descending = false;
};

// The one platform service the header's geometry needs: the grid window's
// horizontal scroll position in pixels.
class KESTRUM_GRIDCORE_EXPORT IScrollPositionSource {
public:
    virtual bool GetHorizontalScrollPosition(int& position) const = 0;

protected:
    ~IScrollPositionSource() = default;
};

class KESTRUM_GRIDCORE_EXPORT CHeader : public IAutoDelete, public CArchiveObject {
public:
    class INotify {
    public:
        virtual void OnHeaderChanged(CHeader* header, CColumn* column, std::int32_t code) = 0;

    protected:
        ~INotify() = default;
    };

    explicit CHeader(bool autoDelete);
    CHeader(const CHeader&) = delete;
    CHeader& operator=(const CHeader&) = delete;
    ~CHeader() override;

    bool IsAutoDelete() const override;
    std::string GetRuntimeClassName() const override { return "CHeader"; }
    void Serialize(CArchive& archive) override;

    // Takes ownership on success.
    virtual bool AddColumn(CColumn* column);
    virtual bool RemoveColumn(std::int32_t fieldId);
    virtual void RemoveAllColumns();
    virtual int GetColumnCount() const;
    virtual int GetVisibleColumnCount() const;
    virtual void SetFixedColumnCount(int count);
    virtual int GetFixedColumnCount() const;
    virtual bool IsFixedColumn(std::int32_t fieldId) const;
    virtual bool ShowColumn(std::int32_t fieldId);
    virtual bool HideColumn(std::int32_t fieldId);
    virtual bool CanMoveFixedColumns() const;
    virtual bool CanMoveScrollableColumns() const;
    virtual bool GetExtraOption() const;
    virtual void SetMoveFixedColumns(bool movable);
    virtual void SetMoveScrollableColumns(bool movable);
    virtual void SetExtraOption(bool option);
    virtual bool MoveColumnBefore(std::int32_t fieldId, std::int32_t targetFieldId);
    virtual bool MoveColumnAfter(std::int32_t fieldId, std::int32_t targetFieldId);
    virtual bool MoveColumnToIndex(std::int32_t fieldId, int storedIndex);
    virtual bool MoveColumnToVisibleIndex(std::int32_t fieldId, int visibleIndex);
    virtual CColumn* GetColumnAt(int storedIndex) const;
    virtual CColumn* GetVisibleColumnAt(int visibleIndex) const;
    virtual CColumn* GetColumn(std::int32_t fieldId) const;
    virtual CColumn* GetVisibleColumn(std::int32_t fieldId) const;
    virtual int GetColumnIndex(std::int32_t fieldId) const;
    virtual int GetVisibleIndex(std::int32_t fieldId) const;
    virtual CColumn* GetFirstColumn() const;
    virtual CColumn* GetFirstVisibleColumn() const;
    virtual CColumn* GetLastColumn() const;
    virtual CColumn* GetLastVisibleColumn() const;
    // Client coordinates of the window that `scroll` describes; y is unused.
    virtual CColumn* HitTestColumn(const IScrollPositionSource* scroll, int x, int y) const;
    virtual CRect GetColumnRect(const IScrollPositionSource* scroll, std::int32_t fieldId) const;
    virtual CRect GetClippedColumnRect(const IScrollPositionSource* scroll, std::int32_t fieldId) const;
    virtual int GetHeight() const;
    virtual void SetHeight(int height);
    virtual int GetFixedWidth() const;
    virtual int GetScrollableWidth() const;
    virtual void SetExtraValue(std::int32_t value);
    virtual std::int32_t GetExtraValue() const;
    virtual CColumn* GetTreeColumn() const;
    virtual bool SetTreeColumn(std::int32_t fieldId);
    virtual void EnableSorting(bool enable);
    virtual bool IsSortingEnabled() const;
    virtual void EnableMultiSort(bool enable);
    virtual bool IsMultiSortEnabled() const;
    virtual void SetSortInfo(int level, const CSortInfo& info);
    virtual CSortInfo GetSortInfo(int level) const;
    virtual int GetSortLevelCount() const;
    virtual void ClearSort();
    virtual QFont* SetFont(QFont* font);
    virtual QFont* GetFont() const;
    virtual CImageList* SetImageList(CImageList* images);
    virtual CImageList* GetImageList() const;

    void AddNotify(INotify* subscriber);
    void RemoveNotify(INotify* subscriber);

    // Snapshots for painting.
    std::vector<CColumn*> GetVisibleColumns() const;
    std::vector<CSortInfo> GetSortLevels() const;

private:
    struct Impl;
    class CLock;
    std::unique_ptr<Impl> m_impl;
};

} // namespace Kestrum::GUI
