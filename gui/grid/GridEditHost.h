// CGridEditHost: the grid's side of IEditHost, what in-place editing may ask
// of it (private; a member of CGridImpl).
#pragma once

#include "gui/edit/EditHost.h"

namespace Kestrum::GUI {

class CGridImpl;

class CGridEditHost final : public IEditHost {
public:
    explicit CGridEditHost(CGridImpl& grid) : m_grid(grid) {}
    CGrid* Owner() const override;
    QWidget* Viewport() const override;
    CHeader* Header() const override;
    const EditSettings& Settings() const override;
    CRect Client() const override;
    int HeaderHeight() const override;
    CGridItem* ItemAt(CPoint point) override;
    CRect CellRect(CGridItem* item, Common::FieldId field) override;
    int RowIndexOf(CGridItem* item) override;
    std::uint64_t RemovalCount() const override;
    bool IsAlive(CGridItem* item) override;
    void BringIntoView(CGridItem* item) override;
    void RepaintCell(CGridItem* item, Common::FieldId field) override;
    void UpdateViewport() override;
    void Notify(const GridEditNotification& notification) override;

private:
    CGridImpl& m_grid;
};

} // namespace Kestrum::GUI
