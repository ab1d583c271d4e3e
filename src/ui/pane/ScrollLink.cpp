#include "pane/ScrollLink.h"

#include <QScrollBar>

#include "pane/RichTextBox.h"

ScrollLink::ScrollLink(RichTextBox &first, RichTextBox &second, QObject *parent)
    : QObject(parent), m_first(first), m_second(second)
{
    // Every scroll of a pane (bar, keys, wheel, a selection brought into
    // view) moves its scroll bars.
    for (const auto &pair : {std::pair{&first, &second}, std::pair{&second, &first}}) {
        RichTextBox *leader = pair.first;
        RichTextBox *follower = pair.second;
        const auto follow = [this, leader, follower] { this->follow(*leader, *follower); };
        connect(leader->verticalScrollBar(), &QScrollBar::valueChanged, this, follow);
        connect(leader->horizontalScrollBar(), &QScrollBar::valueChanged, this, follow);
    }
}

void ScrollLink::setEnabled(bool enabled)
{
    m_enabled = enabled;
    m_firstPlace.reset();
    m_secondPlace.reset();
    if (enabled)
        follow(m_first, m_second);
}

ScrollLink::Place ScrollLink::placeOf(const RichTextBox &pane)
{
    return {pane.firstVisibleLine(), pane.xOffset()};
}

void ScrollLink::follow(RichTextBox &leader, RichTextBox &follower)
{
    if (!m_enabled || m_following)
        return;
    // Only a pane that moved from where it was last put leads: the other's
    // late report of a scroll it followed must not pull it back, nor may a
    // shorter pane that stopped at its end hold the longer one there.
    std::optional<Place> &leaderWas = &leader == &m_first ? m_firstPlace : m_secondPlace;
    std::optional<Place> &followerWas = &leader == &m_first ? m_secondPlace : m_firstPlace;
    const Place place = placeOf(leader);
    if (leaderWas == place)
        return;
    m_following = true;
    follower.setFirstVisibleLine(place.line);
    follower.setXOffset(place.x);
    m_following = false;
    leaderWas = place;
    followerWas = placeOf(follower);
}
