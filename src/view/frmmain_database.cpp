// The commands of the menu "数据库".
#include <exception>
#include <string>

#include "platform/busy.h"
#include "platform/database.h"
#include "storage/drawingdb.h"
#include "view/frmmain.h"

namespace {

const char* const kAccessFilter = "Access 文件(*.mdb)|*.mdb";

// Shows the shared dialog with the Access filter; false when the user cancelled.
bool ChooseDatabase(frmmain& form, bool save, std::string& file) {
    form.CommonDialog1->Filter = QString::fromUtf8(kAccessFilter);
    const bool chosen = save ? form.CommonDialog1->ShowSave(&form) : form.CommonDialog1->ShowOpen(&form);
    if (!chosen) return false;
    file = form.CommonDialog1->FileName.toStdString();
    return true;
}

// The message names the file and the reason below the fixed text.
void Fail(frmmain& form, const char* what, const std::string& file, const std::exception& e) {
    form.ShowMessage(QString::fromUtf8(what),
                     QString::fromStdString(file) + QLatin1Char('\n') + QString::fromUtf8(e.what()));
}

void Load(frmmain& form, DbRoute route, const std::string& file) {
    LoadedDrawing drawing;
    try {
        RunWhileBusy(&form, QStringLiteral("正在读取数据库…"), [&] { drawing = LoadDrawing(route, file); });
    } catch (const DbError& e) {
        if (e.kind() != DbError::Kind::Cancelled) Fail(form, "打开失败", file, e);
        return;  // a cancelled load changes nothing, like a cancelled dialog
    } catch (const std::exception& e) {
        Fail(form, "打开失败", file, e);
        return;
    }
    form.ReplaceDrawing(std::move(drawing.points), std::move(drawing.lines));
    // The data-control load names the current database; the ADO load doesn't.
    if (route == DbRoute::Data) form.pFileName = file;
}

void Load(frmmain& form, DbRoute route) {
    std::string file;
    if (ChooseDatabase(form, false, file)) Load(form, route, file);
}

void SaveNew(frmmain& form, DbRoute route) {
    std::string file;
    if (!ChooseDatabase(form, true, file)) return;
    try {
        if (!CreateAndFillDrawing(route, file, form.pntArray, form.lineArray)) {
            form.ShowMessage(QStringLiteral("保存失败"));
            return;
        }
    } catch (const std::exception& e) {
        Fail(form, "保存失败", file, e);
        return;
    }
    form.pFileName = file;
}

}  // namespace

void frmmain::mnuOpenDatasourceFile_Click() { Load(*this, DbRoute::Data); }
void frmmain::mnuOpenDatasourceFileForAdo_Click() { Load(*this, DbRoute::Ado); }
void frmmain::OpenDatasourceFile(const QString& fileName) { Load(*this, DbRoute::Data, fileName.toStdString()); }
void frmmain::mnuSaveDatasourceFile2_Click() { SaveNew(*this, DbRoute::Data); }
void frmmain::mnuSaveDatasourceFileForAdo_Click() { SaveNew(*this, DbRoute::Ado); }

void frmmain::mnuSaveDatasourceFile_Click() {
    std::string file;
    if (!ChooseDatabase(*this, false, file)) return;
    try {
        FillDrawing(DbRoute::Data, file, pntArray, lineArray);
    } catch (const std::exception& e) {
        Fail(*this, "保存失败", file, e);
    }
}
