#pragma once
#include <QString>
#include <QStringList>

class QWidget;

// Modal message with an OK button and the application's title. `text` is
// the message itself; `detail`, when given, says more in smaller print (which
// file, which line, why).
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void Show(QWidget* owner, const QString& text, const QString& detail = QString()) = 0;
};

class QtMessageBox : public MessageBox {
public:
    void Show(QWidget* owner, const QString& text, const QString& detail = QString()) override;
};

// Records the messages instead of showing them, for tests.
class RecordingMessageBox : public MessageBox {
public:
    QStringList shown;
    QStringList details;
    void Show(QWidget*, const QString& text, const QString& detail = QString()) override {
        shown << text;
        details << detail;
    }
};
