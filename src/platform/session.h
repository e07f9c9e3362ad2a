#pragma once
#include <QTemporaryDir>
#include <QTranslator>

class QApplication;

// What one run of the program sets up for all its windows, for as long as it
// lives: the Chinese font, Qt's own texts (dialog buttons, labels, questions)
// in Chinese, and settings that end with the run. Qt's file and colour dialogs
// keep their history and custom colours in the user's settings; here they go
// into a folder of this run that is removed with this object, so nothing of
// one run reaches the next. Make it right after the application.
class Session {
public:
    explicit Session(QApplication& app);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

private:
    QTemporaryDir settings_;
    QTranslator qtTexts_;  // leaves the application when it goes
};
