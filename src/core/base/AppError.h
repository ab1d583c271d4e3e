#pragma once

#include <stdexcept>

#include <QString>

// A failed statement. The error trap of the command that ran it shows
// description() to the user and goes on with the next statement.
class AppError : public std::runtime_error
{
public:
    explicit AppError(const QString &description)
        : std::runtime_error(description.toStdString()), m_description(description)
    {
    }

    const QString &description() const { return m_description; }

private:
    QString m_description;
};
