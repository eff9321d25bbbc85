#pragma once
// Problems the program tolerates but the person running it should be able to find out
// about (a settings file that was cut short or refused, settings that cannot be saved):
// one line each on stderr, prefixed with the program's name. Window thread only.

#include <QString>

#include <functional>

void ReportProblem(const QString& text);

// Seam for tests: when set, lines go to the handler instead of stderr. An empty handler
// restores stderr.
using ProblemReporter = std::function<void(const QString& text)>;
void SetProblemReporter(ProblemReporter reporter);
