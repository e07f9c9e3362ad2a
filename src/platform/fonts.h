#pragma once
#include <QFont>

class QApplication;

// SimSun where it exists, else a Simplified Chinese face: without the explicit
// list the font system may pick Japanese glyphs for the Chinese texts.
QFont ChineseFont(double pointSize = -1);

// Makes the Chinese face the application's default, menus and tooltips included.
void UseChineseFont(QApplication& app);
