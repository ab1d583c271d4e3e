#pragma once

#include <QRandomGenerator>
#include <QStringList>

// Texts for checking that the engines give the same result on UTF-16 and on
// the panes' UTF-8 bytes: short lines of words with letters of one to four
// UTF-8 bytes (a surrogate pair among them, a lone surrogate too), separated
// by single and double spaces and by CR LF, lone CR and lone LF breaks.
inline QString randomPaneText(QRandomGenerator &random)
{
    static const QStringList words = {QString(),  "a",          "é", "ab",
                                      "€",        "\U0001F600", "A", QString(QChar(0xD800)),
                                      "a\u2028b", "x\u00A0",    ","};
    static const QStringList gaps = {" ", " ", " ", "  ", "\r\n", "\r\n", "\r\n", "\r", "\n"};
    const int count = random.bounded(12);
    QString text;
    for (int i = 0; i < count; ++i) {
        text += words[random.bounded(int(words.size()))];
        if (i + 1 < count)
            text += gaps[random.bounded(int(gaps.size()))];
    }
    if (random.bounded(4) != 0)
        text += u'\r';
    return text;
}
