// CTypeAheadPane: a status-bar pane showing what has been typed to find a
// row by its first letters, until the search's time-out ends it.
#pragma once

#include <QLabel>

namespace Kestrum::GUI {
class CGrid;
}

namespace Velmora {

class CTypeAheadPane : public QLabel {
public:
    explicit CTypeAheadPane(Kestrum::GUI::CGrid& grid, QWidget* parent = nullptr);
    // Reads the grid's typed text again (after each key, and on a short
    // timer so it goes once the time-out has passed).
    void Update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Kestrum::GUI::CGrid& m_grid;
};

} // namespace Velmora
