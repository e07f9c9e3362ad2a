#pragma once
#include <QIcon>

// Icons of the toolbar, drawn in code so the program carries no image files.
// `index` is the toolbar position (1..13, 11 being the separator).
QIcon ToolIcon(int index);
