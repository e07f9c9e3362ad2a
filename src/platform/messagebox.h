#pragma once
#include <QString>
#include <QStringList>

class QWidget;

// Modal message with an OK button and the application's title.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual void Show(QWidget* owner, const QString& text) = 0;
};

class QtMessageBox : public MessageBox {
public:
    void Show(QWidget* owner, const QString& text) override;
};

// Records the messages instead of showing them, for tests.
class RecordingMessageBox : public MessageBox {
public:
    QStringList shown;
    void Show(QWidget*, const QString& text) override { shown << text; }
};
