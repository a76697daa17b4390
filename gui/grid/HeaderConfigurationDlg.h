// CHeaderConfigurationDlg: the modal dialog that reorders a header's
// columns, shows and hides them and sets the number of fixed columns.
//
// Its list is a second CGrid: one row per column (a dynamic object holding
// the visible flag, the caption and the field id), the flag edited in place
// by the check-box reflector. Rows of fixed columns are drawn grey and
// italic. Top, Up, Down and Bottom move the selected rows of the list only;
// OK hands the list's order and visibility to the header (moves the header
// refuses are skipped), Cancel drops them. The fixed-column spin is applied
// to the header at once, so it outlives a Cancel.
//
// The layout is built in code from a table in dialog units, converted
// through the dialog font's average character width and height.
//
// The header is never owned. GUI thread only.
//
// It lives beside the grid widget rather than with the header: it is built
// on a grid and on in-place editing, both of which sit above the header.
#pragma once

#include "gui/platform/Export.h"

#include <QDialog>
#include <QRect>
#include <memory>

namespace Kestrum::GUI {

class CGrid;
class CHeader;

class KESTRUM_GUI_EXPORT CHeaderConfigurationDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids.
    enum : int {
        IdOk = 1000,
        IdCancel = 1001,
        IdTop = 1002,
        IdUp = 1003,
        IdDown = 1004,
        IdBottom = 1005,
        IdFixedLabel = 1006,
        IdList = 1007,
        IdSpin = 1008,
        IdFixedCount = 1009,
    };
    // Row object fields.
    enum : int { FieldVisible = 0, FieldCaption = 1, FieldId = 2 };

    // `header` may be null: the list stays empty and OK changes nothing.
    explicit CHeaderConfigurationDlg(CHeader* header, QWidget* parent = nullptr);
    ~CHeaderConfigurationDlg() override;

    // Runs the dialog modally; QDialog::Accepted after OK.
    int DoModal();

    // The control with the id (null for an unknown id).
    QWidget* GetControl(int id) const;
    CGrid* GetListGrid() const;
    // The fixed-column count the dialog shows.
    int GetFixedColumnCount() const { return m_fixedCount; }

    // A rectangle in dialog units, in pixels for the font.
    static QRect DialogUnitsToPixels(const QFont& font, const QRect& units);

    // The up-down control's change notice: 0 or below raises the count, above
    // 0 lowers it.
    void OnSpin(int delta);

public slots:
    void accept() override;

private:
    void OnTop();
    void OnUp();
    void OnDown();
    void OnBottom();

    class Impl;
    std::unique_ptr<Impl> m_impl;
    int m_fixedCount = 0;
};

} // namespace Kestrum::GUI
