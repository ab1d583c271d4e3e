#pragma once

#include <functional>

#include <QString>

namespace Platform {
class Dialogs;
}

// The error trap every command handler runs under. Each statement carries a
// line number; when one fails, the user is shown what failed and where, and
// the handler goes on with its next statement.
class ErrorTrap
{
public:
    ErrorTrap(Platform::Dialogs &dialogs, QString location)
        : m_dialogs(dialogs), m_location(std::move(location))
    {
    }

    // Runs one statement; false when it failed (and was reported).
    bool operator()(int line, const std::function<void()> &statement) const;

    // The report for a failure: description, where, and whom to tell.
    static QString reportText(const QString &description, const QString &location, int line);

private:
    Platform::Dialogs &m_dialogs;
    QString m_location;
};

inline const QString kSupportAddress = QStringLiteral("support@quillfen.example");
inline const QString kErrorTitle = QStringLiteral("Application Error");
