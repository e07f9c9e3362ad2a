#include "query/infowindows.h"

#include <QScreen>
#include <algorithm>

#include "model/numtext.h"
#include "platform/fonts.h"

QPoint PlaceBeside(const QRect& owner, QSize size, const QRect& screen) {
    const int roomRight = screen.right() - owner.right();
    const int roomLeft = owner.left() - screen.left();
    int x;
    if (roomRight >= size.width()) x = owner.right() + 1;
    else if (roomLeft >= size.width()) x = owner.left() - size.width();
    else if (roomRight >= roomLeft) x = screen.right() + 1 - size.width();
    else x = screen.left();
    const int y = std::clamp(owner.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    return {x, y};
}

InfoWindow::InfoWindow(QWidget* owner, const char* name, const char* caption, int clientWidth, int clientHeight,
                       const std::vector<Row>& rows)
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(QString::fromUtf8(caption));
    setAttribute(Qt::WA_DeleteOnClose);  // closing with the close box destroys it
    setFont(ChineseFont(18));
    const QRect client = TwipsRect(0, 0, clientWidth, clientHeight);
    setFixedSize(client.size());

    text1_.resize(rows.size());
    label1_.resize(rows.size());
    for (size_t box = 0; box < rows.size(); ++box) {
        const Row& r = rows[box];
        auto* label = new QLabel(QString::fromUtf8(r.caption), this);
        label->setObjectName(QStringLiteral("Label1(%1)").arg(r.labelIndex));
        label->setGeometry(TwipsRect(r.labelLeft, r.labelTop, r.labelWidth, r.labelHeight));
        label1_[static_cast<size_t>(r.labelIndex)] = label;
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Text1(%1)").arg(box));
        edit->setGeometry(TwipsRect(r.boxLeft, r.boxTop, r.boxWidth, r.boxHeight));
        text1_[box] = edit;
    }
    for (size_t i = 1; i < text1_.size(); ++i) setTabOrder(text1_[i - 1], text1_[i]);
}

void InfoWindow::ShowBesideOwner() {
    // Without a window manager a new window would open at the screen's corner,
    // over the main window's menus.
    if (!placed_ && parentWidget()) {
        const QWidget* main = parentWidget()->window();
        const QRect owner = main->frameGeometry();
        // Its frame is not known before it is shown: take the main window's.
        const QSize framed = size() + owner.size() - main->size();
        const QScreen* screen = main->screen();
        move(PlaceBeside(owner, framed, screen ? screen->availableGeometry() : owner));
        placed_ = true;
    }
    show();
}

frmPntInfo::frmPntInfo(QWidget* owner)
    : InfoWindow(owner, "frmPntInfo", "点信息", 4320, 3990,
                 {{0, "点号：", 360, 120, 1215, 615, 1800, 120, 2415, 615},
                  {1, "X：", 600, 1080, 735, 615, 1800, 1080, 2415, 615},
                  {2, "Y：", 600, 2040, 855, 615, 1800, 2040, 2415, 615},
                  {3, "颜色：", 480, 3240, 1215, 615, 1800, 3240, 2415, 615}}) {}

void frmPntInfo::Fill(const CPoint& point) {
    Text1(0)->setText(QString::fromStdString(N(point.pntNO)));
    Text1(1)->setText(QString::fromStdString(N(point.X)));
    Text1(2)->setText(QString::fromStdString(N(point.Y)));
    // Points have no colour of their own: the box shows the highlight colour.
    Text1(3)->setText(QString::number(Rgb(0, 0, 244)));
}

frmLineInfo::frmLineInfo(QWidget* owner)
    : InfoWindow(owner, "frmLineInfo", "线信息", 4650, 6210,
                 {{0, "点号：", 120, 240, 1455, 615, 1800, 240, 2415, 615},
                  {1, "X1：", 240, 1200, 1215, 615, 1800, 1200, 2415, 615},
                  {2, "Y1：", 240, 2160, 1335, 615, 1800, 2160, 2415, 615},
                  {4, "X2：", 240, 3360, 1455, 615, 1920, 3240, 2415, 615},
                  {5, "Y2：", 240, 4320, 1455, 615, 1920, 4320, 2415, 615},
                  {3, "颜色：", 240, 5280, 1455, 615, 1920, 5280, 1575, 615}}) {
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(TwipsRect(3600, 5280, 735, 615));
    Label2->setAutoFillBackground(true);
}

void frmLineInfo::Fill(const CLine& line) {
    Text1(0)->setText(QString::fromStdString(N(line.ID)));
    Text1(1)->setText(QString::fromStdString(N(line.sp.X)));
    Text1(2)->setText(QString::fromStdString(N(line.sp.Y)));
    Text1(3)->setText(QString::fromStdString(N(line.ep.X)));
    Text1(4)->setText(QString::fromStdString(N(line.ep.Y)));
    Text1(5)->setText(QString::fromStdString(N(line.color)));
    const uint32_t rgb = ColorToRgb(line.color);
    QPalette palette = Label2->palette();
    palette.setColor(QPalette::Window, QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF));
    Label2->setPalette(palette);
}
