#include "gui/header/Header.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "common/SubscriberList.h"

namespace Kestrum::GUI {

namespace {
const bool s_registered = RegisterArchiveClass("CHeader", [] { return new CHeader(true); });

constexpr std::int32_t kNoField = Common::FIELD_NONE;
constexpr std::int32_t kAllFields = Common::FIELD_ALL;

bool IsValidFieldId(std::int32_t id) { return id != kNoField && id != kAllFields; }

struct Geometry {
    int visibleIndex = 0;
    CRect rect;
};

struct Notice {
    CColumn* column = nullptr;
    std::int32_t code = 0;
    std::unique_ptr<CColumn> destroyAfter; // a removed column dies after its notice
};
} // namespace

void CSortInfo::Serialize(CArchive& archive)
{
    if (archive.IsStoring()) {
        archive.WriteInt32(1);
        archive.WriteInt32(m_fieldId);
        archive.WriteBool(m_descending);
        return;
    }
    if (!archive.ReadVersion("CSortInfo"))
        return;
    const std::int32_t fieldId = archive.ReadInt32();
    const bool descending = archive.ReadBool();
    m_fieldId = fieldId;
    m_descending = descending;
}

struct CHeader::Impl final : CColumn::INotify {
    explicit Impl(CHeader* header, bool autoDelete) : owner(header), autoDelete(autoDelete) {}

    CHeader* owner;
    std::vector<CColumn*> columns; // owned, stored order
    std::vector<CColumn*> visible;
    std::map<std::int32_t, CColumn*> byId;
    std::map<std::int32_t, CColumn*> visibleById;
    std::map<std::int32_t, int> indexById;
    std::map<std::int32_t, Geometry> geometryById;
    std::map<int, CColumn*> byRightEdge;
    int fixedWidth = 0;
    int scrollableWidth = 0;
    int fixedCount = 0;
    int height = 20;
    std::vector<CSortInfo> sortLevels;
    bool sortingEnabled = true;
    bool multiSortEnabled = true;
    bool fixedMovable = true;
    bool scrollableMovable = true;
    bool extraOption = true;
    std::int32_t extraValue = 0;
    QFont* font = nullptr;
    CImageList* images = nullptr;
    bool autoDelete;
    CColumn* treeColumn = nullptr;

    std::recursive_mutex dataLock;
    int lockDepth = 0;
    std::vector<Notice> pending;
    Common::CSubscriberList<CHeader::INotify> subscribers;

    void Queue(CColumn* column, std::int32_t code, std::unique_ptr<CColumn> destroyAfter = nullptr)
    {
        pending.push_back({column, code, std::move(destroyAfter)});
    }

    void Deliver(std::vector<Notice>& notices)
    {
        for (Notice& notice : notices) {
            subscribers.ForEach([&](CHeader::INotify* subscriber) {
                subscriber->OnHeaderChanged(owner, notice.column, notice.code);
            });
            notice.destroyAfter.reset();
        }
    }

    void RebuildLayout()
    {
        visible.clear();
        visibleById.clear();
        indexById.clear();
        for (std::size_t storedIndex = 0; storedIndex < columns.size(); ++storedIndex) {
            CColumn* column = columns[storedIndex];
            indexById[column->GetFieldId()] = static_cast<int>(storedIndex);
            if (column->IsVisible()) {
                visible.push_back(column);
                visibleById[column->GetFieldId()] = column;
            }
        }
        RunGeometry();
    }

    void RunGeometry()
    {
        geometryById.clear();
        byRightEdge.clear();
        // Widths come from stored data unchecked: sums saturate instead of
        // overflowing.
        std::int64_t fixed = 0, scrollable = 0, x = 0;
        for (std::size_t visibleIndex = 0; visibleIndex < visible.size(); ++visibleIndex) {
            CColumn* column = visible[visibleIndex];
            const std::int64_t width = column->GetWidth();
            geometryById[column->GetFieldId()] = {static_cast<int>(visibleIndex),
                                                  {Saturate(x), 0, Saturate(x + width), height}};
            if (width > 0) {
                x += width;
                byRightEdge[Saturate(x)] = column;
            }
            (static_cast<int>(visibleIndex) < fixedCount ? fixed : scrollable) += width;
        }
        fixedWidth = Saturate(fixed);
        scrollableWidth = Saturate(scrollable);
    }

    static int Saturate(std::int64_t value)
    {
        return static_cast<int>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
    }

    bool IsFixed(std::int32_t fieldId) const
    {
        const auto it = geometryById.find(fieldId);
        return visibleById.count(fieldId) && it != geometryById.end() && it->second.visibleIndex < fixedCount;
    }

    bool IsMovable(std::int32_t fieldId) const
    {
        if (!visibleById.count(fieldId))
            return true; // the switches apply to visible columns only
        return IsFixed(fieldId) ? fixedMovable : scrollableMovable;
    }

    // Moves a column before or after a target (stored order); false when refused.
    bool MoveColumn(std::int32_t fieldId, std::int32_t targetId, bool after);
    void OnColumnChanged(CColumn* column, std::int32_t code) override;
};

// The header's data lock; the outermost release delivers the collected
// notices with no lock held.
class CHeader::CLock {
public:
    explicit CLock(Impl& impl) : m_impl(impl)
    {
        m_impl.dataLock.lock();
        ++m_impl.lockDepth;
    }
    ~CLock()
    {
        if (--m_impl.lockDepth > 0 || m_impl.pending.empty()) {
            m_impl.dataLock.unlock();
            return;
        }
        std::vector<Notice> notices;
        notices.swap(m_impl.pending);
        m_impl.dataLock.unlock();
        m_impl.Deliver(notices);
    }
    CLock(const CLock&) = delete;
    CLock& operator=(const CLock&) = delete;

private:
    Impl& m_impl;
};

namespace {
// The Impl's own use of the lock (column notices arrive on the Impl).
class CImplLock {
public:
    explicit CImplLock(std::recursive_mutex& mutex, int& depth) : m_mutex(mutex), m_depth(depth)
    {
        m_mutex.lock();
        ++m_depth;
    }
    ~CImplLock()
    {
        --m_depth;
        m_mutex.unlock();
    }

private:
    std::recursive_mutex& m_mutex;
    int& m_depth;
};
} // namespace

bool CHeader::Impl::MoveColumn(std::int32_t fieldId, std::int32_t targetId, bool after)
{
    if (fieldId == targetId)
        return false;
    const auto indexOf = [&](std::int32_t id) {
        const auto it = indexById.find(id);
        return it == indexById.end() ? -1 : it->second;
    };
    int targetIndex = indexOf(targetId);
    const int movedIndex = indexOf(fieldId);
    if (!IsMovable(fieldId) || !IsMovable(targetId))
        return false;
    const int count = static_cast<int>(columns.size());
    if (targetIndex < 0 || movedIndex < 0 || targetIndex >= count || movedIndex >= count)
        return false;
    CColumn* moved = columns[static_cast<std::size_t>(movedIndex)];
    columns.erase(columns.begin() + movedIndex);
    if (movedIndex < targetIndex)
        --targetIndex;
    const int insertAt = after ? targetIndex + 1 : targetIndex;
    columns.insert(columns.begin() + insertAt, moved);
    RebuildLayout();
    Queue(moved, HeaderColumnMoved);
    return true;
}

void CHeader::Impl::OnColumnChanged(CColumn* column, std::int32_t code)
{
    if (code < 0 || code > 10)
        return;
    std::vector<Notice> notices;
    {
        CImplLock lock(dataLock, lockDepth);
        if (std::find(columns.begin(), columns.end(), column) == columns.end())
            return;
        if (code == ColumnWidthChanged) {
            RunGeometry();
            Queue(column, HeaderColumnResized);
        } else if (code == ColumnVisibilityChanged) {
            RebuildLayout();
            if (treeColumn && !treeColumn->IsVisible())
                treeColumn = nullptr;
            Queue(column, HeaderColumnVisibilityChanged);
        } else {
            Queue(column, HeaderColumnChanged);
        }
        if (lockDepth == 1)
            notices.swap(pending);
    }
    // Outside every header lock (when this thread held none before).
    Deliver(notices);
}

CHeader::CHeader(bool autoDelete) : m_impl(std::make_unique<Impl>(this, autoDelete)) { (void)s_registered; }

CHeader::~CHeader() { RemoveAllColumns(); }

bool CHeader::IsAutoDelete() const { return m_impl->autoDelete; }

void CHeader::AddNotify(INotify* subscriber) { m_impl->subscribers.Add(subscriber); }

void CHeader::RemoveNotify(INotify* subscriber) { m_impl->subscribers.Remove(subscriber); }

bool CHeader::AddColumn(CColumn* column)
{
    CLock lock(*m_impl);
    if (!column || !IsValidFieldId(column->GetFieldId()) || m_impl->byId.count(column->GetFieldId()))
        return false;
    m_impl->columns.push_back(column);
    m_impl->byId[column->GetFieldId()] = column;
    m_impl->RebuildLayout();
    column->AddNotify(m_impl.get());
    m_impl->Queue(column, HeaderColumnAdded);
    return true;
}

bool CHeader::RemoveColumn(std::int32_t fieldId)
{
    CLock lock(*m_impl);
    const auto found = m_impl->byId.find(fieldId);
    if (!IsValidFieldId(fieldId) || found == m_impl->byId.end())
        return false;
    CColumn* column = found->second;
    if (m_impl->treeColumn == column)
        m_impl->treeColumn = nullptr;
    m_impl->byId.erase(found);
    m_impl->columns.erase(std::find(m_impl->columns.begin(), m_impl->columns.end(), column));
    m_impl->RebuildLayout();
    column->RemoveNotify(m_impl.get());
    m_impl->Queue(column, HeaderColumnRemoved, std::unique_ptr<CColumn>(column));
    return true;
}

void CHeader::RemoveAllColumns()
{
    CLock lock(*m_impl);
    m_impl->treeColumn = nullptr;
    std::vector<CColumn*> former;
    former.swap(m_impl->columns);
    m_impl->byId.clear();
    m_impl->RebuildLayout();
    for (CColumn* column : former) {
        column->RemoveNotify(m_impl.get());
        m_impl->Queue(column, HeaderColumnRemoved, std::unique_ptr<CColumn>(column));
    }
}

int CHeader::GetColumnCount() const
{
    CLock lock(*m_impl);
    return static_cast<int>(m_impl->columns.size());
}

int CHeader::GetVisibleColumnCount() const
{
    CLock lock(*m_impl);
    return static_cast<int>(m_impl->visible.size());
}

void CHeader::SetFixedColumnCount(int count)
{
    CLock lock(*m_impl);
    if (m_impl->fixedCount == count)
        return;
    m_impl->fixedCount = count;
    m_impl->RebuildLayout();
    m_impl->Queue(nullptr, HeaderFixedCountChanged);
}

int CHeader::GetFixedColumnCount() const
{
    CLock lock(*m_impl);
    return m_impl->fixedCount;
}

bool CHeader::IsFixedColumn(std::int32_t fieldId) const
{
    CLock lock(*m_impl);
    return m_impl->IsFixed(fieldId);
}

bool CHeader::ShowColumn(std::int32_t fieldId)
{
    CLock lock(*m_impl);
    CColumn* column = GetColumn(fieldId);
    if (!column)
        return false;
    if (!column->IsVisible()) {
        column->SetVisible(true); // the column's notice rebuilds and announces once
        m_impl->RebuildLayout();
        m_impl->Queue(column, HeaderColumnVisibilityChanged);
    }
    return true;
}

bool CHeader::HideColumn(std::int32_t fieldId)
{
    CLock lock(*m_impl);
    CColumn* column = GetColumn(fieldId);
    if (!column)
        return false;
    if (column->IsVisible()) {
        column->SetVisible(false);
        if (m_impl->treeColumn == column)
            m_impl->treeColumn = nullptr;
        m_impl->RebuildLayout();
        m_impl->Queue(column, HeaderColumnVisibilityChanged);
    }
    return true;
}

#define KESTRUM_HEADER_GET(Type, Name, member) \
    Type CHeader::Name() const                 \
    {                                          \
        CLock lock(*m_impl);                   \
        return m_impl->member;                 \
    }
#define KESTRUM_HEADER_SET(Type, Name, member) \
    void CHeader::Name(Type value)             \
    {                                          \
        CLock lock(*m_impl);                   \
        m_impl->member = value;                \
    }
KESTRUM_HEADER_GET(bool, CanMoveFixedColumns, fixedMovable)
KESTRUM_HEADER_GET(bool, CanMoveScrollableColumns, scrollableMovable)
KESTRUM_HEADER_GET(bool, GetExtraOption, extraOption)
KESTRUM_HEADER_SET(bool, SetMoveFixedColumns, fixedMovable)
KESTRUM_HEADER_SET(bool, SetMoveScrollableColumns, scrollableMovable)
KESTRUM_HEADER_SET(bool, SetExtraOption, extraOption)
KESTRUM_HEADER_GET(int, GetHeight, height)
KESTRUM_HEADER_GET(int, GetFixedWidth, fixedWidth)
KESTRUM_HEADER_GET(int, GetScrollableWidth, scrollableWidth)
KESTRUM_HEADER_SET(std::int32_t, SetExtraValue, extraValue)
KESTRUM_HEADER_GET(std::int32_t, GetExtraValue, extraValue)
KESTRUM_HEADER_GET(bool, IsSortingEnabled, sortingEnabled)
KESTRUM_HEADER_GET(bool, IsMultiSortEnabled, multiSortEnabled)
KESTRUM_HEADER_GET(QFont*, GetFont, font)
KESTRUM_HEADER_GET(CImageList*, GetImageList, images)
#undef KESTRUM_HEADER_GET
#undef KESTRUM_HEADER_SET


bool CHeader::MoveColumnBefore(std::int32_t fieldId, std::int32_t targetFieldId)
{
    CLock lock(*m_impl);
    return m_impl->MoveColumn(fieldId, targetFieldId, false);
}

bool CHeader::MoveColumnAfter(std::int32_t fieldId, std::int32_t targetFieldId)
{
    CLock lock(*m_impl);
    return m_impl->MoveColumn(fieldId, targetFieldId, true);
}

bool CHeader::MoveColumnToIndex(std::int32_t fieldId, int storedIndex)
{
    CLock lock(*m_impl);
    if (CColumn* target = GetColumnAt(storedIndex))
        return MoveColumnBefore(fieldId, target->GetFieldId());
    CColumn* last = GetLastColumn();
    if (storedIndex == GetColumnCount() && last)
        return MoveColumnAfter(fieldId, last->GetFieldId());
    return MoveColumnAfter(fieldId, kNoField);
}

bool CHeader::MoveColumnToVisibleIndex(std::int32_t fieldId, int visibleIndex)
{
    CLock lock(*m_impl);
    if (CColumn* target = GetVisibleColumnAt(visibleIndex))
        return MoveColumnBefore(fieldId, target->GetFieldId());
    CColumn* last = GetLastVisibleColumn();
    if (visibleIndex == GetVisibleColumnCount() && last)
        return MoveColumnAfter(fieldId, last->GetFieldId());
    return MoveColumnAfter(fieldId, kNoField);
}

CColumn* CHeader::GetColumnAt(int storedIndex) const
{
    CLock lock(*m_impl);
    if (storedIndex < 0 || storedIndex >= static_cast<int>(m_impl->columns.size()))
        return nullptr;
    return m_impl->columns[static_cast<std::size_t>(storedIndex)];
}

CColumn* CHeader::GetVisibleColumnAt(int visibleIndex) const
{
    CLock lock(*m_impl);
    if (visibleIndex < 0 || visibleIndex >= static_cast<int>(m_impl->visible.size()))
        return nullptr;
    return m_impl->visible[static_cast<std::size_t>(visibleIndex)];
}

CColumn* CHeader::GetColumn(std::int32_t fieldId) const
{
    CLock lock(*m_impl);
    const auto it = m_impl->byId.find(fieldId);
    return it == m_impl->byId.end() ? nullptr : it->second;
}

CColumn* CHeader::GetVisibleColumn(std::int32_t fieldId) const
{
    CLock lock(*m_impl);
    const auto it = m_impl->visibleById.find(fieldId);
    return it == m_impl->visibleById.end() ? nullptr : it->second;
}

int CHeader::GetColumnIndex(std::int32_t fieldId) const
{
    CLock lock(*m_impl);
    const auto it = m_impl->indexById.find(fieldId);
    return it == m_impl->indexById.end() ? -1 : it->second;
}

int CHeader::GetVisibleIndex(std::int32_t fieldId) const
{
    CLock lock(*m_impl);
    const auto it = m_impl->geometryById.find(fieldId);
    return it == m_impl->geometryById.end() ? -1 : it->second.visibleIndex;
}

CColumn* CHeader::GetFirstColumn() const { return GetColumnAt(0); }
CColumn* CHeader::GetFirstVisibleColumn() const { return GetVisibleColumnAt(0); }

CColumn* CHeader::GetLastColumn() const
{
    CLock lock(*m_impl);
    return m_impl->columns.empty() ? nullptr : m_impl->columns.back();
}

CColumn* CHeader::GetLastVisibleColumn() const
{
    CLock lock(*m_impl);
    return m_impl->visible.empty() ? nullptr : m_impl->visible.back();
}

CColumn* CHeader::HitTestColumn(const IScrollPositionSource* scroll, int x, int) const
{
    CLock lock(*m_impl);
    int headerX = x;
    if (x >= m_impl->fixedWidth) {
        int position = 0;
        if (!scroll || !scroll->GetHorizontalScrollPosition(position))
            return nullptr;
        headerX = Impl::Saturate(static_cast<std::int64_t>(x) + position);
    }
    const auto it = m_impl->byRightEdge.upper_bound(headerX);
    return it == m_impl->byRightEdge.end() ? nullptr : it->second;
}

CRect CHeader::GetColumnRect(const IScrollPositionSource* scroll, std::int32_t fieldId) const
{
    CLock lock(*m_impl);
    const auto it = m_impl->geometryById.find(fieldId);
    if (it == m_impl->geometryById.end())
        return {0, 0, 0, m_impl->height};
    CRect rect = it->second.rect;
    rect.bottom = m_impl->height;
    int position = 0;
    if (rect.left >= m_impl->fixedWidth && scroll && scroll->GetHorizontalScrollPosition(position)) {
        rect.left = Impl::Saturate(static_cast<std::int64_t>(rect.left) - position);
        rect.right = Impl::Saturate(static_cast<std::int64_t>(rect.right) - position);
    }
    return rect;
}

CRect CHeader::GetClippedColumnRect(const IScrollPositionSource* scroll, std::int32_t fieldId) const
{
    CLock lock(*m_impl);
    CRect rect = GetColumnRect(scroll, fieldId);
    const auto it = m_impl->geometryById.find(fieldId);
    if (it != m_impl->geometryById.end() && it->second.rect.left >= m_impl->fixedWidth) {
        rect.left = std::max(rect.left, m_impl->fixedWidth);
        rect.right = std::max(rect.right, m_impl->fixedWidth);
    }
    return rect;
}

void CHeader::SetHeight(int height)
{
    CLock lock(*m_impl);
    if (m_impl->height == height)
        return;
    m_impl->height = height;
    m_impl->RunGeometry();
    m_impl->Queue(nullptr, HeaderHeightChanged);
}

CColumn* CHeader::GetTreeColumn() const
{
    CLock lock(*m_impl);
    if (m_impl->treeColumn && m_impl->treeColumn->IsVisible())
        return m_impl->treeColumn;
    return GetFirstVisibleColumn();
}

bool CHeader::SetTreeColumn(std::int32_t fieldId)
{
    CLock lock(*m_impl);
    m_impl->treeColumn = GetVisibleColumn(fieldId);
    return m_impl->treeColumn != nullptr;
}

void CHeader::EnableSorting(bool enable)
{
    CLock lock(*m_impl);
    if (!enable)
        ClearSort();
    m_impl->sortingEnabled = enable;
}

void CHeader::EnableMultiSort(bool enable)
{
    CLock lock(*m_impl);
    if (!enable && m_impl->sortLevels.size() > 1)
        ClearSort();
    m_impl->multiSortEnabled = enable;
}

void CHeader::SetSortInfo(int level, const CSortInfo& info)
{
    CLock lock(*m_impl);
    auto& levels = m_impl->sortLevels;
    if (!m_impl->sortingEnabled || (!m_impl->multiSortEnabled && level >= 1) || level < 0 ||
        level >= kMaxSortLevels || level > static_cast<int>(levels.size()))
        return;
    if (level == static_cast<int>(levels.size())) {
        levels.push_back(info);
    } else {
        CSortInfo& stored = levels[static_cast<std::size_t>(level)];
        if (stored == info)
            return;
        stored = CSortInfo(info.GetFieldId(), info.IsDescending());
    }
    m_impl->Queue(nullptr, HeaderSortChanged);
}

CSortInfo CHeader::GetSortInfo(int level) const
{
    CLock lock(*m_impl);
    if (level < 0 || level >= static_cast<int>(m_impl->sortLevels.size()))
        return CSortInfo(kNoField, false);
    return m_impl->sortLevels[static_cast<std::size_t>(level)];
}

int CHeader::GetSortLevelCount() const
{
    CLock lock(*m_impl);
    return static_cast<int>(m_impl->sortLevels.size());
}

std::vector<CSortInfo> CHeader::GetSortLevels() const
{
    CLock lock(*m_impl);
    return m_impl->sortLevels;
}

std::vector<CColumn*> CHeader::GetVisibleColumns() const
{
    CLock lock(*m_impl);
    return m_impl->visible;
}

void CHeader::ClearSort()
{
    CLock lock(*m_impl);
    if (m_impl->sortLevels.empty())
        return;
    m_impl->sortLevels.clear();
    m_impl->Queue(nullptr, HeaderSortChanged);
}

QFont* CHeader::SetFont(QFont* font)
{
    CLock lock(*m_impl);
    QFont* previous = m_impl->font;
    m_impl->font = font;
    m_impl->Queue(nullptr, HeaderFontChanged);
    return previous;
}

CImageList* CHeader::SetImageList(CImageList* images)
{
    CLock lock(*m_impl);
    CImageList* previous = m_impl->images;
    m_impl->images = images;
    m_impl->Queue(nullptr, HeaderImageListChanged);
    return previous;
}

void CHeader::Serialize(CArchive& archive)
{
    if (archive.IsStoring()) {
        CLock lock(*m_impl);
        archive.WriteInt32(1);
        archive.WriteInt32(static_cast<std::int32_t>(m_impl->columns.size()));
        for (CColumn* column : m_impl->columns)
            archive.WriteObject(column);
        archive.WriteInt32(m_impl->fixedCount);
        archive.WriteInt32(m_impl->height);
        archive.WriteBool(m_impl->sortingEnabled);
        archive.WriteBool(m_impl->multiSortEnabled);
        archive.WriteInt32(static_cast<std::int32_t>(m_impl->sortLevels.size()));
        for (CSortInfo& level : m_impl->sortLevels)
            level.Serialize(archive);
        archive.WriteBool(m_impl->fixedMovable);
        archive.WriteBool(m_impl->scrollableMovable);
        archive.WriteBool(m_impl->extraOption);
        archive.WriteInt32(m_impl->extraValue);
        return;
    }

    if (!archive.ReadVersion("CHeader"))
        return;

    // Everything is read before anything changes: a damaged archive raises
    // its error and leaves the header as it was.
    std::vector<std::unique_ptr<CColumn>> columns;
    const std::int32_t columnCount = archive.ReadInt32();
    archive.RequireCount(columnCount, 4);
    for (std::int32_t i = 0; i < columnCount; ++i) {
        const std::string className = archive.ReadClass();
        if (className.empty()) {
            CColumn discarded; // keeps the stream in step
            discarded.Serialize(archive);
            continue;
        }
        std::unique_ptr<CArchiveObject> object(CreateArchiveObject(className));
        auto* column = dynamic_cast<CColumn*>(object.get());
        if (!column)
            throw CArchiveException(CArchiveException::BadClass, "Header archive holds a " + className +
                                                                     " where a column was expected");
        object.release();
        columns.emplace_back(column);
        column->Serialize(archive);
    }
    const std::int32_t fixedCount = archive.ReadInt32();
    const std::int32_t height = archive.ReadInt32();
    const bool sortingEnabled = archive.ReadBool();
    const bool multiSortEnabled = archive.ReadBool();
    const std::int32_t levelCount = archive.ReadInt32();
    archive.RequireCount(levelCount, 4);
    // No header stores more levels than it can hold: more is damaged data,
    // and reading only some would take the rest for the fields that follow.
    if (levelCount > kMaxSortLevels)
        throw CArchiveException(CArchiveException::Generic, "Header archive holds " + std::to_string(levelCount) +
                                                                " sort levels, more than " +
                                                                std::to_string(kMaxSortLevels));
    std::vector<CSortInfo> levels;
    for (std::int32_t i = 0; i < levelCount; ++i) {
        CSortInfo level;
        level.Serialize(archive);
        levels.push_back(level);
    }
    const bool fixedMovable = archive.ReadBool();
    const bool scrollableMovable = archive.ReadBool();
    const bool extraOption = archive.ReadBool();
    const std::int32_t extraValue = archive.ReadInt32();

    CLock lock(*m_impl);
    RemoveAllColumns();
    for (auto& column : columns) {
        // A column whose field id is already held is dropped.
        if (AddColumn(column.get()))
            column.release();
    }
    m_impl->fixedCount = fixedCount;
    m_impl->height = height;
    m_impl->sortingEnabled = sortingEnabled;
    m_impl->multiSortEnabled = multiSortEnabled;
    m_impl->sortLevels.clear();
    m_impl->fixedMovable = fixedMovable;
    m_impl->scrollableMovable = scrollableMovable;
    m_impl->extraOption = extraOption;
    m_impl->extraValue = extraValue;
    m_impl->RebuildLayout();
    for (std::size_t level = 0; level < levels.size(); ++level)
        SetSortInfo(static_cast<int>(level), levels[level]);
}

} // namespace Kestrum::GUI
