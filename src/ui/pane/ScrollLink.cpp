#include "pane/ScrollLink.h"

#include <QScrollBar>

#include "pane/RichTextBox.h"

ScrollLink::ScrollLink(RichTextBox &first, RichTextBox &second, QObject *parent)
    : QObject(parent), m_first(first), m_second(second)
{
    // A scroll bar moved by the user is followed at once; the component
    // reports every other scroll (keys, wheel, a selection brought into view)
    // when it next paints.
    for (const auto &pair : {std::pair{&first, &second}, std::pair{&second, &first}}) {
        RichTextBox *leader = pair.first;
        RichTextBox *follower = pair.second;
        const auto follow = [this, leader, follower] { this->follow(*leader, *follower); };
        connect(leader->verticalScrollBar(), &QScrollBar::valueChanged, this, follow);
        connect(leader->horizontalScrollBar(), &QScrollBar::valueChanged, this, follow);
        connect(leader, &QsciScintillaBase::SCN_UPDATEUI, this, [follow](int updated) {
            if (updated
                & (QsciScintillaBase::SC_UPDATE_V_SCROLL | QsciScintillaBase::SC_UPDATE_H_SCROLL))
                follow();
        });
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
    using Sci = QsciScintillaBase;
    return {pane.SendScintilla(Sci::SCI_GETFIRSTVISIBLELINE),
            pane.SendScintilla(Sci::SCI_GETXOFFSET)};
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
    using Sci = QsciScintillaBase;
    m_following = true;
    follower.SendScintilla(Sci::SCI_SETFIRSTVISIBLELINE, place.line);
    follower.SendScintilla(Sci::SCI_SETXOFFSET, place.x);
    m_following = false;
    leaderWas = place;
    followerWas = placeOf(follower);
}
