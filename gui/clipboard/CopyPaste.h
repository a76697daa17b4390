// The copy-and-paste handler of a grid: ICopyPaste, its default CCopyPaste,
// and the requests they work on.
//
// Copy (Ctrl+C) puts the selected rows of the areas the transfer policy
// allows on the clipboard in each of the handler's formats, the rows each
// followed by the descendants the policy's flags 2 and 3 add; cut (Ctrl+X)
// does the same without descendants (a moved row takes its subtree along).
// Paste (Ctrl+V) reads the clipboard through the formats in order and
// inserts what the first one understood: a copy adds new items for the same
// objects, a cut moves the items themselves, never under themselves or
// their own descendants.
//
// Ownership: a handler owns its formats and deletes them when it goes;
// handed to a grid (CGrid::SetCopyPaste) it is deleted with the grid when
// IsAutoDelete answers true. Objects an importer built for a pasted record
// belong to the handler once inserted (deleting it removes their rows).
//
// GUI thread only: the grid carries foreign calls over.
#pragma once

#include "gui/platform/Export.h"

#include <memory>
#include <vector>

#include "gui/clipboard/ClipboardFormat.h"
#include "gui/grid/AutoDelete.h"

namespace Kestrum::GUI {

class CGrid;
class CHeader;
struct TransferPolicy;

// Built for each copy or cut.
struct KESTRUM_GUI_EXPORT CopyRequest {
    CGrid* grid = nullptr;
    CHeader* header = nullptr;
    int areaMask = 0; // bit 0 fixed, bit 1 scrollable
    std::vector<CGridItem*> rows;
    std::vector<IClipboardFormat*> formats; // the handler's, in its order
    int operation = TransferCopy;
};

// Where pasted rows go: a parent (a root handle or an item) and a position
// (a reserved handle or an item) as Attach takes them.
struct KESTRUM_GUI_EXPORT PasteRequest {
    CGrid* grid = nullptr;
    HITEM parent = 0;
    HITEM position = 0;
};

class KESTRUM_GUI_EXPORT ICopyPaste : public virtual IAutoDelete {
public:
    virtual bool Copy(CGrid* grid) = 0;
    virtual bool Cut(CGrid* grid) = 0;
    virtual bool Paste(const PasteRequest& request) = 0;
    // Appends a format and takes it over (null is ignored).
    virtual void AddFormat(IClipboardFormat* format) = 0;
    // The formats in order, still the handler's.
    virtual const std::vector<IClipboardFormat*>& GetFormats() const = 0;
    virtual bool PutOnClipboard(const CopyRequest& request) = 0;
    // Inserts the rows of a record (of this process) as the request says.
    virtual bool Insert(const PasteRequest& request, TransferRecord& record, int sourceOperation) = 0;
};

class KESTRUM_GUI_EXPORT CCopyPaste : public ICopyPaste, public IObjectImporter {
public:
    explicit CCopyPaste(bool autoDelete);
    ~CCopyPaste() override;
    CCopyPaste(const CCopyPaste&) = delete;
    CCopyPaste& operator=(const CCopyPaste&) = delete;

    bool IsAutoDelete() const override { return m_autoDelete; }

    bool Copy(CGrid* grid) override;
    bool Cut(CGrid* grid) override;
    bool Paste(const PasteRequest& request) override;
    void AddFormat(IClipboardFormat* format) override;
    const std::vector<IClipboardFormat*>& GetFormats() const override { return m_formats; }
    bool PutOnClipboard(const CopyRequest& request) override;
    bool Insert(const PasteRequest& request, TransferRecord& record, int sourceOperation) override;

    Common::CDynamicObject* CreateObject(const std::string& className) override;
    void CopyFormats(std::vector<IClipboardFormat*>& formats) override;
    void ReleaseFormats(bool destroy) override;

private:
    bool m_autoDelete;
    std::vector<IClipboardFormat*> m_formats;
    std::vector<std::unique_ptr<Common::CDataObject>> m_imported;
};

// --- shared by copy, cut and drags ------------------------------------------------

// The rows a copy takes: the selected rows of the masked areas in row order,
// each followed (depth first, in child order) by its unselected descendants
// when `unselected` or `all` is set, and by its selected descendants that
// have no row when `all` is set (a selected descendant with a row is a
// selected row itself and is taken where it stands). No row is taken twice
// and no row is lost.
KESTRUM_GUI_EXPORT void CollectCopyRows(CGrid& grid, int areaMask, bool unselected, bool all, std::vector<CGridItem*>& rows);

// Inserts a record's rows into the request's grid (a copy as new items for
// the same objects, a cut by detaching and attaching the items); returns
// the items attached, in order. Every row is checked again before use.
KESTRUM_GUI_EXPORT std::vector<HITEM> InsertTransferRows(const PasteRequest& request, const TransferRecord& record, int operation);

// Focus and scrolling after a paste, by the policy's modes.
KESTRUM_GUI_EXPORT void ApplyPasteFocus(CGrid& grid, HITEM first, HITEM last, int focusMode, int scrollMode);

} // namespace Kestrum::GUI
