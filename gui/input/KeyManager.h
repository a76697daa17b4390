// IKeyManager: what a grid does with a key. The grid hands every key-down
// to its key manager (its own, else the shared default in GridDefaults)
// before any window shortcut sees it; a key the manager answers true for is
// consumed. Keys are the design's virtual-key numbers (gui/platform/KeyCodes.h).
//
// CKeyManager, the default, maps keys to the movement operations, so an
// application can replace any part of it, or all of it. Its rules run on the
// grid it is handed: directly while the grid's own input calls it on the
// grid's thread, else through the public CGrid operations (KeyGrid.h). All
// of this runs on the grid's thread.
//
// Ownership: SetKeyManager returns the manager it replaces, which belongs to
// the caller again; the grid deletes its manager when the grid is destroyed
// only if IsAutoDelete answers true. The shared default is never deleted.
#pragma once

#include "gui/platform/Export.h"

#include <cstdint>

#include "gui/grid/AutoDelete.h"

namespace Kestrum::GUI {

class CGrid;

class KESTRUM_GUI_EXPORT IKeyManager : public virtual IAutoDelete {
public:
    // 0, 1: key messages; true consumes the key.
    virtual bool OnKeyDown(CGrid* grid, int virtualKey, int repeat, std::uint32_t flags) = 0;
    virtual bool OnKeyUp(CGrid* grid, int virtualKey, int repeat, std::uint32_t flags) = 0;
    // 2-9: movement, with the Shift (extend) and Ctrl (focus only) states.
    virtual void OnUp(CGrid* grid, bool shift, bool ctrl) = 0;
    virtual void OnDown(CGrid* grid, bool shift, bool ctrl) = 0;
    virtual void OnPageUp(CGrid* grid, bool shift, bool ctrl) = 0;
    virtual void OnPageDown(CGrid* grid, bool shift, bool ctrl) = 0;
    virtual void OnHome(CGrid* grid, bool shift, bool ctrl) = 0;
    virtual void OnEnd(CGrid* grid, bool shift, bool ctrl) = 0;
    virtual void OnLeft(CGrid* grid, bool shift, bool ctrl) = 0;
    virtual void OnRight(CGrid* grid, bool shift, bool ctrl) = 0;
    // 10-15.
    virtual void OnEscape(CGrid* grid) = 0;
    virtual void OnEnter(CGrid* grid) = 0;
    virtual void OnSelectAll(CGrid* grid) = 0;
    virtual void OnCopy(CGrid* grid) = 0;
    virtual void OnCut(CGrid* grid) = 0;
    virtual void OnPaste(CGrid* grid) = 0;
};

class KESTRUM_GUI_EXPORT CKeyManager : public IKeyManager {
public:
    explicit CKeyManager(bool autoDelete) : m_autoDelete(autoDelete) {}
    bool IsAutoDelete() const override { return m_autoDelete; }

    // Enter, Esc, Space (Shift+Space: page up), the page, Home/End and arrow
    // keys with the Shift and Ctrl states of the moment, Ctrl+A/C/V/X without
    // Shift. Every other key answers false.
    bool OnKeyDown(CGrid* grid, int virtualKey, int repeat, std::uint32_t flags) override;
    bool OnKeyUp(CGrid* grid, int virtualKey, int repeat, std::uint32_t flags) override;
    void OnUp(CGrid* grid, bool shift, bool ctrl) override;
    void OnDown(CGrid* grid, bool shift, bool ctrl) override;
    void OnPageUp(CGrid* grid, bool shift, bool ctrl) override;
    void OnPageDown(CGrid* grid, bool shift, bool ctrl) override;
    void OnHome(CGrid* grid, bool shift, bool ctrl) override;
    void OnEnd(CGrid* grid, bool shift, bool ctrl) override;
    // Left and Right have no selection rules: they select the row they focus.
    void OnLeft(CGrid* grid, bool shift, bool ctrl) override;
    void OnRight(CGrid* grid, bool shift, bool ctrl) override;
    void OnEscape(CGrid* grid) override;
    void OnEnter(CGrid* grid) override;
    void OnSelectAll(CGrid* grid) override;
    // The grid's Copy, Cut and Paste (the key is consumed whatever they answer).
    void OnCopy(CGrid* grid) override;
    void OnCut(CGrid* grid) override;
    void OnPaste(CGrid* grid) override;

private:
    bool m_autoDelete;
};

} // namespace Kestrum::GUI
