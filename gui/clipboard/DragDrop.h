// The drag-and-drop handler of a grid: IDragDrop and its default CDragDrop.
// It holds the formats a drag of rows carries (the shared default: the local
// data format, then the text format, as the copy-and-paste handler), runs
// the drag, and reads what is dropped on a grid.
//
// The grid decides when a drag starts, where a drop goes and what it does
// (CGridTransfer); the handler only carries the data.
//
// Ownership: a handler owns its formats; handed to a grid (CGrid::SetDragDrop)
// it is deleted with the grid when IsAutoDelete answers true.
#pragma once

#include "gui/platform/Export.h"

#include <QPixmap>
#include <QPoint>
#include <Qt>
#include <vector>

#include "gui/clipboard/ClipboardFormat.h"
#include "gui/grid/AutoDelete.h"

class QMimeData;
class QWidget;

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT IDragDrop : public virtual IAutoDelete {
public:
    // Appends a format and takes it over (null is ignored).
    virtual void AddFormat(IClipboardFormat* format) = 0;
    // The formats in order, still the handler's.
    virtual const std::vector<IClipboardFormat*>& GetFormats() const = 0;
    // Runs a drag of `data` (taken over) from `source` offering copy and
    // move; answers the action of the drop, Qt::IgnoreAction when nothing
    // was dropped. Returns when the drag is over.
    virtual Qt::DropAction Execute(QWidget* source, QMimeData* data, const QPixmap& image, QPoint hotSpot) = 0;
    // Reads dropped data through the formats in order: true when one filled
    // the record (rows of this process).
    virtual bool Read(const QMimeData& data, TransferRecord& record) = 0;
};

class KESTRUM_GUI_EXPORT CDragDrop : public IDragDrop {
public:
    explicit CDragDrop(bool autoDelete) : m_autoDelete(autoDelete) {}
    ~CDragDrop() override;
    CDragDrop(const CDragDrop&) = delete;
    CDragDrop& operator=(const CDragDrop&) = delete;

    bool IsAutoDelete() const override { return m_autoDelete; }
    void AddFormat(IClipboardFormat* format) override;
    const std::vector<IClipboardFormat*>& GetFormats() const override { return m_formats; }
    // A platform drag (QDrag); where the platform has none (the offscreen
    // and minimal platforms), the in-process drag of InProcessDrag.h, which
    // reaches every window of this process.
    Qt::DropAction Execute(QWidget* source, QMimeData* data, const QPixmap& image, QPoint hotSpot) override;
    bool Read(const QMimeData& data, TransferRecord& record) override;

private:
    bool m_autoDelete;
    std::vector<IClipboardFormat*> m_formats;
};

} // namespace Kestrum::GUI
