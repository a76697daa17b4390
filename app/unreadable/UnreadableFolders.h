// CUnreadableFolders: a window listing the folders the walk could not read,
// each with its reason, in a grid of its own. Enter or a double click on a
// row focuses that folder's row in the tree. Its rows point into the tree:
// they go before a refresh deletes folders and are built again when the
// walk ends or the window is opened.
#pragma once

#include <QWidget>
#include <deque>
#include <memory>

#include "gui/grid/GridTypes.h"

namespace Kestrum::GUI {
class CGrid;
}
namespace Kestrum::Common {
class CDynamicObject;
}

namespace Velmora {

class CFolderData;
class CVelmoraDoc;
class CVelmoraView;

class CUnreadableFolders : public QWidget {
public:
    CUnreadableFolders(CVelmoraView& view, CVelmoraDoc& document, QWidget* parent);
    ~CUnreadableFolders() override;

    Kestrum::GUI::CGrid& Grid() noexcept { return *m_grid; }
    // Shows and raises the window with a fresh list.
    void Open();
    // Lists the unreadable folders of every root (only while shown).
    void Refresh();
    // Before the tree changes under the rows: they go until the next Refresh.
    void Forget();
    // Focuses the folder of the list's row in the tree.
    bool Reveal(Kestrum::GUI::HITEM item);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        std::unique_ptr<Kestrum::Common::CDynamicObject> object;
        CFolderData* folder = nullptr;
    };
    CVelmoraView& m_view;
    CVelmoraDoc& m_document;
    Kestrum::GUI::CGrid* m_grid = nullptr;
    std::deque<Row> m_rows;
};

} // namespace Velmora
