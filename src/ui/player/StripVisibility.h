#pragma once
// Whether the listener can see the strip at all: shown (not hidden to the tray), not
// minimised, exposed by the window system, and not fully covered as the X server reports
// it. Until the window says otherwise it counts as seen, so a window that is never shown
// (a test's, or one made before its first showing) changes nothing. Plain state: the
// window feeds it what it hears and acts when Seen() changes. Window thread.

class StripVisibility {
public:
    // Each returns true when Seen() changed.
    bool SetShown(bool shown);
    bool SetMinimised(bool minimised);
    bool SetExposed(bool exposed);
    bool SetCovered(bool covered);

    bool Seen() const { return m_shown && !m_minimised && m_exposed && !m_covered; }

private:
    template <typename Change>
    bool Apply(Change change);

    bool m_shown = true;
    bool m_minimised = false;
    bool m_exposed = true;
    bool m_covered = false;
};
