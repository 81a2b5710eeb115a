#include "ui/actions/clipboard_bridge.h"

#include <QClipboard>
#include <QMimeData>

namespace korvane {

QMimeData* MimeDataOfFiles(const ClipboardFiles& files) {
    auto* data = new QMimeData;
    for (const auto& [mime, bytes] : EncodeClipboardFiles(files)) {
        data->setData(QString::fromStdString(mime),
                      QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    return data;
}

bool FilesOfMimeData(const QMimeData* data, ClipboardFiles& files) {
    if (data == nullptr) {
        files = ClipboardFiles{};
        return false;
    }
    return DecodeClipboardFiles(
        [data](std::string_view mime) -> std::optional<std::string> {
            const QString type = QString::fromUtf8(mime.data(), static_cast<qsizetype>(mime.size()));
            if (!data->hasFormat(type)) {
                return std::nullopt;
            }
            const QByteArray bytes = data->data(type);
            return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        },
        files);
}

void PutFilesOnClipboard(QClipboard& clipboard, const ClipboardFiles& files) {
    clipboard.setMimeData(MimeDataOfFiles(files));
}

bool ReadFilesFromClipboard(const QClipboard& clipboard, ClipboardFiles& files) {
    return FilesOfMimeData(clipboard.mimeData(), files);
}

}  // namespace korvane
