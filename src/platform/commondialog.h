#pragma once
#include <QString>
#include <cstdint>
#include <deque>
#include <optional>

class QWidget;

// The main window's one file and colour dialog. It keeps its filter, its file
// name and its colour from one use to the next. Each Show* returns false when
// the user cancelled; the held values then stay as they were.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;

    QString Filter;    // "description|pattern"
    QString FileName;  // full path of the last choice, empty at start
    uint32_t Color = 0;  // packed RGB of the last colour choice

    virtual bool ShowOpen(QWidget* owner) = 0;
    virtual bool ShowSave(QWidget* owner) = 0;
    virtual bool ShowColor(QWidget* owner) = 0;

    // "MYD 绘制文件(*.myd)|*.myd" as a Qt name filter.
    static QString QtNameFilter(const QString& filter);
};

// The real dialogs: Qt's own widgets, so that they look the same everywhere
// and a test can answer them like a user.
class QtCommonDialog : public CommonDialog {
public:
    bool ShowOpen(QWidget* owner) override;
    bool ShowSave(QWidget* owner) override;
    bool ShowColor(QWidget* owner) override;

private:
    bool ShowFile(QWidget* owner, bool save);
};

// Answers given in advance, for tests: each Show* takes the next answer;
// nullopt (or an empty queue) means the user cancelled.
class ScriptedCommonDialog : public CommonDialog {
public:
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<std::optional<uint32_t>> colorAnswers;
    int opens = 0, saves = 0, colors = 0;  // how often each dialog was shown

    bool ShowOpen(QWidget*) override { ++opens; return NextFile(); }
    bool ShowSave(QWidget*) override { ++saves; return NextFile(); }
    bool ShowColor(QWidget*) override;

private:
    bool NextFile();
};
