#pragma once
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <vector>

#include "model/records.h"
#include "platform/twips.h"

// Passive windows that show the values of a picked point or line. They have
// no commands; whatever is typed into them is never read back.
class InfoWindow : public QWidget {
    Q_OBJECT
public:
    QLineEdit* Text1(int index) const { return text1_.at(static_cast<size_t>(index)); }
    QLabel* Label1(int index) const { return label1_.at(static_cast<size_t>(index)); }

    // Shows the window; the first time beside its owner, later where it was.
    void ShowBesideOwner();

protected:
    struct Row {
        int labelIndex;
        const char* caption;
        int labelLeft, labelTop, labelWidth, labelHeight;  // twips
        int boxLeft, boxTop, boxWidth, boxHeight;          // twips; the box index is the row's
    };
    InfoWindow(QWidget* owner, const char* name, const char* caption, int clientWidth, int clientHeight,
               const std::vector<Row>& rows);

private:
    bool placed_ = false;
    std::vector<QLineEdit*> text1_;
    std::vector<QLabel*> label1_;
};

// Where a window of `size` goes beside its owner's frame `owner`: to its right
// when it fits on the screen, else to its left, else on the side with more
// room; level with the owner's top, and always on the screen.
QPoint PlaceBeside(const QRect& owner, QSize size, const QRect& screen);

class frmPntInfo : public InfoWindow {
    Q_OBJECT
public:
    explicit frmPntInfo(QWidget* owner);
    void Fill(const CPoint& point);
};

class frmLineInfo : public InfoWindow {
    Q_OBJECT
public:
    explicit frmLineInfo(QWidget* owner);
    void Fill(const CLine& line);
    QLabel* Label2 = nullptr;  // colour swatch
};
