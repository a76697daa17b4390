// CFilterBar: the filter bar over Velmora's grid (Ctrl+F shows it, Esc closes
// it). A name pattern, a minimum size and files / folders / both become the
// grid's row match: the matching rows show with their folders, live as the
// walk finds more; closing the bar puts the rows back. It also keeps a
// status-bar pane, "N of M shown".
#pragma once

#include <QPointer>
#include <QToolBar>
#include <functional>

#include "app/filter/FileFilter.h"
#include "gui/grid/Grid.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace Velmora {

class CFilterBar : public QToolBar, private Kestrum::GUI::IRowMatch {
public:
    // `total` counts the files and folders found (the M of the pane).
    CFilterBar(Kestrum::GUI::CGrid& grid, std::function<std::int64_t()> total, QWidget* parent = nullptr);
    ~CFilterBar() override;

    // "&Filter..." (Ctrl+F): shows the bar and puts the keyboard in its pattern.
    QAction* ShowAction() const { return m_show; }
    // The status-bar pane (hidden while no filter applies).
    QLabel* CountPane() const { return m_count; }
    // Shows the bar, applies what it holds and selects the pattern.
    void Open();
    // Hides the bar, clears the grid's match and gives the grid the keyboard.
    void Close();
    // Sets the pattern (a glob) and applies it, opening the bar.
    void SetPattern(const QString& pattern);
    // Whether a filter narrows the rows now.
    bool IsApplied() const { return m_applied; }
    void UpdateCount();

    QLineEdit* PatternEdit() const { return m_pattern; }
    QLineEdit* MinSizeEdit() const { return m_minSize; }
    QCheckBox* RegexBox() const { return m_regex; }
    QCheckBox* CaseBox() const { return m_case; }
    QComboBox* KindBox() const { return m_kind; }

private:
    bool Matches(Kestrum::GUI::CGridItem* item, Kestrum::Common::CDataObject* object) override;
    void Apply();

    Kestrum::GUI::CGrid& m_grid;
    QPointer<Kestrum::GUI::CGrid> m_gridAlive;
    std::function<std::int64_t()> m_total;
    CFileFilter m_filter;
    bool m_applied = false;
    QAction* m_show;
    QLineEdit* m_pattern;
    QCheckBox* m_regex;
    QCheckBox* m_case;
    QLineEdit* m_minSize;
    QComboBox* m_kind;
    QLabel* m_count;
};

} // namespace Velmora
