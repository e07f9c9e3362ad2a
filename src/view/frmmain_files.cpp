// The text drawing file commands of the main window.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <filesystem>

#include "storage/mydfile.h"
#include "view/frmmain.h"

namespace {

const char kMydFilter[] = "MYD 绘制文件(*.myd)|*.myd";

std::string LocalPath(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// What went wrong, and where: the detail of the message "打开失败".
QString LoadFailureDetail(const QString& fileName, const MydContent& content) {
    switch (content.problem) {
    case MydProblem::CannotOpen: return fileName + QStringLiteral("\n无法打开文件");
    case MydProblem::CannotRead: return fileName + QStringLiteral("\n无法读取文件");
    default: break;
    }
    QString reason;
    switch (content.problem) {
    case MydProblem::NotText: reason = QStringLiteral("不是文本文件"); break;
    case MydProblem::TooFewFields: reason = QStringLiteral("字段不足"); break;
    case MydProblem::OutOfRange: reason = QStringLiteral("数值超出范围"); break;
    default: reason = QStringLiteral("无法读取"); break;
    }
    return fileName + QStringLiteral("\n第 %1 行：").arg(content.line) + reason;
}

// A drawing database by its name, or by its first bytes: ours are SQLite
// files, and Access files name their engine at byte 4.
bool IsDatabaseFile(const QString& fileName) {
    if (QFileInfo(fileName).suffix().compare(QLatin1String("mdb"), Qt::CaseInsensitive) == 0) return true;
    std::error_code ec;  // a pipe would block the open
    if (!std::filesystem::is_regular_file(LocalPath(fileName), ec)) return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(19);
    return head.startsWith(QByteArray("SQLite format 3\0", 16)) || head.mid(4) == "Standard Jet DB" ||
           head.mid(4) == "Standard ACE DB";
}

// A busy pointer while a large drawing is read or written.
class BusyPointer {
public:
    BusyPointer() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QGuiApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

}  // namespace

// The drawing is replaced only after the whole file has been read: a cancel or
// a bad file leaves it, the counters and the view as they were.
void frmmain::mnuOpenTxt_Click() {
    CommonDialog1->Filter = QString::fromUtf8(kMydFilter);
    if (!CommonDialog1->ShowOpen(this)) return;
    OpenTxtFile(CommonDialog1->FileName);
}

void frmmain::OpenTxtFile(const QString& fileName) {
    MydContent content;
    {
        BusyPointer busy;
        content = LoadMydFile(LocalPath(fileName));
        if (content.ok()) ReplaceDrawing(std::move(content.points), std::move(content.lines));
    }
    if (!content.ok()) ShowMessage(QStringLiteral("打开失败"), LoadFailureDetail(fileName, content));
}

void frmmain::mnuSaveTxt_Click() {
    CommonDialog1->Filter = QString::fromUtf8(kMydFilter);
    if (!CommonDialog1->ShowSave(this)) return;
    bool saved = false;
    {
        BusyPointer busy;
        saved = SaveMydFile(LocalPath(CommonDialog1->FileName), pntArray, lineArray);
    }
    if (!saved) ShowMessage(QStringLiteral("保存失败"));
}

// As if the file had been chosen in the shared dialog of the command.
void frmmain::OpenFromCommandLine(const QString& fileName) {
    const QString path = QFileInfo(fileName).absoluteFilePath();
    CommonDialog1->FileName = path;
    if (IsDatabaseFile(path)) OpenDatasourceFile(path);
    else OpenTxtFile(path);
}
