#include "gui/platform/ImageList.h"

#include <QBitmap>
#include <QImage>

#include "gui/platform/DeviceContext.h"

namespace Kestrum::GUI {

bool CImageList::LoadStrip(const QPixmap& strip, bool masked, Color maskColor)
{
    m_images.clear();
    if (strip.isNull() || strip.height() == 0 || strip.width() < strip.height())
        return false;
    QPixmap source = strip;
    if (masked)
        source.setMask(strip.createMaskFromColor(ToQColor(maskColor), Qt::MaskInColor));
    const int side = strip.height();
    for (int x = 0; x + side <= strip.width(); x += side)
        m_images.push_back(source.copy(x, 0, side, side));
    return true;
}

bool CImageList::LoadStrip(const QString& file, bool masked, Color maskColor)
{
    return LoadStrip(QPixmap(file), masked, maskColor);
}

QPixmap CImageList::GetImage(int index) const
{
    if (index < 0 || index >= GetCount())
        return {};
    return m_images[static_cast<std::size_t>(index)];
}

} // namespace Kestrum::GUI
