#pragma once

#include <optional>

#include <QObject>

class RichTextBox;

// Two panes that scroll together while the link is on: the same first line
// shows in both (by line number) and they scroll sideways by the same amount.
class ScrollLink : public QObject
{
    Q_OBJECT

public:
    ScrollLink(RichTextBox &first, RichTextBox &second, QObject *parent = nullptr);

    // Switching on brings the second pane to where the first is.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }

private:
    struct Place
    {
        qint64 line = 0; // the first line shown
        int x = 0;       // how far it is scrolled sideways, in pixels
        friend bool operator==(const Place &, const Place &) = default;
    };
    static Place placeOf(const RichTextBox &pane);
    void follow(RichTextBox &leader, RichTextBox &follower);

    RichTextBox &m_first;
    RichTextBox &m_second;
    bool m_enabled = false;
    bool m_following = false;
    // Where each pane was when they last scrolled together.
    std::optional<Place> m_firstPlace;
    std::optional<Place> m_secondPlace;
};
