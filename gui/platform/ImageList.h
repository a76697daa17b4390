// CImageList: equal-sized square images cut from one horizontal strip,
// with an optional transparent key colour (magenta for our strips).
#pragma once

#include "gui/platform/Export.h"

#include <QPixmap>
#include <QString>
#include <vector>

#include "gui/platform/Geometry.h"

namespace Kestrum::GUI {

class KESTRUM_GUI_EXPORT CImageList {
public:
    // Replaces the images by the squares of a strip as wide as it is high
    // each; false (and the list is empty) when the strip cannot be read, has
    // no height or is narrower than it is high.
    bool LoadStrip(const QPixmap& strip, bool masked, Color maskColor);
    bool LoadStrip(const QString& file, bool masked, Color maskColor);

    int GetCount() const noexcept { return static_cast<int>(m_images.size()); }
    QSize GetImageSize() const noexcept { return m_images.empty() ? QSize() : m_images.front().size(); }
    // The image, or a null pixmap for an index out of range.
    QPixmap GetImage(int index) const;
    void Add(const QPixmap& image) { m_images.push_back(image); }
    void Clear() { m_images.clear(); }

private:
    std::vector<QPixmap> m_images;
};

} // namespace Kestrum::GUI
