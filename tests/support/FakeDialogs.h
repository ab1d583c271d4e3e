#pragma once

#include <deque>
#include <functional>
#include <vector>

#include <QString>
#include <QStringList>

#include "dialogs/Dialogs.h"

// Answers the program's dialogs from a script and records what they showed.
class FakeDialogs final : public Platform::Dialogs
{
public:
    Platform::Answer messageBox(const Platform::MessageRequest &request) override;
    QString fileDialog(const Platform::FileDialogRequest &request) override;
    void openFolder(const QString &path) override;
    bool pairColumns(Tables::ColumnPairing &pairing) override;
    int choice(const Platform::ChoiceRequest &request) override;

    std::deque<Platform::Answer> answers; // for Yes/No questions; default No
    std::deque<QString> fileNames;        // for file dialogs; default "" (cancel)
    std::vector<Platform::MessageRequest> messages;
    std::vector<Platform::FileDialogRequest> fileDialogs;
    QStringList openedFolders;
    std::deque<int> choices; // for choices; default -1 (cancel)
    std::vector<Platform::ChoiceRequest> choiceRequests;
    // Called as each message box opens, to look at the program meanwhile.
    std::function<void(const Platform::MessageRequest &)> onMessage;
    // Answers the Columns… dialog as the user would; unset: cancelled.
    std::function<bool(Tables::ColumnPairing &)> onPairColumns;
    int pairColumnsShown = 0;

    QStringList messageTexts() const;
    void clear();
};
