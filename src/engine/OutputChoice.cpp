#include "Library.h"

#include "Diagnostics.h"

#include <QString>
#include <QStringList>

#include <cstdlib>

// Which output the library plays through, and what it says about it: the drivers in
// order, each with the device asked for and then with its default device.

namespace fsound {

namespace {

std::string g_device;  // window thread: what SetOutputDevice named

// The drivers in the order they are tried.
std::vector<const OutputDriver*> driversToTry()
{
    // A caller that chose an SDL driver (the tests choose "dummy") gets SDL.
    const char* sdlDriver = std::getenv("SDL_AUDIODRIVER");
    if (sdlDriver && *sdlDriver)
        return {&kSdlDriver, &kSilentDriver};
    return {&kPulseDriver, &kSdlDriver, &kSilentDriver};
}

QString refusal(const OutputDriver& driver, const OutputFailure& failure)
{
    return QString::fromUtf8(driver.title) + QStringLiteral(": ") + QString::fromStdString(failure.reason);
}

// One line when the output is not the first driver on the device asked for.
void sayWhatPlays(const Output& output, const QString& device, bool onDefault, const QStringList& refusals)
{
    if (refusals.isEmpty())
        return;
    const QString why = refusals.join(QStringLiteral("; "));
    const QString title = QString::fromUtf8(output.driver().title);
    if (&output.driver() == &kSilentDriver)
        ReportProblem(QStringLiteral("no sound device (%1), playing into a silent sink").arg(why));
    else if (onDefault)
        ReportProblem(QStringLiteral("the output device \"%1\" could not be opened (%2), playing through %3's "
                                     "default device")
                          .arg(device, why, title));
    else
        ReportProblem(QStringLiteral("%1; playing through %2").arg(why, title));
}

} // namespace

void SetOutputDevice(const std::string& name)
{
    g_device = name;
}

Output OpenOutput(OutputRequest request)
{
    request.device = g_device;
    const QString device = QString::fromStdString(g_device);
    QStringList refusals;
    for (const OutputDriver* driver : driversToTry()) {
        OutputFailure failure;
        Output output = Output::open(*driver, request, failure);
        bool onDefault = false;
        if (!output.isOpen() && failure.deviceRefused) {
            refusals.append(refusal(*driver, failure));
            OutputRequest fallback = request;
            fallback.device.clear();
            failure = {};
            output = Output::open(*driver, fallback, failure);
            onDefault = true;
        }
        if (output.isOpen()) {
            sayWhatPlays(output, device, onDefault, refusals);
            return output;
        }
        refusals.append(refusal(*driver, failure));
    }
    return {};  // not reached: the silent sink always opens
}

void Library::sayWhyLost()
{
    const std::string why = output.whyLost();
    if (why.empty() || !toldLosses.insert(why).second)
        return;
    ReportProblem(QString::fromStdString(why)
                  + QStringLiteral("; the song waits where it was heard last and goes on when the output is back"));
}

} // namespace fsound
