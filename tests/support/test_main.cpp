#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/session.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A settings folder in place of the user's: the tests never touch the real one.
    QTemporaryDir userConfig;
    if (userConfig.isValid()) qputenv("XDG_CONFIG_HOME", QFile::encodeName(userConfig.path()));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pointline"));
    Session session(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
