#include "gui/clipboard/TransferMime.h"

namespace Kestrum::GUI {

QString MimeTypeOf(std::uint32_t format)
{
    if (format == kClipboardText)
        return QStringLiteral("text/plain");
    const std::string name = ClipboardFormatName(format);
    if (name.empty())
        return {};
    const QString text = QString::fromStdString(name);
    if (text.contains(QLatin1Char('/')))
        return text;
    return QStringLiteral("application/x-") + text.toLower();
}

bool GetFormatBytes(const QMimeData& data, std::uint32_t format, std::vector<std::uint8_t>& bytes)
{
    QByteArray content;
    if (format == kClipboardText) {
        if (!data.hasText())
            return false;
        content = data.text().toUtf8();
        content.append('\0');
    } else {
        const QString type = MimeTypeOf(format);
        if (type.isEmpty() || !data.hasFormat(type))
            return false;
        content = data.data(type);
    }
    bytes.assign(content.begin(), content.end());
    return true;
}

void PutFormatBytes(QMimeData& data, std::uint32_t format, const std::vector<std::uint8_t>& bytes)
{
    if (format == kClipboardText) {
        std::size_t length = bytes.size();
        if (length > 0 && bytes[length - 1] == 0)
            --length;
        data.setText(QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(length)));
        return;
    }
    const QString type = MimeTypeOf(format);
    if (!type.isEmpty())
        data.setData(type, QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
}

std::unique_ptr<QMimeData> MakeTransferData(const std::vector<IClipboardFormat*>& formats, const std::vector<CGridItem*>& rows,
                                            CHeader* header, CGrid* grid, int areaMask, int operation)
{
    std::vector<IClipboardFormat*> ready;
    for (IClipboardFormat* format : formats) {
        if (!format)
            continue;
        format->Clear();
        format->Build(rows, header);
        if (format->GetSize() > 0)
            ready.push_back(format);
    }
    std::unique_ptr<QMimeData> data;
    for (IClipboardFormat* format : ready) {
        std::vector<std::uint8_t> bytes(format->GetSize());
        if (!format->Write(bytes.data(), bytes.size(), grid, areaMask, operation))
            continue;
        if (!data)
            data = std::make_unique<QMimeData>();
        PutFormatBytes(*data, format->GetFormatId(), bytes);
    }
    for (IClipboardFormat* format : formats)
        if (format)
            format->Clear();
    return data;
}

bool ReadTransferData(const std::vector<IClipboardFormat*>& formats, const QMimeData& data, IObjectImporter* importer,
                      TransferRecord& record)
{
    for (IClipboardFormat* format : formats) {
        std::vector<std::uint8_t> bytes;
        if (!format || !GetFormatBytes(data, format->GetFormatId(), bytes))
            continue;
        TransferRecord candidate;
        if (format->Read(bytes.data(), bytes.size(), importer, candidate)) {
            record = std::move(candidate);
            return true;
        }
        // A record that failed is discarded with what a format made for it.
    }
    return false;
}

} // namespace Kestrum::GUI
