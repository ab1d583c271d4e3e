#include "FakeDialogs.h"

Platform::Answer FakeDialogs::messageBox(const Platform::MessageRequest &request)
{
    messages.push_back(request);
    if (onMessage)
        onMessage(request);
    if (request.buttons == Platform::Buttons::Ok)
        return Platform::Answer::Ok;
    if (answers.empty())
        return Platform::Answer::No;
    const Platform::Answer a = answers.front();
    answers.pop_front();
    return a;
}

QString FakeDialogs::fileDialog(const Platform::FileDialogRequest &request)
{
    fileDialogs.push_back(request);
    if (fileNames.empty())
        return QString();
    QString name = fileNames.front();
    fileNames.pop_front();
    return name;
}

int FakeDialogs::choice(const Platform::ChoiceRequest &request)
{
    choiceRequests.push_back(request);
    if (choices.empty())
        return -1;
    const int chosen = choices.front();
    choices.pop_front();
    return chosen;
}

void FakeDialogs::openFolder(const QString &path)
{
    openedFolders << path;
}

bool FakeDialogs::pairColumns(Tables::ColumnPairing &pairing)
{
    ++pairColumnsShown;
    return onPairColumns && onPairColumns(pairing);
}

QStringList FakeDialogs::messageTexts() const
{
    QStringList texts;
    for (const auto &m : messages)
        texts << m.text;
    return texts;
}

void FakeDialogs::clear()
{
    answers.clear();
    fileNames.clear();
    messages.clear();
    fileDialogs.clear();
    openedFolders.clear();
    choices.clear();
    choiceRequests.clear();
}
