#pragma once
// main() of a window test: the offscreen platform unless the caller chose
// one, and the application title that the boxes carry.

#include <QApplication>
#include <QtTest>

#define TORVANE_QTEST_MAIN(TestClass)                                            \
    int main(int argc, char* argv[]) {                                           \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {                    \
            qputenv("QT_QPA_PLATFORM", "offscreen");                             \
        }                                                                        \
        QApplication application(argc, argv);                                    \
        QApplication::setApplicationName(QStringLiteral("Torvane"));             \
        TestClass test;                                                          \
        return QTest::qExec(&test, argc, argv);                                  \
    }
