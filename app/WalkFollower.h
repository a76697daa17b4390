// CWalkFollower: what a window that follows the walk on a timer (the
// treemap, the file types) keeps between its ticks: whether the walk was
// going on at the last tick, whether a refresh is changing the tree (it
// deletes the refreshed folder's entries on the scanner thread: read
// nothing until it ends; a new walk's tree only grows and may be read as it
// does), and whether the window has closed.
#pragma once

namespace Velmora {

class CWalkFollower {
public:
    struct Tick {
        bool read = false;    // the tree may be read this tick
        bool walking = false; // the walk goes on
        bool ended = false;   // it ended since the last tick
        bool thawed = false;  // a refresh ended since the last tick
    };

    // The tick's view of the walk, given whether it goes on now.
    Tick Next(bool walking)
    {
        Tick tick;
        if (m_closed)
            return tick;
        tick.walking = walking;
        tick.ended = m_walking && !walking;
        m_walking = walking;
        if (m_frozen) {
            if (walking)
                return tick;
            m_frozen = false;
            tick.thawed = true;
        }
        tick.read = true;
        return tick;
    }
    // A walk (`refresh` false) or a refresh of one folder starts.
    void TreeChanging(bool refresh)
    {
        m_frozen = refresh;
        m_walking = true;
    }
    void Close() { m_closed = true; }
    bool MayRead() const { return !m_frozen && !m_closed; }

private:
    bool m_walking = true; // as the last tick saw it
    bool m_frozen = false;
    bool m_closed = false;
};

} // namespace Velmora
