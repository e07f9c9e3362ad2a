#pragma once
#include <QColor>
#include <QPoint>
#include <QString>
#include <ostream>

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QColor& c, std::ostream* os) { *os << "rgb(" << c.red() << ", " << c.green() << ", " << c.blue() << ")"; }
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << "(" << p.x() << ", " << p.y() << ")"; }
