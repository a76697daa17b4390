// CGridTooltipHost: the grid's side of ITooltipHost, what the tooltips may
// ask of it (private; a member of CGridImpl).
#pragma once

#include "gui/tooltip/TooltipHost.h"

namespace Kestrum::GUI {

class CGridImpl;

class CGridTooltipHost final : public ITooltipHost {
public:
    explicit CGridTooltipHost(CGridImpl& grid) : m_grid(grid) {}
    CGrid* Owner() const override;
    QWidget* Viewport() const override;
    const QFont& Font() const override;
    std::uint32_t PaintFlags() const override;
    const TooltipSettings& SettingsOf(int kind) const override;
    bool CellAt(CPoint point, TooltipHostCell& cell) override;
    bool CouldEditCell(CellDrawContext& cell, PaintState& state) override;
    void DispatchHover(CPoint point) override;
    void StartAutoHide(int milliseconds) override;
    void StopAutoHide() override;

private:
    CGridImpl& m_grid;
};

} // namespace Kestrum::GUI
