#pragma once
// One QApplication for a test program, made on first use (tests need one before any
// widget, timer or socket notifier).

#include <QApplication>

inline void EnsureQtApplication()
{
    static int argc = 1;
    static char name[] = "sorvel_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = QApplication::instance() ? nullptr : new QApplication(argc, argv);
    (void)app;
}
