#include "StripVisibility.h"

template <typename Change>
bool StripVisibility::Apply(Change change)
{
    const bool before = Seen();
    change();
    return Seen() != before;
}

bool StripVisibility::SetShown(bool shown)
{
    return Apply([&] {
        m_shown = shown;
        // A window taken off the screen and put back is covered only if the X server says
        // so again (it tells a window its visibility whenever it is mapped): a cover it
        // missed while hidden must not keep the strip dark for good.
        if (!shown)
            m_covered = false;
    });
}

bool StripVisibility::SetMinimised(bool minimised)
{
    return Apply([&] {
        m_minimised = minimised;
        if (minimised)
            m_covered = false;
    });
}

bool StripVisibility::SetExposed(bool exposed)
{
    return Apply([&] { m_exposed = exposed; });
}

bool StripVisibility::SetCovered(bool covered)
{
    return Apply([&] { m_covered = covered; });
}
