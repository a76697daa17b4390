// The date reflectors: a 64-bit file time (CInt64DateReflector) or a long of
// seconds since 1970 (CLongDateTimeReflector) with a date format is edited
// with the date and time editor, configured from the format's flag word (its
// low seven bits for the long), placed over the cell and handed the mouse
// press so a click opens it at once. Closing it writes the editor's value
// only when it differs from the cell's.
//
// The editor is a CEmbeddedDateTimeCtrl unless a factory set with
// SetDateTimeEditorFactory makes another IDateTimeEditor. While it is open it
// keeps Up, Down, Left and Right (without Ctrl or Shift) for its segments.
#pragma once

#include "gui/platform/Export.h"

#include <QPoint>
#include <functional>

#include "gui/edit/EnumReflector.h"

namespace Kestrum::GUI {

// What the date reflectors need of the date and time editor. The editor
// belongs to its window (it is the window, or goes with it): the reflector
// only ever deletes the window.
class KESTRUM_GUI_EXPORT IDateTimeEditor {
public:
    enum ValueKind : int { SecondsSince1970 = 1, FileTime = 2 };
    // The control's window, a child of the grid's viewport.
    virtual QWidget* Window() = 0;
    virtual bool SetValue(int kind, std::int64_t value) = 0;
    virtual bool GetValue(int kind, std::int64_t& value) = 0;
    // The press that started the edit, in the control's coordinates.
    virtual void PassMousePress(QPoint point) = 0;

protected:
    ~IDateTimeEditor() = default;
};

// Makes an editor as a child of `parent` for the format flag word `flags`;
// null when it cannot (never an editor without a window). A null factory
// brings back the library's own editor.
using DateTimeEditorFactory = std::function<IDateTimeEditor*(QWidget* parent, std::int32_t flags)>;
KESTRUM_GUI_EXPORT void SetDateTimeEditorFactory(DateTimeEditorFactory factory);

class KESTRUM_GUI_EXPORT CDateReflector : public CDropDownReflector {
public:
    bool CreateControl(const EditCell& cell, Common::CFormat* format) override;
    bool FilterInput(const EditCell& cell, int code) override;
    bool ApplyValue(const EditCell& cell, std::uint32_t flags) override;
    bool CloseControl(CGrid* grid, std::uint32_t flags, CColumn* column) override;

protected:
    virtual int Kind() const = 0;
    // The editor's flags for the format.
    virtual std::int32_t EditorFlags(const Common::CFormat* format) const = 0;

private:
    std::map<CGrid*, IDateTimeEditor*> m_editors; // valid while ControlOf(grid) is its window
};

class KESTRUM_GUI_EXPORT CInt64DateReflector final : public CDateReflector {
public:
    bool IsApplicable(const Common::CFormat* format) const override;

protected:
    int Kind() const override { return IDateTimeEditor::FileTime; }
    std::int32_t EditorFlags(const Common::CFormat* format) const override;
};

class KESTRUM_GUI_EXPORT CLongDateTimeReflector final : public CDateReflector {
public:
    bool IsApplicable(const Common::CFormat* format) const override;

protected:
    int Kind() const override { return IDateTimeEditor::SecondsSince1970; }
    std::int32_t EditorFlags(const Common::CFormat* format) const override;
};

} // namespace Kestrum::GUI
