// Cut and copied files between the core's clipboard forms and the system
// clipboard's MIME data.
#pragma once

#include "actions/clipboard_files.h"

class QClipboard;
class QMimeData;

namespace korvane {

// New MIME data holding the four forms (the caller or the clipboard owns it).
QMimeData* MimeDataOfFiles(const ClipboardFiles& files);
// The files the MIME data holds; false when it holds none.
bool FilesOfMimeData(const QMimeData* data, ClipboardFiles& files);
// Puts the files on the clipboard, replacing what it held.
void PutFilesOnClipboard(QClipboard& clipboard, const ClipboardFiles& files);
bool ReadFilesFromClipboard(const QClipboard& clipboard, ClipboardFiles& files);

}  // namespace korvane
