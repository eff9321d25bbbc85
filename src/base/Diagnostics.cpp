#include "Diagnostics.h"

#include <cstdio>

namespace {

ProblemReporter& reporterSlot()
{
    static ProblemReporter reporter;
    return reporter;
}

} // namespace

void SetProblemReporter(ProblemReporter reporter)
{
    reporterSlot() = std::move(reporter);
}

void ReportProblem(const QString& text)
{
    if (reporterSlot()) {
        reporterSlot()(text);
        return;
    }
    std::fprintf(stderr, "sorvel: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}
