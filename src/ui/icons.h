// The program's pictures, drawn in code so the program needs no image files:
// the application icon, the tool-bar buttons (the desktop theme's icon wins
// where it has one), the document kinds and the event types.
#pragma once

#include <QIcon>
#include <QPixmap>

#include "ui/document.h"

namespace korvane {

enum class ToolGlyph { New, Open, Save, Cut, Copy, Paste, Delete, Print, About, ContextHelp };

QIcon ApplicationIcon();
QPixmap ApplicationPixmap(int size);
QIcon ToolIcon(ToolGlyph glyph);
QIcon DocumentIcon(DocumentKind kind);
// 0 Info, 1 Error, 2 Warning, 3 any other type.
QIcon EventTypeIcon(int index);

}  // namespace korvane
