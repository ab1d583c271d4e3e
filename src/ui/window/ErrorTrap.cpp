#include "window/ErrorTrap.h"

#include <exception>
#include <new>

#include "base/AppError.h"
#include "dialogs/Dialogs.h"

bool ErrorTrap::operator()(int line, const std::function<void()> &statement) const
{
    QString description;
    try {
        statement();
        return true;
    } catch (const AppError &e) {
        description = e.description();
    } catch (const std::bad_alloc &) {
        description = QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        description = QString::fromLocal8Bit(e.what());
    }
    m_dialogs.messageBox({reportText(description, m_location, line), kErrorTitle,
                          Platform::Buttons::Ok, Platform::Icon::Exclamation});
    return false;
}

QString ErrorTrap::reportText(const QString &description, const QString &location, int line)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ")
           + QString::number(line) + QStringLiteral("\r\r")
           + QStringLiteral("Please email screenshot of this message to ") + kSupportAddress;
}
