#include "platform/fonts.h"

#include <QApplication>
#include <QStringList>

QFont ChineseFont(double pointSize) {
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Serif CJK SC")});
    if (pointSize > 0) font.setPointSizeF(pointSize);
    return font;
}

void UseChineseFont(QApplication& app) { app.setFont(ChineseFont()); }
