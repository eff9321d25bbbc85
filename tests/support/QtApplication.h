#pragma once
// One Qt application object for a test program, made on first use (tests need one before
// any widget, timer or socket notifier): a QApplication where the test links the widgets,
// a QCoreApplication for the libraries below them.

#if __has_include(<QApplication>)
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

inline void EnsureQtApplication()
{
    static int argc = 1;
    static char name[] = "sorvel_tests";
    static char* argv[] = {name, nullptr};
    static TestApplication* app = TestApplication::instance() ? nullptr : new TestApplication(argc, argv);
    (void)app;
}
