// CEmbeddedControlAdapter: keeps a control widget glued to one cell of a
// grid. The grid creates one per control it is asked to embed (EmbedControl)
// and stores it in the item's map of embedded controls under the field id;
// the paint pass positions it at its cell before the row is painted and
// moves it out of sight when its row leaves the view.
//
// The control is not the adapter's: whoever created it destroys it. While
// attached, the adapter sees every event of the control before the control
// does and hands it to its sinks (the grid's input hook of an active edit).
//
// Layout: the control's size when it was attached, the layout flags (which
// edges follow the cell's, EmbeddedLayoutFlag) and four margins give its
// rectangle in a cell (Position).
//
// GUI thread only.
#pragma once

#include "gui/platform/Export.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "common/Types.h"
#include "gui/edit/EditTypes.h"
#include "gui/grid/EmbeddedControl.h"

class QEvent;

namespace Kestrum::GUI {

class CEmbeddedControlAdapter;
class CGridItem;

// The adapters of one grid, for its paint pass to position. An adapter
// leaves it when its item lets go of it.
struct KESTRUM_GUI_EXPORT CEmbeddedRegistry {
    std::vector<CEmbeddedControlAdapter*> adapters;
};

struct KESTRUM_GUI_EXPORT EmbeddedMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

class KESTRUM_GUI_EXPORT CEmbeddedControlAdapter : public QObject, public IEmbeddedControl {
public:
    class ISink {
    public:
        // Every event of the control, before the control handles it; true
        // keeps the event from the control. The base does nothing.
        virtual bool OnControlMessage(CEmbeddedControlAdapter* adapter, QEvent* event);

    protected:
        ~ISink() = default;
    };

    // Records the control's rectangle and hooks it.
    CEmbeddedControlAdapter(QWidget* control, CGridItem* item, Common::FieldId field,
                            std::weak_ptr<CEmbeddedRegistry> registry, bool autoDelete = true);
    ~CEmbeddedControlAdapter() override;
    CEmbeddedControlAdapter(const CEmbeddedControlAdapter&) = delete;
    CEmbeddedControlAdapter& operator=(const CEmbeddedControlAdapter&) = delete;

    // The control's rectangle for the cell rectangle `cell`; moved there (and
    // repainted) when it differs from where the control is.
    virtual void Position(const CRect& cell);
    virtual QWidget* GetControl() const;
    void Bind(const CellDrawContext& context, const PaintState& state, std::uint32_t flags) override;
    // To (-10000, -10000), keeping the size.
    virtual void MoveAway();
    virtual void Hide();
    virtual void Show();
    virtual void AddSink(ISink* sink);
    virtual void RemoveSink(ISink* sink);
    virtual std::uint32_t& LayoutFlags();

    // The rectangle Position computes for a cell, without moving anything.
    CRect LayoutIn(const CRect& cell) const;
    void SetMargins(const EmbeddedMargins& margins) { m_margins = margins; }
    const EmbeddedMargins& GetMargins() const noexcept { return m_margins; }
    // The control's rectangle when it was attached (its size is kept along
    // the edges that do not follow the cell).
    const CRect& GetRecordedRect() const noexcept { return m_recorded; }
    void SetRecordedRect(const CRect& rect) noexcept { m_recorded = rect; }
    // The item and field it is attached to (null once the item let go).
    CGridItem* GetItem() const noexcept { return m_item; }
    Common::FieldId GetField() const noexcept { return m_field; }
    // The last cell the paint pass bound it to.
    const CRect& GetBoundRect() const noexcept { return m_boundRect; }

    bool IsAutoDelete() const override { return m_autoDelete; }
    void OnRowShown(bool shown) override;
    void OnDetached() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Unregister();

    QPointer<QWidget> m_control;
    CGridItem* m_item;
    Common::FieldId m_field;
    std::weak_ptr<CEmbeddedRegistry> m_registry;
    bool m_autoDelete;
    CRect m_recorded;
    std::uint32_t m_flags = 0;
    EmbeddedMargins m_margins;
    CRect m_placed;  // the last rectangle Position asked for
    CRect m_applied; // and what the control made of it
    CRect m_boundRect;
    Color m_boundBack = 0;
    std::vector<ISink*> m_sinks;
};

} // namespace Kestrum::GUI
